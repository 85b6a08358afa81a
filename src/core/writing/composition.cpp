#include "writing/composition.h"

#include "ingest/read_marks.h"
#include "ingest/work_state.h"
#include "ports/ports.h"
#include "text/bytes.h"
#include "text/files.h"
#include "text/sjis.h"
#include "writing/composition_file.h"
#include "writing/write_journal.h"

namespace tobrisk {
namespace {

enum class Operation { NewMessage, NewMail, ResMessage, ResMail, MoveResMessage };

// EditorBusy for the length of one operation, on every way out. A composition
// started while another one waits for its editor gives the flag back set.
class EditorBusyScope {
 public:
  explicit EditorBusyScope(WorkState& state) : state_(state), previous_(state.editor_busy) {
    state_.editor_busy = true;
  }
  ~EditorBusyScope() { state_.editor_busy = previous_; }
  EditorBusyScope(const EditorBusyScope&) = delete;
  EditorBusyScope& operator=(const EditorBusyScope&) = delete;

 private:
  WorkState& state_;
  bool previous_;
};

const std::string& EditorNotStarted() {
  static const std::string text = Sjis("指定エディタが起動出来ませんでした。");
  return text;
}

// "作成されたファイルが存在しません。" LF CR + the operation's word + "を中止します。"
std::string AbortText(Operation op) {
  static const std::string head = Sjis("作成されたファイルが存在しません。\n\r");
  static const std::string tail = Sjis("を中止します。");
  static const std::string words[] = {Sjis("新規書き込み"), Sjis("新規メール書き込み"), Sjis("レス"),
                                      Sjis("レスメール"), Sjis("移動レス")};
  return head + words[static_cast<int>(op)] + tail;
}

void FillBoardTarget(WriteEntry& entry, const BoardEntry& board) {
  entry.board_type = board.board_type;
  entry.target_no = board.board_no;
  entry.target_name = board.board_name;
}

// Runs the editor on the file; false (with the plain message shown) when it
// could not be started.
bool RunEditor(const WorkState& state, const Ports& ports, WritingView& view, const std::string& path) {
  std::string reason;
  if (ports.editor->Run(state.settings.editor, path, reason)) return true;
  view.ShowPlainMessage(EditorNotStarted());
  return false;
}

void Compose(WorkState& state, const Ports& ports, WritingView& view, Operation op, size_t index,
             ReplyOrigin origin) {
  const bool quoted = op == Operation::ResMessage || op == Operation::ResMail || op == Operation::MoveResMessage;
  if (op == Operation::NewMessage && index >= state.boards.size()) return;
  if (op == Operation::NewMail && index >= state.users.size()) return;
  if (quoted && index >= state.messages.Size()) return;

  if (op == Operation::MoveResMessage && state.boards.empty()) {
    static const std::string text = Sjis("ボード一覧の取得が行われていないため、移動レスを実行出来ません。");
    ports.prompter->Error(text);
    return;
  }
  if (op == Operation::NewMessage || op == Operation::NewMail) view.SetNetSelectorEnabled(false);
  EditorBusyScope busy(state);

  // Everything the entry needs is taken now: the lists may change while the
  // editor runs, since the windows stay live.
  static const std::string mail_prefix = "MAIL : ";
  WriteEntry entry;
  entry.res_to_no = "0";
  entry.deleted = "0";
  switch (op) {
    case Operation::NewMessage:
      FillBoardTarget(entry, state.boards[index]);
      entry.kind = "NEW";
      break;
    case Operation::NewMail: {
      const UserEntry& user = state.users[index];
      entry.board_type = "MAIL";
      entry.target_no = user.user_id;
      entry.target_name = mail_prefix + user.handle_name;
      entry.kind = "NEW";
      break;
    }
    case Operation::ResMessage: {
      const MessageEntry& m = state.messages[index];
      entry.board_type = BoardTypeText(m.board_type);
      entry.target_no = DecimalText(m.board_no);
      entry.target_name = m.BoardName();
      entry.res_to_no = DecimalText(m.message_no);
      entry.kind = "RES";
      break;
    }
    case Operation::ResMail: {
      const MessageEntry& m = state.messages[index];
      entry.board_type = BoardTypeText(m.board_type);
      entry.target_no = DecimalText(m.writer_id);
      entry.target_name = mail_prefix + m.writer_handle.Str();
      entry.kind = "RES";
      break;
    }
    case Operation::MoveResMessage: {
      const int seq_no = view.ChooseMoveBoard();
      if (seq_no < 1 || static_cast<size_t>(seq_no) > state.boards.size()) return;  // cancelled
      FillBoardTarget(entry, state.boards[static_cast<size_t>(seq_no) - 1]);
      entry.res_to_no = "-1";
      entry.kind = "Move";
      break;
    }
  }

  static const std::string replied = Sjis("●");
  if ((op == Operation::ResMessage || op == Operation::MoveResMessage) && !state.messages[index].IsMail() &&
      state.messages[index].Mark() != replied) {
    SetReadMark(state, index, replied);
    view.ShowRepliedMark(index, origin);
  }

  const std::string name = UnusedCompositionFileName(state, ports.clock->Now());
  switch (op) {
    case Operation::NewMessage:
    case Operation::NewMail:
      PrepareBlankFile(state, name);
      break;
    case Operation::ResMessage:
      PrepareQuotedFile(state, name, state.messages[index].text_offset, index, HeaderKind::Res);
      break;
    case Operation::ResMail:
      PrepareQuotedFile(state, name, state.messages[index].text_offset, index, HeaderKind::None);
      break;
    case Operation::MoveResMessage:
      PrepareQuotedFile(state, name, state.messages[index].text_offset, index, HeaderKind::MovedRes);
      break;
  }

  const std::string path = state.tmp_dir + name;
  if (!RunEditor(state, ports, view, path)) return;
  if (!FileExists(path)) {
    ports.prompter->Error(AbortText(op));
    return;
  }

  entry.title = ReadFirstLine(path);
  entry.temp_file_name = name;
  entry.serial_no = DecimalText(static_cast<int64_t>(state.writes.size()) + 1);
  state.writes.push_back(entry);
  ++state.pending_count;
  view.AddWriteRow(state.writes.size() - 1);
  SaveWriteJournal(state);

  if (entry.title == TitlePlaceholder()) {
    static const std::string text = Sjis("タイトルが編集されていませんでした。\n\r確認を行って下さい。");
    ports.prompter->Info(text);
  }
  view.SetUpTextEnabled(true);
}

}  // namespace

void NewMessage(WorkState& state, const Ports& ports, WritingView& view, size_t board_index) {
  Compose(state, ports, view, Operation::NewMessage, board_index, ReplyOrigin::List);
}

void NewMail(WorkState& state, const Ports& ports, WritingView& view, size_t user_index) {
  Compose(state, ports, view, Operation::NewMail, user_index, ReplyOrigin::List);
}

void ResMessage(WorkState& state, const Ports& ports, WritingView& view, size_t message_index,
                ReplyOrigin origin) {
  Compose(state, ports, view, Operation::ResMessage, message_index, origin);
}

void ResMail(WorkState& state, const Ports& ports, WritingView& view, size_t message_index, ReplyOrigin origin) {
  Compose(state, ports, view, Operation::ResMail, message_index, origin);
}

void MoveResMessage(WorkState& state, const Ports& ports, WritingView& view, size_t message_index,
                    ReplyOrigin origin) {
  Compose(state, ports, view, Operation::MoveResMessage, message_index, origin);
}

void EditMessage(WorkState& state, const Ports& ports, WritingView& view, size_t write_index, bool from_popup) {
  if (write_index >= state.writes.size() || state.writes[write_index].IsDeleted()) return;
  EditorBusyScope busy(state);
  const std::string name = state.writes[write_index].temp_file_name;
  const std::string path = state.tmp_dir + name;
  if (!RunEditor(state, ports, view, path)) return;
  if (!FileExists(path)) {
    static const std::string text = Sjis("編集されたメッセージが存在しません。");
    ports.prompter->Error(text);
    return;
  }
  const std::string title = ReadFirstLine(path);
  // An up-text output while the editor ran may have emptied the list.
  if (write_index >= state.writes.size() || state.writes[write_index].temp_file_name != name) return;
  state.writes[write_index].title = title;
  view.RefreshWriteRow(write_index);
  SaveWriteJournal(state);
  if (from_popup) view.ShowWrittenMessage(write_index);
}

}  // namespace tobrisk
