#include "gui/reading/log_message_model.h"

#include <algorithm>
#include <charconv>

#include "gui/reading/warning_prefix.h"
#include "core/text/bytes.h"
#include "gui/widgets/gui_prompter.h"

namespace tobrisk::gui {
namespace {

QString Latin(std::string_view ascii) {
  return QString::fromLatin1(ascii.data(), static_cast<qsizetype>(ascii.size()));
}

}  // namespace

LogMessageModel::LogMessageModel(const MessageList& messages, QObject* parent)
    : QAbstractTableModel(parent), messages_(messages) {}

int LogMessageModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid()) return 0;
  return MessageRows() == 0 ? 1 : MessageRows();
}

int LogMessageModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumnCount; }

int LogMessageModel::MessageAt(int row) const {
  if (row < 0 || row >= MessageRows()) return -1;
  const uint32_t index = all_rows_ > 0 ? static_cast<uint32_t>(row) : rows_[static_cast<size_t>(row)];
  // The list may have been emptied under the grid (a log open in progress).
  return index < messages_.Size() ? static_cast<int>(index) : -1;
}

int LogMessageModel::RowOf(int index) const {
  if (index < 0) return -1;
  if (with_prefix_) return index < static_cast<int>(all_rows_) ? index : -1;  // all messages: the row is the index
  const auto it = std::lower_bound(rows_.begin(), rows_.end(), static_cast<uint32_t>(index));
  return it != rows_.end() && *it == static_cast<uint32_t>(index) ? static_cast<int>(it - rows_.begin()) : -1;
}

QVariant LogMessageModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  const int message = MessageAt(index.row());
  if (role == kMessageIndexRole) return message;
  if (message < 0) return role == Qt::DisplayRole ? QVariant(QString()) : QVariant();
  const MessageEntry& e = messages_[static_cast<size_t>(message)];
  switch (role) {
    case kWarningLettersRole: return Latin(WarningLetters(e));
    case kKindRole: return Latin(MessageKindText(e.kind()));
    case kMarkRole: return FromSjis(e.Mark());
    case Qt::DisplayRole: break;
    default: return {};
  }
  char buffer[24];
  switch (index.column()) {
    case kSeqNo: return Latin(NumberText(SeqNoAt(static_cast<size_t>(message)), buffer));
    case kBoardName:
      return with_prefix_ ? FromSjis(WarningPrefix(e) + std::string(e.BoardName())) : FromSjis(e.BoardName());
    case kMark: return FromSjis(e.Mark());
    case kWriteDate: return FromSjis(e.write_date.View());
    case kKind: return Latin(MessageKindText(e.kind()));
    case kWriter: return FromSjis(e.writer_handle.View());
    case kTitle: return FromSjis(e.title.View());
    case kBoardNo: return Latin(NumberText(e.board_no(), buffer));
    default: return {};
  }
}

QVariant LogMessageModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
    return QAbstractTableModel::headerData(section, orientation, role);
  switch (section) {
    case kBoardName: return QString::fromUtf8("ボード名");
    case kMark: return QString::fromUtf8("読");
    case kWriteDate: return QString::fromUtf8("書込日");
    case kKind: return QStringLiteral("Type");
    case kWriter: return QString::fromUtf8("書込者");
    case kTitle: return QString::fromUtf8("メッセージタイトル");
    default: return QString();
  }
}

void LogMessageModel::Clear() {
  beginResetModel();
  rows_.clear();
  rows_.shrink_to_fit();
  all_rows_ = 0;
  endResetModel();
}

void LogMessageModel::FillAll() {
  beginResetModel();
  std::vector<uint32_t>().swap(rows_);
  all_rows_ = static_cast<uint32_t>(messages_.Size());
  with_prefix_ = true;
  endResetModel();
}

int LogMessageModel::FillBoard(std::string_view board_type, std::string_view board_no) {
  if (board_type == "LBBS") board_type = "IBBS";
  if (board_no == "M") board_no = "-100";
  beginResetModel();
  rows_.clear();
  all_rows_ = 0;
  char buffer[24];
  for (size_t i = 0; i < messages_.Size(); ++i) {
    const MessageEntry& e = messages_[i];
    if (BoardTypeText(e.board_type()) == board_type && NumberText(e.board_no(), buffer) == board_no) {
      rows_.push_back(static_cast<uint32_t>(i));
    }
  }
  rows_.shrink_to_fit();
  with_prefix_ = false;
  endResetModel();
  return static_cast<int>(rows_.size());
}

void LogMessageModel::MarksChanged() {
  emit dataChanged(index(0, kMark), index(rowCount() - 1, kMark), {Qt::DisplayRole});
}

}  // namespace tobrisk::gui
