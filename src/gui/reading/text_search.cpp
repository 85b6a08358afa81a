#include "gui/reading/text_search.h"

#include <QFile>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <algorithm>
#include <string>
#include <vector>

#include "core/reading/message_text.h"
#include "core/reading/work_state.h"
#include "core/text/io_error.h"
#include "gui/widgets/gui_prompter.h"

namespace tobrisk::gui {

bool MessageContains(const WorkState& state, size_t index, const QString& needle) {
  const MessageEntry& e = state.messages[index];
  if (FromSjis(e.title.View()).contains(needle, Qt::CaseInsensitive)) return true;
  if (FromSjis(e.writer_handle.View()).contains(needle, Qt::CaseInsensitive)) return true;
  return FromSjis(ReadMessageText(state, index).bytes).contains(needle, Qt::CaseInsensitive);
}

namespace {

// Passes over most messages without reading their text. A message's text lies
// within the bytes of NOESC.LOG from its TextOffset to the next larger
// TextOffset of any message (or the end of the file); only a message whose
// stretch can hold the needle is read and tested exactly.
class MessageMatcher {
 public:
  MessageMatcher(const WorkState& state, const QString& needle) : state_(state), needle_(needle) {
    try {
      state.AwaitEscapeFreeText();
    } catch (const IoError&) {
      return;  // the exact test reports the failure
    }
    file_.setFileName(QFile::decodeName(state.WorkFile("NOESC.LOG").c_str()));
    if (!file_.open(QIODevice::ReadOnly)) return;  // the exact test reports the failure
    size_ = static_cast<uint64_t>(file_.size());
    // Stretches are read, not mapped: a file shortened under a mapping would
    // end the program when the missing bytes are touched.
    readable_ = size_ > 0;
    if (!readable_) return;
    offsets_.reserve(state.messages.Size());
    for (const MessageEntry& e : state.messages.Entries()) offsets_.push_back(e.text_offset);
    std::sort(offsets_.begin(), offsets_.end());
    // A needle without upper and lower case forms is looked for as Shift-JIS
    // bytes (a hit may be misaligned; the exact test decides).
    if (needle.toUpper() == needle.toLower()) {
      const std::string bytes = ToSjis(needle);
      if (FromSjis(bytes) == needle) sjis_needle_ = bytes;
    }
  }

  bool Matches(size_t index) {
    if (readable_ && !StretchMayHold(state_.messages[index].text_offset)) {
      const MessageEntry& e = state_.messages[index];
      return FromSjis(e.title.View()).contains(needle_, Qt::CaseInsensitive) ||
             FromSjis(e.writer_handle.View()).contains(needle_, Qt::CaseInsensitive);
    }
    return MessageContains(state_, index, needle_);
  }

 private:
  bool StretchMayHold(uint64_t offset) {
    if (offset >= size_) return false;
    const auto next = std::upper_bound(offsets_.begin(), offsets_.end(), offset);
    const uint64_t end = next == offsets_.end() ? size_ : std::min(*next, size_);
    buffer_.resize(static_cast<size_t>(end - offset));
    if (!file_.seek(static_cast<qint64>(offset))) return true;  // let the exact test decide
    const qint64 got = file_.read(buffer_.data(), static_cast<qint64>(buffer_.size()));
    if (got < 0) return true;
    const std::string_view stretch(buffer_.data(), static_cast<size_t>(got));
    if (!sjis_needle_.empty()) return stretch.find(sjis_needle_) != std::string_view::npos;
    return FromSjis(stretch).contains(needle_, Qt::CaseInsensitive);
  }

  const WorkState& state_;
  QString needle_;
  QFile file_;
  bool readable_ = false;
  uint64_t size_ = 0;
  std::string buffer_;
  std::vector<uint64_t> offsets_;  // every TextOffset, ascending
  std::string sjis_needle_;
};

}  // namespace

TextSearchResult FindMessageText(const WorkState& state, int count, const std::function<int(int)>& message_at,
                                 int start, bool forward, const QString& needle,
                                 const std::function<bool()>& keep_going) {
  TextSearchResult result;
  if (count <= 0 || needle.isEmpty()) return result;
  MessageMatcher matcher(state, needle);
  const bool from_edge = start < 0 || start >= count;
  if (from_edge) start = forward ? count - 1 : 0;  // the first step lands on the first (last) position
  const int step = forward ? 1 : -1;
  int position = start;
  for (int visited = 0; visited < count; ++visited) {
    position += step;
    if (position >= count || position < 0) {
      position = forward ? 0 : count - 1;
      result.wrapped = !(from_edge && visited == 0);
    }
    if (visited % 1024 == 1023 && !keep_going()) {
      result.stopped = true;
      return result;
    }
    const int index = message_at(position);
    if (index < 0 || static_cast<size_t>(index) >= state.messages.Size()) continue;
    if (matcher.Matches(static_cast<size_t>(index))) {
      result.position = position;
      return result;
    }
  }
  return result;
}

MessageTextSearch::MessageTextSearch(QWidget* parent) : QWidget(parent) {
  setObjectName("TextSearchBar");
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(2, 2, 2, 2);
  auto* label = new QLabel(QString::fromUtf8("検索:"), this);
  edit_ = new QLineEdit(this);
  edit_->setObjectName("TextSearchEdit");
  edit_->setClearButtonEnabled(true);
  label->setBuddy(edit_);
  auto* previous = new QToolButton(this);
  previous->setObjectName("TextSearchPreviousButton");
  previous->setText(QString::fromUtf8("▲ 前へ"));
  previous->setToolTip(QString::fromUtf8("前を検索 (Shift+F3)"));
  auto* next = new QToolButton(this);
  next->setObjectName("TextSearchNextButton");
  next->setText(QString::fromUtf8("▼ 次へ"));
  next->setToolTip(QString::fromUtf8("次を検索 (F3)"));
  auto* close = new QToolButton(this);
  close->setObjectName("TextSearchCloseButton");
  close->setText(QString::fromUtf8("×"));
  close->setToolTip(QString::fromUtf8("閉じる (Esc)"));
  status_ = new QLabel(this);
  status_->setObjectName("TextSearchStatus");
  layout->addWidget(label);
  layout->addWidget(edit_, 2);
  layout->addWidget(previous);
  layout->addWidget(next);
  layout->addWidget(status_, 1);
  layout->addWidget(close);
  edit_->installEventFilter(this);
  connect(next, &QToolButton::clicked, this, [this] { emit FindRequested(true); });
  connect(previous, &QToolButton::clicked, this, [this] { emit FindRequested(false); });
  connect(close, &QToolButton::clicked, this, [this] {
    hide();
    emit Closed();
  });
  connect(edit_, &QLineEdit::textChanged, this, [this] { status_->clear(); });
}

QString MessageTextSearch::Needle() const { return edit_->text(); }

void MessageTextSearch::Open() {
  show();
  edit_->setFocus(Qt::ShortcutFocusReason);
  edit_->selectAll();
}

void MessageTextSearch::SetStatus(const QString& text) { status_->setText(text); }

void MessageTextSearch::SetSearching(bool searching) {
  searching_ = searching;
  stop_requested_ = false;
}

bool MessageTextSearch::eventFilter(QObject* watched, QEvent* event) {
  if (watched == edit_ && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Escape) {
      if (searching_) {
        stop_requested_ = true;
      } else {
        hide();
        emit Closed();
      }
      return true;
    }
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
      if (!searching_) emit FindRequested(!(key->modifiers() & Qt::ShiftModifier));
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace tobrisk::gui
