// Which of the main menu's eight message commands may run, decided from the
// control that has the input focus and its selected row.
#pragma once

class QWidget;

namespace tobrisk::gui {

struct MessageMenuState {
  bool new_mail = false;          // "新規メール書き込み(&N)"
  bool res_mail = false;          // "レスメール書き込み(&M)"
  bool new_message = false;       // "新規メッセージ書き込み(&S)"
  bool res_message = false;       // "レスメッセージ書き込み(&R)"
  bool move_res_message = false;  // "移動レスメッセージ書き込み(&M)"
  bool edit_message = false;      // "メッセージの編集(&E)"
  bool delete_message = false;    // "メッセージの削除(&D)"
  bool revive_message = false;    // "メッセージの復活(&R)"

  bool operator==(const MessageMenuState&) const = default;
};

// The rules for the grids named BoardGrid, UserGrid, LogMessageGrid and WriteGrid
// (item views whose model shows the grid's columns, column 0 holding the record
// number). `focused` may be the view itself or a widget inside it; any other
// control, or none, leaves all eight disabled.
MessageMenuState UpdateMessageMenu(const QWidget* focused);

}  // namespace tobrisk::gui
