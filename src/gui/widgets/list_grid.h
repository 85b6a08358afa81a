// Grids over the work state's lists: a table model that reads the list's cells
// (Shift-JIS) when they are painted, with the grid rules of the program: column 0
// holds the record's number and is hidden, and an empty list shows one empty
// data row. Commands read column 0 of the selected row and do nothing when it
// is empty.
#pragma once

#include <QAbstractTableModel>
#include <QStringList>
#include <functional>
#include <string>

class QTableView;

namespace tobrisk::gui {

class ListGridModel final : public QAbstractTableModel {
  Q_OBJECT

 public:
  using CountFn = std::function<size_t()>;
  // The Shift-JIS text of data row `row` (0-based) and `column`.
  using CellFn = std::function<std::string(size_t row, int column)>;

  ListGridModel(QStringList headers, CountFn count, CellFn cell, QObject* parent = nullptr);

  // Takes the list's current contents (call after the list changed).
  void Refresh();
  // Shows one empty row until the next Refresh (before the list is emptied).
  void Clear();
  // Rows of data the list shows now (0 when only the empty row is shown).
  size_t DataRows() const { return rows_; }
  // The Shift-JIS text of a cell; empty for the empty row or out of range. The
  // view shows it without trailing blanks.
  std::string Cell(int row, int column) const;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

 private:
  QStringList headers_;
  CountFn count_;
  CellFn cell_;
  size_t rows_ = 0;
};

// Sets a table view up as a grid: row selection of one row, the header row,
// no row header, fixed row heights, column 0 hidden, the given column widths
// (index 0 ignored), and the view's objectName.
void SetUpGrid(QTableView* view, const char* object_name, std::initializer_list<int> widths);

// Keeps the last column filling the rest of the view's width whenever the view
// is resized (the grids' resize rule), never narrower than `minimum`.
void KeepLastColumnFilling(QTableView* view, int minimum = 40);

// Widens `column` to `width` or to what `samples` need in the view's font,
// whichever is more, so that short codes ("LBBS", ids) are never cut.
void FitColumn(QTableView* view, int column, int width, const QStringList& samples);

// The model row of the view's current row, or -1.
int CurrentGridRow(const QTableView* view);
// The Shift-JIS text of `column` in the current row of a grid over ListGridModel.
std::string CurrentGridCell(const QTableView* view, int column);
// Makes `row` current and selected (clamped to the rows shown).
void SelectGridRow(QTableView* view, int row);

}  // namespace tobrisk::gui
