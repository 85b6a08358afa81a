// The message window's list page ("ログメッセージ", TabSheet1): the filter
// buttons "全件" and "ボード単位", the board name and the counters, the grid
// LogMessageGrid over the message list, its pop-up menu and its keys.
#pragma once

#include <QWidget>
#include <cstdint>
#include <string_view>

#include "core/ports/ports.h"
#include "core/reading/work_state.h"
#include "core/writing/writing_view.h"

class QAction;
class QLabel;
class QMenu;
class QPoint;
class QRadioButton;
class QTableView;

namespace tobrisk::gui {

class LogMessageModel;
struct MessageKey;

class MessageListPage final : public QWidget {
  Q_OBJECT

 public:
  MessageListPage(WorkState& state, const Ports& ports, QWidget* parent = nullptr);

  QTableView* Grid() const { return LogMessageGrid; }
  const LogMessageModel& Model() const { return *model_; }

  // The open pipeline's steps (see TfrmLogMessage).
  void Clear();
  void FillAll();
  int FillBoard(std::string_view board_type, std::string_view board_no);
  void SetCounters(int64_t all_count, int64_t now_row);

  int RowCount() const;           // model rows (at least 1)
  int CurrentRow() const;         // 0-based model row, -1 none
  int RowMessage(int row) const;  // message index or -1
  int SelectedMessage() const;
  void SelectRow(int row);  // also runs LogMessageGridClick
  // Previous (-1) or next (+1) row; beeps at either end.
  void Step(int step);

  // The filter modes: all messages ("全件" checked) and one board.
  void ShowAllMessages();
  int FilterByBoard(std::string_view board_type, std::string_view board_no, std::string_view board_name_sjis);

  void ApplyDisplaySettings();
  // The title column after the window's width `form_width`.
  void FitTitleColumn(int form_width);
  void MarksChanged();

  // A message key typed on the grid or, for the selected row, in the text view.
  void HandleKey(const MessageKey& key, bool from_text_view);

  // The selection step: NowPanel and the text of the selected row.
  void LogMessageGridClick();
  void AllMessageRadioButtonClick();
  void BoardRadioButtonClick();

 signals:
  // The text view shows message `index`, or nothing for -1.
  void MessageChosen(int index);
  // The list was refilled by a filter: the window shows this page.
  void PageWanted();
  // The board column was shown or hidden: the window fits the title column.
  void ColumnsChanged();
  // The user gave message `index` the mark (kReadMark, ..., or empty).
  void MarkChosen(int index, std::string_view mark);
  void ResMessageRequested(int index, tobrisk::ReplyOrigin from);
  void ResMailRequested(int index, tobrisk::ReplyOrigin from);
  void MoveResMessageRequested(int index, tobrisk::ReplyOrigin from);
  void SaveTextRequested(int index, bool thread);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildPopup();
  void OpenPopup(const QPoint& global_pos);
  void PopupMarkClick(QAction* item);
  void SetCurrentRowSilently(int row);  // without LogMessageGridClick
  int VisibleColumn() const;
  void MarkRowRead();  // the double-click step
  int ReplyTarget();
  void ReplyByKey(int message);

  WorkState& state_;
  Ports ports_;
  bool silent_ = false;  // selection moved by a fill: no selection step

  QRadioButton* AllMessageRadioButton = nullptr;
  QRadioButton* BoardRadioButton = nullptr;
  QLabel* BoardNamePanel = nullptr;
  QLabel* NowPanel = nullptr;
  QLabel* AllPanel = nullptr;
  QTableView* LogMessageGrid = nullptr;
  QMenu* LogMessagePopupMenu = nullptr;
  QAction* ResItem = nullptr;
  QAction* MoveResItem = nullptr;
  QAction* ReadItem = nullptr;
  QAction* ResWrittenItem = nullptr;
  QAction* CheckItem = nullptr;
  LogMessageModel* model_ = nullptr;
};

}  // namespace tobrisk::gui
