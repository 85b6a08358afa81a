// The message window's write page ("書き込み", TabSheet3): the grid WriteGrid
// over the write list, one row per written message, and its pop-up menu
// "編集(&R)", "削除(&D)", "復活(&R)".
#pragma once

#include <QWidget>

#include "core/reading/work_state.h"

class QAction;
class QMenu;
class QPoint;
class QTableView;

namespace tobrisk::gui {

class WriteListModel;

class WritePage final : public QWidget {
  Q_OBJECT

 public:
  explicit WritePage(WorkState& state, QWidget* parent = nullptr);

  QTableView* Grid() const { return WriteGrid; }
  // The write-list index of the selected row, or -1.
  int SelectedEntry() const;

  // Entry `write_index` as the new last row (the first row becomes the selected one).
  void AddRow(size_t write_index);
  // The entry's row as the entry is now.
  void RefreshRow(size_t write_index);
  // Back to the header and one empty row.
  void Clear();

  void ApplyDisplaySettings();
  // The title column after the window's width `form_width`.
  void FitTitleColumn(int form_width);

  // The selection step: the selected entry's file in the text view (the empty
  // row leaves the view as it was).
  void WriteGridClick();

 signals:
  void EntryChosen(int write_index);
  void EditMessageRequested(int write_index);
  void DeleteMessageRequested(int write_index);
  void ReviveMessageRequested(int write_index);

 private:
  void BuildPopup();
  void OpenPopup(const QPoint& global_pos);

  WorkState& state_;
  bool silent_ = false;  // selection moved by a fill: no selection step

  QTableView* WriteGrid = nullptr;
  QMenu* WritePopupMenu = nullptr;
  QAction* EditItem = nullptr;
  QAction* DeleteItem = nullptr;
  QAction* ReviveItem = nullptr;
  WriteListModel* model_ = nullptr;
};

}  // namespace tobrisk::gui
