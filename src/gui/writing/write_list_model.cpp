#include "gui/writing/write_list_model.h"

#include "core/text/sjis.h"
#include "gui/widgets/gui_prompter.h"

namespace tobrisk::gui {

WriteListModel::WriteListModel(const WriteList& writes, QObject* parent)
    : QAbstractTableModel(parent), writes_(writes), shown_(writes.size()) {}

void WriteListModel::AddRow(size_t write_index) {
  if (write_index >= writes_.size()) return;
  if (write_index < shown_) {
    RefreshRow(write_index);
    return;
  }
  if (shown_ == 0 && write_index == 0) {
    // The empty row becomes the first entry's row.
    shown_ = 1;
    emit dataChanged(index(0, 0), index(0, kColumns - 1));
    return;
  }
  const int first = static_cast<int>(shown_);
  beginInsertRows({}, first, static_cast<int>(write_index));
  shown_ = write_index + 1;
  endInsertRows();
}

void WriteListModel::RefreshRow(size_t write_index) {
  if (write_index >= shown_) return;
  const int row = static_cast<int>(write_index);
  emit dataChanged(index(row, 0), index(row, kColumns - 1));
}

void WriteListModel::Clear() {
  beginResetModel();
  shown_ = 0;
  endResetModel();
}

void WriteListModel::Refresh() {
  beginResetModel();
  shown_ = writes_.size();
  endResetModel();
}

int WriteListModel::EntryAt(int row) const {
  if (row < 0 || static_cast<size_t>(row) >= shown_ || static_cast<size_t>(row) >= writes_.size()) return -1;
  return row;
}

std::string WriteListModel::Cell(int row, int column) const {
  const int entry = EntryAt(row);
  if (entry < 0) return {};
  const WriteEntry& e = writes_[static_cast<size_t>(entry)];
  static const std::string deleted_mark = Sjis("★");
  switch (column) {
    case kSerialNo: return e.serial_no;
    case kDeleted: return e.IsDeleted() ? deleted_mark : std::string();
    case kTargetName: return e.target_name;
    case kKind: return e.kind;
    case kTitle: return e.title;
  }
  return {};
}

int WriteListModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid()) return 0;
  return shown_ == 0 ? 1 : static_cast<int>(shown_);
}

int WriteListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumns; }

QVariant WriteListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole)) return {};
  QString text = FromSjis(Cell(index.row(), index.column()));
  if (index.column() == kTargetName) {
    // Board names come padded to the host's width.
    qsizetype end = text.size();
    while (end > 0 && (text[end - 1] == u' ' || text[end - 1] == u'\u3000')) --end;
    text.truncate(end);
  }
  return text;
}

QVariant WriteListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole || orientation != Qt::Horizontal) return {};
  switch (section) {
    case kDeleted: return QString::fromUtf8("削");
    case kTargetName: return QString::fromUtf8("ボード名");
    case kKind: return QStringLiteral("Type");
    case kTitle: return QString::fromUtf8("メッセージタイトル");
  }
  return {};
}

}  // namespace tobrisk::gui
