#include "gui/widgets/list_grid.h"

#include <QEvent>
#include <QHeaderView>
#include <QScrollBar>
#include <QTableView>

#include "gui/widgets/gui_prompter.h"

namespace tobrisk::gui {

ListGridModel::ListGridModel(QStringList headers, CountFn count, CellFn cell, QObject* parent)
    : QAbstractTableModel(parent), headers_(std::move(headers)), count_(std::move(count)), cell_(std::move(cell)) {
  rows_ = count_();
}

void ListGridModel::Refresh() {
  beginResetModel();
  rows_ = count_();
  endResetModel();
}

void ListGridModel::Clear() {
  beginResetModel();
  rows_ = 0;
  endResetModel();
}

std::string ListGridModel::Cell(int row, int column) const {
  // The list may have changed since the last refresh: never read past its end.
  if (row < 0 || static_cast<size_t>(row) >= rows_ || static_cast<size_t>(row) >= count_()) return {};
  if (column < 0 || column >= headers_.size()) return {};
  return cell_(static_cast<size_t>(row), column);
}

int ListGridModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid()) return 0;
  return rows_ == 0 ? 1 : static_cast<int>(rows_);
}

int ListGridModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(headers_.size());
}

QVariant ListGridModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole)) return {};
  QString text = FromSjis(Cell(index.row(), index.column()));
  // Names come padded to the host's width; the padding would only make the view
  // elide names that fit.
  qsizetype end = text.size();
  while (end > 0 && (text[end - 1] == u' ' || text[end - 1] == u'\u3000')) --end;
  text.truncate(end);
  return text;
}

QVariant ListGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 || section >= headers_.size()) {
    return {};
  }
  return headers_[section];
}

void SetUpGrid(QTableView* view, const char* object_name, std::initializer_list<int> widths) {
  view->setObjectName(QString::fromLatin1(object_name));
  view->setSelectionBehavior(QAbstractItemView::SelectRows);
  view->setSelectionMode(QAbstractItemView::SingleSelection);
  view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view->setWordWrap(false);
  view->setTabKeyNavigation(false);
  view->setContextMenuPolicy(Qt::CustomContextMenu);
  view->verticalHeader()->setVisible(false);
  view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 4);
  view->horizontalHeader()->setHighlightSections(false);
  view->horizontalHeader()->setStretchLastSection(false);
  view->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  int column = 0;
  for (const int w : widths) {
    if (column > 0 && w > 0) view->setColumnWidth(column, w);
    ++column;
  }
  view->setColumnHidden(0, true);
}

namespace {

class LastColumnFiller final : public QObject {
 public:
  LastColumnFiller(QTableView* view, int minimum) : QObject(view), view_(view), minimum_(minimum) {}

  void Fit() {
    const int last = view_->model() ? view_->model()->columnCount() - 1 : -1;
    if (last < 1) return;
    int others = 0;
    for (int c = 0; c < last; ++c) {
      if (!view_->isColumnHidden(c)) others += view_->columnWidth(c);
    }
    view_->setColumnWidth(last, std::max(minimum_, view_->viewport()->width() - others));
  }

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Resize) Fit();
    return false;
  }

 private:
  QTableView* view_;
  int minimum_;
};

}  // namespace

void KeepLastColumnFilling(QTableView* view, int minimum) {
  view->horizontalHeader()->setStretchLastSection(false);
  auto* filler = new LastColumnFiller(view, minimum);
  view->viewport()->installEventFilter(filler);
  QObject::connect(view->horizontalHeader(), &QHeaderView::sectionResized, filler,
                   [filler, view](int logical, int, int) {
                     if (logical < view->model()->columnCount() - 1) filler->Fit();
                   });
  filler->Fit();
}

void FitColumn(QTableView* view, int column, int width, const QStringList& samples) {
  const QFontMetrics metrics(view->font());
  int needed = width;
  for (const QString& s : samples) needed = std::max(needed, metrics.horizontalAdvance(s) + 12);
  const QFontMetrics header(view->horizontalHeader()->font());
  const QString title = view->model()->headerData(column, Qt::Horizontal).toString();
  needed = std::max(needed, header.horizontalAdvance(title) + 12);
  view->setColumnWidth(column, needed);
}

int CurrentGridRow(const QTableView* view) {
  const QModelIndex current = view->currentIndex();
  if (current.isValid()) return current.row();
  const QModelIndexList rows = view->selectionModel() ? view->selectionModel()->selectedRows() : QModelIndexList();
  return rows.isEmpty() ? -1 : rows.first().row();
}

std::string CurrentGridCell(const QTableView* view, int column) {
  const auto* model = qobject_cast<const ListGridModel*>(view->model());
  if (!model) return {};
  return model->Cell(CurrentGridRow(view), column);
}

void SelectGridRow(QTableView* view, int row) {
  QAbstractItemModel* model = view->model();
  if (!model || model->rowCount() == 0) return;
  row = std::clamp(row, 0, model->rowCount() - 1);
  const QModelIndex index = model->index(row, 1);
  view->setCurrentIndex(index);
  view->selectionModel()->select(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  view->scrollTo(index);
}

}  // namespace tobrisk::gui
