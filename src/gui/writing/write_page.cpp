#include "gui/writing/write_page.h"

#include <QHeaderView>
#include <QMenu>
#include <QScopedValueRollback>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

#include "core/writing/write_list.h"
#include "gui/reading/display_settings.h"
#include "gui/widgets/list_grid.h"
#include "gui/widgets/popup_menu.h"
#include "gui/writing/write_list_model.h"

namespace tobrisk::gui {

WritePage::WritePage(WorkState& state, QWidget* parent) : QWidget(parent), state_(state) {
  setObjectName("TabSheet3");
  auto* page = new QVBoxLayout(this);
  page->setContentsMargins(2, 2, 2, 2);
  model_ = new WriteListModel(state_.writes, this);
  WriteGrid = new QTableView(this);
  WriteGrid->setModel(model_);
  SetUpGrid(WriteGrid, "WriteGrid", {0, 24, 140, 40, 170});
  WriteGrid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  page->addWidget(WriteGrid);

  connect(WriteGrid->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] {
    if (!silent_) WriteGridClick();
  });
  PopupFilter::Install(WriteGrid, [this](const QPoint&, const QPoint& global_pos) { OpenPopup(global_pos); });
  BuildPopup();
}

void WritePage::BuildPopup() {
  WritePopupMenu = new QMenu(this);
  WritePopupMenu->setObjectName("WritePopupMenu");
  EditItem = AddMenuItem(WritePopupMenu, "EditItem", "編集(&R)");
  DeleteItem = AddMenuItem(WritePopupMenu, "DeleteItem", "削除(&D)");
  ReviveItem = AddMenuItem(WritePopupMenu, "ReviveItem", "復活(&R)");
  // The entry is found again when the item is chosen: the list may have been
  // output meanwhile.
  connect(EditItem, &QAction::triggered, this, [this] {
    const int entry = SelectedEntry();
    if (entry >= 0) emit EditMessageRequested(entry);
  });
  connect(DeleteItem, &QAction::triggered, this, [this] {
    const int entry = SelectedEntry();
    if (entry >= 0) emit DeleteMessageRequested(entry);
  });
  connect(ReviveItem, &QAction::triggered, this, [this] {
    const int entry = SelectedEntry();
    if (entry >= 0) emit ReviveMessageRequested(entry);
  });
}

int WritePage::SelectedEntry() const {
  const QModelIndex current = WriteGrid->currentIndex();
  return current.isValid() ? model_->EntryAt(current.row()) : -1;
}

void WritePage::WriteGridClick() {
  const int entry = SelectedEntry();
  if (entry >= 0) emit EntryChosen(entry);
}

void WritePage::AddRow(size_t write_index) {
  const bool first = model_->EntryAt(0) < 0;
  model_->AddRow(write_index);
  // The grid's selected row starts on its first row.
  if (first && !WriteGrid->currentIndex().isValid()) {
    const QScopedValueRollback<bool> silent(silent_, true);
    WriteGrid->setCurrentIndex(model_->index(0, WriteListModel::kTargetName));
  }
}

void WritePage::RefreshRow(size_t write_index) { model_->RefreshRow(write_index); }

void WritePage::Clear() {
  const QScopedValueRollback<bool> silent(silent_, true);
  model_->Clear();
}

void WritePage::OpenPopup(const QPoint& global_pos) {
  const int entry = SelectedEntry();
  if (entry < 0) return;
  const bool deleted = state_.writes[static_cast<size_t>(entry)].IsDeleted();
  EditItem->setEnabled(!deleted);
  DeleteItem->setEnabled(!deleted);
  ReviveItem->setEnabled(deleted);
  WritePopupMenu->popup(global_pos);
}

void WritePage::ApplyDisplaySettings() {
  ApplyFontGroup(WriteGrid, state_.settings.Font(Display::WriteMessageList));
  // Rows as high as the font needs, the same for every row.
  WriteGrid->verticalHeader()->setDefaultSectionSize(WriteGrid->fontMetrics().height() + 4);
  // The Type column as wide as its widest text at this font, never narrower
  // than its own width.
  FitColumn(WriteGrid, WriteListModel::kKind, 40,
            {QStringLiteral("NEW"), QStringLiteral("RES"), QStringLiteral("Move")});
}

void WritePage::FitTitleColumn(int form_width) {
  WriteGrid->setColumnWidth(WriteListModel::kTitle, std::max(form_width - 230, 40));
}

}  // namespace tobrisk::gui
