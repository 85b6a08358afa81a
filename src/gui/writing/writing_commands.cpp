#include "gui/writing/writing_commands.h"

#include <QApplication>
#include <QMessageBox>
#include <QTableView>

#include "gui/boards/TfrmBoardUserList.h"
#include "gui/boards/TfrmSelectMoveBoard.h"
#include "core/reading/reply_permission.h"
#include "core/reading/work_state.h"
#include "gui/reading/TfrmLogMessage.h"
#include "gui/shell/TfrmMain.h"
#include "core/text/bytes.h"
#include "gui/widgets/gui_prompter.h"
#include "gui/widgets/list_grid.h"
#include "gui/writing/editor_busy.h"
#include "core/writing/composition.h"
#include "gui/writing/composition_editor_runner.h"
#include "core/writing/up_text.h"
#include "core/writing/write_list.h"

namespace tobrisk::gui {
namespace {

// The SeqNo in column 0 of a grid's selected row, or -1 for a row without one.
int SelectedSeqNo(const QTableView* grid) {
  int32_t seq_no = 0;
  if (!ParseDecimal(CurrentGridCell(grid, 0), seq_no) || seq_no < 1) return -1;
  return seq_no;
}

}  // namespace

WritingCommands::WritingCommands(TfrmMain& frame) : QObject(&frame), frame_(frame), ports_(frame.PortsInUse()) {
  setObjectName("WritingCommands");
  if (ports_.editor == nullptr) {
    own_editor_ = std::make_unique<CompositionEditorRunner>(&frame_, State().settings, ports_);
    ports_.editor = own_editor_.get();
  }

  MainFrameHooks hooks;
  hooks.new_mail = [this] { NewMailToSelectedUser(); };
  hooks.res_mail = [this] { ResMailToSelected(); };
  hooks.new_message = [this] { NewMessageOnSelectedBoard(); };
  hooks.res_message = [this] { ResMessageToSelected(); };
  hooks.move_res_message = [this] { MoveResMessageToSelected(); };
  hooks.edit_message = [this] { EditSelectedWritten(); };
  hooks.delete_message = [this] { DeleteSelectedWritten(); };
  hooks.revive_message = [this] { ReviveSelectedWritten(); };
  hooks.up_text = [this] { OutputUpText(); };
  hooks.output_pending_at_close = [this] { return OutputPendingAtClose(); };
  frame_.SetHooks(std::move(hooks));

  // The message window's reply commands (list and tree pop-ups, R and M keys);
  // it has already beeped and stopped while an editor runs.
  TfrmLogMessage* messages = frame_.LogMessage();
  connect(messages, &TfrmLogMessage::ResMessageRequested, this,
          [this](int index, ReplyOrigin from) { ResMessage(index, from); });
  connect(messages, &TfrmLogMessage::ResMailRequested, this,
          [this](int index, ReplyOrigin from) { ResMail(index, from); });
  connect(messages, &TfrmLogMessage::MoveResMessageRequested, this,
          [this](int index, ReplyOrigin from) { MoveResMessage(index, from); });
  connect(messages, &TfrmLogMessage::EditMessageRequested, this, [this](int entry) { EditMessage(entry, true); });
  connect(messages, &TfrmLogMessage::DeleteMessageRequested, this, [this](int entry) { DeleteMessage(entry); });
  connect(messages, &TfrmLogMessage::ReviveMessageRequested, this, [this](int entry) { ReviveMessage(entry); });

  // The board and user grids' pop-ups.
  TfrmBoardUserList* lists = frame_.BoardUserList();
  connect(lists, &TfrmBoardUserList::NewMessageRequested, this, [this](int seq_no) { NewMessage(seq_no); });
  connect(lists, &TfrmBoardUserList::NewMailRequested, this, [this](int seq_no) { NewMail(seq_no); });
}

WritingCommands::~WritingCommands() = default;

WorkState& WritingCommands::State() { return frame_.State(); }

// ---- from the selected rows ----

void WritingCommands::NewMessageOnSelectedBoard() {
  const QTableView* grid = frame_.BoardUserList()->BoardGridView();
  if (CurrentGridCell(grid, 1) == "MAIL") return;  // the mail row is no board
  NewMessage(SelectedSeqNo(grid));
}

void WritingCommands::NewMailToSelectedUser() { NewMail(SelectedSeqNo(frame_.BoardUserList()->UserGridView())); }

// The list's selected message, when the rule of the reply command allows it.
void WritingCommands::ResMessageToSelected() {
  const int index = frame_.LogMessage()->SelectedListMessage();
  if (index < 0) return;
  if (PermittedReply(ReplyRoute::kCommand, State().messages[static_cast<size_t>(index)]) != Reply::kMessage) return;
  ResMessage(index, ReplyOrigin::List);
}

void WritingCommands::ResMailToSelected() {
  const int index = frame_.LogMessage()->SelectedListMessage();
  if (index < 0) return;
  if (PermittedReply(ReplyRoute::kCommand, State().messages[static_cast<size_t>(index)]) != Reply::kMail) return;
  ResMail(index, ReplyOrigin::List);
}

void WritingCommands::MoveResMessageToSelected() {
  const int index = frame_.LogMessage()->SelectedListMessage();
  if (index < 0 || !MoveReplyPermitted(ReplyRoute::kCommand, State().messages[static_cast<size_t>(index)])) return;
  MoveResMessage(index, ReplyOrigin::List);
}

void WritingCommands::EditSelectedWritten() { EditMessage(frame_.LogMessage()->SelectedWriteEntry(), false); }
void WritingCommands::DeleteSelectedWritten() { DeleteMessage(frame_.LogMessage()->SelectedWriteEntry()); }
void WritingCommands::ReviveSelectedWritten() { ReviveMessage(frame_.LogMessage()->SelectedWriteEntry()); }

// ---- by record ----

void WritingCommands::NewMessage(int board_seq_no) {
  if (board_seq_no < 1 || RefusedWhileEditorBusy(State(), *ports_.prompter)) return;
  frame_.RunCommand([&] { tobrisk::NewMessage(State(), ports_, *this, static_cast<size_t>(board_seq_no) - 1); });
}

void WritingCommands::NewMail(int user_seq_no) {
  if (user_seq_no < 1 || RefusedWhileEditorBusy(State(), *ports_.prompter)) return;
  frame_.RunCommand([&] { tobrisk::NewMail(State(), ports_, *this, static_cast<size_t>(user_seq_no) - 1); });
}

void WritingCommands::ResMessage(int message_index, ReplyOrigin origin) {
  if (message_index < 0 || RefusedWhileEditorBusy(State(), *ports_.prompter)) return;
  frame_.RunCommand([&] { tobrisk::ResMessage(State(), ports_, *this, static_cast<size_t>(message_index), origin); });
}

void WritingCommands::ResMail(int message_index, ReplyOrigin origin) {
  if (message_index < 0 || RefusedWhileEditorBusy(State(), *ports_.prompter)) return;
  frame_.RunCommand([&] { tobrisk::ResMail(State(), ports_, *this, static_cast<size_t>(message_index), origin); });
}

void WritingCommands::MoveResMessage(int message_index, ReplyOrigin origin) {
  if (message_index < 0 || RefusedWhileEditorBusy(State(), *ports_.prompter)) return;
  frame_.RunCommand(
      [&] { tobrisk::MoveResMessage(State(), ports_, *this, static_cast<size_t>(message_index), origin); });
}

void WritingCommands::EditMessage(int write_index, bool from_popup) {
  if (write_index < 0 || RefusedWhileEditorBusy(State(), *ports_.prompter)) return;
  frame_.RunCommand(
      [&] { tobrisk::EditMessage(State(), ports_, *this, static_cast<size_t>(write_index), from_popup); });
}

void WritingCommands::DeleteMessage(int write_index) {
  if (write_index < 0) return;
  frame_.RunCommand([&] { tobrisk::DeleteMessage(State(), *this, static_cast<size_t>(write_index)); });
}

void WritingCommands::ReviveMessage(int write_index) {
  if (write_index < 0) return;
  frame_.RunCommand([&] { tobrisk::ReversMessage(State(), *this, static_cast<size_t>(write_index)); });
}

bool WritingCommands::OutputUpText() {
  // The output empties the write list: a composition still in the editor
  // would come back to an emptied list and reach no upload file.
  if (State().pending_count <= 0 || RefusedWhileEditorBusy(State(), *ports_.prompter)) return false;
  bool done = false;
  frame_.RunCommand([&] { done = tobrisk::OutputUpText(State(), ports_, *this); });
  return done;
}

bool WritingCommands::OutputPendingAtClose() {
  if (State().pending_count <= 0) return true;
  // A failure (IoError) goes to the frame's close check, which reports it and
  // keeps the program open.
  if (!WriteUpFile(State(), ports_)) return false;
  // Nothing is left pending: a second close request does not output again.
  ClearWriteList(State(), *this);
  return true;
}

// ---- WritingView ----

int WritingCommands::ChooseMoveBoard() { return frame_.SelectMoveBoard()->Choose(); }

void WritingCommands::SetNetSelectorEnabled(bool enabled) { frame_.EnableNetSelection(enabled); }

void WritingCommands::ShowRepliedMark(size_t message_index, ReplyOrigin origin) {
  frame_.LogMessage()->MarkReplied(message_index, origin);
}

void WritingCommands::AddWriteRow(size_t write_index) { frame_.LogMessage()->AddWriteRow(write_index); }

void WritingCommands::RefreshWriteRow(size_t write_index) { frame_.LogMessage()->RefreshWriteRow(write_index); }

void WritingCommands::ShowDeletedMark(size_t write_index, bool) { frame_.LogMessage()->RefreshWriteRow(write_index); }

void WritingCommands::ClearWriteGrid() { frame_.LogMessage()->ClearWriteGrid(); }

void WritingCommands::ShowWrittenMessage(size_t write_index) { frame_.LogMessage()->ShowWrittenMessage(write_index); }

void WritingCommands::SetUpTextEnabled(bool) {
  // The button follows the pending count, which the caller has just changed.
  frame_.UpdateCommandStates();
}

void WritingCommands::ShowPlainMessage(std::string_view text) {
  QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(), FromSjis(text), QMessageBox::Ok, &frame_);
  box.setObjectName("PlainMessageBox");
  box.exec();
}

}  // namespace tobrisk::gui
