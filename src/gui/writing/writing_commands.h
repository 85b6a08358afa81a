// The desktop program's writing commands: every entry point of the six
// composition operations (main menu, list and tree pop-ups, the R and M keys,
// the board and user grid pop-ups, the write grid's pop-up), the write list's
// delete and revive, the up-text button and the close check's output of
// pending messages. It is the WritingView of the real windows: the board
// chooser, the net selector, the marks, the write grid and the up-text button.
#pragma once

#include <QObject>
#include <memory>
#include <string_view>

#include "core/ports/ports.h"
#include "core/writing/writing_view.h"

namespace tobrisk {
struct WorkState;
}  // namespace tobrisk

namespace tobrisk::gui {

class TfrmMain;
class CompositionEditorRunner;

class WritingCommands final : public QObject, public WritingView {
  Q_OBJECT

 public:
  // Installs the frame's writing hooks and connects the windows' commands. A
  // child of the frame: it lives as long as the frame. The editor is the
  // frame's editor port, or one of its own when the frame has none: the built-in
  // editor when the Editor setting is empty, otherwise the external editor.
  explicit WritingCommands(TfrmMain& frame);
  ~WritingCommands() override;

  // ---- the commands (each does nothing on a row that holds no record) ----
  // Main menu and grid pop-ups, from the selected rows of their grids.
  void NewMessageOnSelectedBoard();
  void NewMailToSelectedUser();
  void ResMessageToSelected();
  void ResMailToSelected();
  void MoveResMessageToSelected();
  void EditSelectedWritten();
  void DeleteSelectedWritten();
  void ReviveSelectedWritten();
  // By record: `seq_no` is the grid's SeqNo, the indexes are 0-based.
  void NewMessage(int board_seq_no);
  void NewMail(int user_seq_no);
  void ResMessage(int message_index, ReplyOrigin origin);
  void ResMail(int message_index, ReplyOrigin origin);
  void MoveResMessage(int message_index, ReplyOrigin origin);
  void EditMessage(int write_index, bool from_popup);
  void DeleteMessage(int write_index);
  void ReviveMessage(int write_index);
  // The "アップテキスト出力" button: the UpFile, the completion box and the
  // write list emptied. False when the output did not complete.
  bool OutputUpText();
  // At exit: the UpFile without the completion box. False keeps the program open.
  bool OutputPendingAtClose();

  // ---- WritingView ----
  int ChooseMoveBoard() override;
  void SetNetSelectorEnabled(bool enabled) override;
  void ShowRepliedMark(size_t message_index, ReplyOrigin origin) override;
  void AddWriteRow(size_t write_index) override;
  void RefreshWriteRow(size_t write_index) override;
  void ShowDeletedMark(size_t write_index, bool deleted) override;
  void ClearWriteGrid() override;
  void ShowWrittenMessage(size_t write_index) override;
  void SetUpTextEnabled(bool enabled) override;
  void ShowPlainMessage(std::string_view text) override;

 private:
  WorkState& State();

  TfrmMain& frame_;
  std::unique_ptr<CompositionEditorRunner> own_editor_;
  Ports ports_;
};

}  // namespace tobrisk::gui
