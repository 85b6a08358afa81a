// The board chooser for a moved reply: a modal dialog listing the current board
// list (without the mail row). Returns the chosen board's SeqNo, or -1.
#pragma once

#include <QDialog>

#include "core/boards/board_entry.h"

class QTableView;

namespace tobrisk {
class SettingsStore;
}

namespace tobrisk::gui {

class ListGridModel;

class TfrmSelectMoveBoard : public QDialog {
  Q_OBJECT

 public:
  // `boards` and `store` must outlive the dialog. Placement is restored now and
  // saved when the dialog is destroyed.
  TfrmSelectMoveBoard(const BoardList& boards, SettingsStore& store, QWidget* parent = nullptr);
  ~TfrmSelectMoveBoard() override;

  // Shows the dialog modally with the board list as it is now; the SeqNo of the
  // selected board when closed with OK, -1 otherwise.
  int Choose();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  const BoardList& boards_;
  SettingsStore& store_;
  QTableView* MoveBoardGrid = nullptr;
  ListGridModel* model_ = nullptr;
};

}  // namespace tobrisk::gui
