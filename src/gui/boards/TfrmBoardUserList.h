// The board/user window: the board list and the member list of one net, the
// net chooser, and the starting points for reading one board (double click) and
// for writing a new message or a new mail (pop-up menus).
#pragma once

#include <QByteArray>
#include <QWidget>
#include <string>

#include "ingest/work_state.h"
#include "ports/ports.h"

class QAction;
class QComboBox;
class QMenu;
class QTabWidget;
class QTableView;

namespace tobrisk::gui {

class ListGridModel;

class TfrmBoardUserList : public QWidget {
  Q_OBJECT

 public:
  // `state` and the ports must outlive the window. Creation applies the display
  // settings, fills the net chooser, selects DefaultNet and loads its lists.
  TfrmBoardUserList(WorkState& state, const Ports& ports, QWidget* parent = nullptr);

  // Fills the net chooser from the net list and selects DefaultNet without
  // loading anything. Nets without a LogHeader are not offered.
  void FillNetChooser();
  // After the nets were edited: refills the chooser and selects `shown_net`, the
  // net the grids show, by its index now (-1 when it was deleted). When that net
  // is gone, no longer offered, or has another LogHeader than `lists_header`, the
  // lists the grids show were loaded from, the lists are loaded again for what is
  // selected (nothing: empty). DefaultNet is left as it is.
  void NetsEdited(int shown_net, const std::string& lists_header);
  // The net selected in ComboBox1 (index into the net list), or -1.
  int SelectedNet() const;
  // Selects a net without running ComboBox1Change (log open, import); a net not
  // offered leaves nothing selected.
  void SelectNet(int index);
  void SetNetSelectionEnabled(bool enabled);
  bool NetSelectionEnabled() const;

  // Shows the board list and the user list as they are now.
  void FillBoardGrid();
  void FillUserGrid();
  // Empties both grids to one empty row (before the lists are emptied).
  void ClearGrids();

  // Colours and fonts of the two grids from the BoardList and UserList groups.
  void ApplyDisplaySettings();

  QTableView* BoardGridView() const { return BoardGrid; }
  QTableView* UserGridView() const { return UserGrid; }

 public slots:
  // Loads the chosen net's .BRD and .USR and saves DefaultNet.
  void ComboBox1Change();
  // Filters the message window to the selected board.
  void BoardGridDblClick();
  void KW1Click();
  void K1Click();

 signals:
  // The board double-clicked: Shift-JIS type, number and name (with its blanks).
  void BoardFilterRequested(const QByteArray& board_type, const QByteArray& board_no, const QByteArray& board_name);
  // "新規書き込み(&W)" for the board of SeqNo `board_seq_no`.
  void NewMessageRequested(int board_seq_no);
  // "新規メール書き込み(&M)" for the member of SeqNo `user_seq_no`.
  void NewMailRequested(int user_seq_no);

 private:
  void FillNetEntries();
  // Empties the lists and the grids and loads the net's .BRD and .USR (none for
  // -1). Throws on a read failure, with the grids showing what was read.
  void LoadLists(int net);
  void BoardGridPopup(const QPoint& pos);
  void UserGridPopup(const QPoint& pos);

  WorkState& state_;
  Ports ports_;

  QComboBox* ComboBox1 = nullptr;
  QTabWidget* PageControl1 = nullptr;
  QWidget* TabSheet1 = nullptr;
  QWidget* TabSheet2 = nullptr;
  QTableView* BoardGrid = nullptr;
  QTableView* UserGrid = nullptr;
  QMenu* BoardPopupMenu = nullptr;
  QAction* KW1 = nullptr;
  QMenu* UserPopupMenu = nullptr;
  QAction* K1 = nullptr;
  ListGridModel* board_model_ = nullptr;
  ListGridModel* user_model_ = nullptr;
};

}  // namespace tobrisk::gui
