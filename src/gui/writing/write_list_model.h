// The write grid's model: one row per entry of the write list, columns
// SerialNo (hidden), "削", "ボード名", "Type", "メッセージタイトル". An empty
// list shows one empty row. Rows are added, rewritten and emptied one by one,
// so that the grid keeps its selected row while the list grows.
#pragma once

#include <QAbstractTableModel>
#include <string>

#include "core/writing/write_entry.h"

namespace tobrisk::gui {

class WriteListModel final : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum Column { kSerialNo = 0, kDeleted = 1, kTargetName = 2, kKind = 3, kTitle = 4, kColumns = 5 };

  // `writes` must outlive the model.
  explicit WriteListModel(const WriteList& writes, QObject* parent = nullptr);

  // Entry `write_index` became the last row.
  void AddRow(size_t write_index);
  // The entry's row shows the entry as it is now.
  void RefreshRow(size_t write_index);
  // Back to one empty row (before the list is emptied).
  void Clear();
  // Every entry of the list, as it is now.
  void Refresh();

  // The write-list index of a row, or -1 for the empty row.
  int EntryAt(int row) const;
  // The Shift-JIS text of a cell; empty for the empty row.
  std::string Cell(int row, int column) const;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

 private:
  const WriteList& writes_;
  size_t shown_ = 0;  // entries shown (the list may be longer until AddRow)
};

}  // namespace tobrisk::gui
