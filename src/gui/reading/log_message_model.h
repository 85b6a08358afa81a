// The rows of LogMessageGrid: a table model over the work state's message list.
// Row r of the model is the grid's data row r + 1; each row refers to one entry
// by its list index (row r is entry r when every entry is listed), and cells
// are converted for display only when asked for.
// An empty grid holds one empty row (column 0 empty).
#pragma once

#include <QAbstractTableModel>
#include <cstdint>
#include <string_view>
#include <vector>

#include "core/reading/message_entry.h"

namespace tobrisk::gui {

class LogMessageModel final : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum Column { kSeqNo, kBoardName, kMark, kWriteDate, kKind, kWriter, kTitle, kBoardNo, kColumnCount };
  enum Role {
    kMessageIndexRole = Qt::UserRole + 1,  // int: the entry's list index, -1 on the empty row
    kWarningLettersRole,                   // QString: "B", "W", "F" of the entry
    kKindRole,                             // QString: "NEW", "RES", "MAIL"
    kMarkRole,                             // QString: the Mark field (Shift-JIS decoded)
  };

  explicit LogMessageModel(const MessageList& messages, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

  // Back to the one empty row.
  void Clear();
  // Every entry in list order, the board column with the warning prefix.
  void FillAll();
  // The entries of one board (exact text comparison of type and number), the
  // board column without prefix. Returns the rows written.
  int FillBoard(std::string_view board_type, std::string_view board_no);

  // Number of rows that hold a message.
  int MessageRows() const { return static_cast<int>(all_rows_ > 0 ? all_rows_ : rows_.size()); }
  // The list index of row `row`, -1 when the row holds no message.
  int MessageAt(int row) const;
  // The row showing message `index`, -1 when none does.
  int RowOf(int index) const;
  // Tells the views that the marks of the listed rows may have changed.
  void MarksChanged();

 private:
  const MessageList& messages_;
  std::vector<uint32_t> rows_;  // list indexes, in row order (empty when all_rows_ > 0)
  uint32_t all_rows_ = 0;       // rows of every entry, row r showing entry r (FillAll)
  bool with_prefix_ = true;
};

}  // namespace tobrisk::gui
