// Text search over the opened messages: title, writer and body of each message
// in the order of the active page, from the selected message on, wrapping
// around at the end. It only selects; it never changes a read mark.
#pragma once

#include <QString>
#include <QWidget>
#include <functional>

class QLabel;
class QLineEdit;
class QToolButton;

namespace tobrisk {
struct WorkState;
}

namespace tobrisk::gui {

// Whether message `index` holds `needle` (case-insensitive) in its title, its
// writer's handle or its text read from NOESC.LOG. Throws IoError when the text
// cannot be read.
bool MessageContains(const WorkState& state, size_t index, const QString& needle);

struct TextSearchResult {
  int position = -1;     // the position found, -1 when none
  bool wrapped = false;  // the search went past the end (or the start)
  bool stopped = false;  // `keep_going` said stop
};

// Walks the positions 0..count-1 from the one after `start` (before it when
// searching backwards; from the first or last when `start` is -1), wrapping
// around once, and returns the first whose message matches. `message_at` gives
// the message index of a position or -1 for positions that hold none.
// `keep_going` is asked every few hundred positions (it may process events).
TextSearchResult FindMessageText(const WorkState& state, int count, const std::function<int(int)>& message_at,
                                 int start, bool forward, const QString& needle,
                                 const std::function<bool()>& keep_going);

// The search bar under the text view: the text to look for, next and previous,
// a line for the outcome. Enter searches forwards, Shift+Enter backwards,
// Escape hides the bar.
class MessageTextSearch final : public QWidget {
  Q_OBJECT

 public:
  explicit MessageTextSearch(QWidget* parent = nullptr);

  QString Needle() const;
  void Open();  // shows the bar and selects its text
  void SetStatus(const QString& text);
  // While a search runs: Escape stops it.
  void SetSearching(bool searching);
  bool StopRequested() const { return stop_requested_; }

 signals:
  void FindRequested(bool forward);
  void Closed();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QLineEdit* edit_ = nullptr;
  QLabel* status_ = nullptr;
  bool searching_ = false;
  bool stop_requested_ = false;
};

}  // namespace tobrisk::gui
