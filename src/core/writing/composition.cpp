#include "core/writing/composition.h"

#include <chrono>
#include <cstdio>
#include <filesystem>

#include "core/reading/read_marks.h"
#include "core/reading/work_state.h"
#include "core/settings/app_settings.h"
#include "core/ports/ports.h"
#include "core/text/bytes.h"
#include "core/text/files.h"
#include "core/text/sjis.h"
#include "core/writing/composition_file.h"
#include "core/writing/write_journal.h"

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

// How one run of the editor ended.
enum class EditorOutcome {
  NotStarted,  // the plain message was shown
  DidNotWait,  // returned at once with the file untouched; the user was told
  Missing,     // the file the editor had is gone
  Edited,      // the composition file holds the edited text, Shift-JIS
  Refused,     // the edited text cannot be Shift-JIS; the composition file keeps its previous text
};

// What a file looked like before the editor ran, to tell whether it was touched.
struct FileSnapshot {
  bool exists = false;
  std::string bytes;
  std::filesystem::file_time_type modified{};
  bool operator==(const FileSnapshot&) const = default;
};

FileSnapshot Snapshot(const std::string& path) {
  FileSnapshot s;
  if (!FileExists(path)) return s;
  std::error_code ec;
  s.modified = std::filesystem::last_write_time(path, ec);
  s.bytes = ReadWholeFile(path);
  s.exists = true;
  return s;
}

// The UTF-8 copy an external UTF-8 editor gets of a composition file: same
// name, in the "utf8" folder of TmpDir.
std::string Utf8CopyPath(const WorkState& state, const std::string& name) {
  return state.tmp_dir + "utf8" + kPathSeparator + name;
}

void WriteWholeFile(const std::string& path, const std::string& bytes) {
  WriteFileAtomically(path, [&](OutputFile& out) { out.Write(bytes); });
}

// An editor that hands the file to an instance already running returns at once.
constexpr auto kEditorWaitsAtLeast = std::chrono::seconds(1);

const std::string& DidNotWaitText() {
  static const std::string text = Sjis(
      "エディタがファイルの編集を待たずに終了しました。\n\rメッセージは変更されていません。\n\r"
      "実行エディタ名に、編集が終わるまで待つオプション（--wait や -w など）を付けて下さい。");
  return text;
}

// Runs the editor on composition file `name`. The built-in editor (an empty
// Editor setting) edits the file itself and saves Shift-JIS. An external editor
// gets the file, or a UTF-8 copy of it when its encoding is UTF-8; what comes
// back is read as UTF-8 or Shift-JIS and the composition file is left holding
// Shift-JIS. Text that cannot be Shift-JIS is refused: the composition file
// keeps its previous text and a UTF-8 copy keeps the user's text for the next
// edit.
EditorOutcome RunEditor(const WorkState& state, const Ports& ports, WritingView& view, const std::string& name) {
  const std::string path = state.tmp_dir + name;
  std::string reason;
  if (UsesBuiltinEditor(state.settings)) {
    if (!ports.editor->Run(std::string(), path, reason)) {
      view.ShowPlainMessage(EditorNotStarted());
      return EditorOutcome::NotStarted;
    }
    return FileExists(path) ? EditorOutcome::Edited : EditorOutcome::Missing;
  }

  const bool utf8 = state.settings.editor_encoding != kEditorShiftJis && FileExists(path);
  std::string handed = path;
  if (utf8) {
    handed = Utf8CopyPath(state, name);
    // A copy left by a refused conversion holds the user's last text: it is
    // edited again rather than replaced.
    if (!FileExists(handed)) {
      const std::string folder = state.tmp_dir + "utf8";
      if (!DirectoryExists(folder)) CreateDirectory(folder);
      WriteWholeFile(handed, SjisToUtf8(ReadWholeFile(path)));
    }
  }

  const FileSnapshot before = Snapshot(handed);
  const auto started = std::chrono::steady_clock::now();
  if (!ports.editor->Run(state.settings.editor, handed, reason)) {
    view.ShowPlainMessage(EditorNotStarted());
    return EditorOutcome::NotStarted;
  }
  if (std::chrono::steady_clock::now() - started < kEditorWaitsAtLeast && before.exists && Snapshot(handed) == before) {
    ports.prompter->Error(DidNotWaitText());
    return EditorOutcome::DidNotWait;
  }
  if (!FileExists(handed)) return EditorOutcome::Missing;

  const CompositionText text = ReadCompositionFile(handed);
  if (!text.Usable()) {
    static const std::string tail = Sjis("\n\rメッセージは前の内容のままです。もう一度編集して下さい。");
    ports.prompter->Error(CompositionRefusalText(name, text) + tail);
    return EditorOutcome::Refused;
  }
  if (utf8) {
    WriteWholeFile(path, text.sjis);
    std::remove(handed.c_str());
  } else if (text.kind == CompositionText::Kind::Utf8) {
    WriteWholeFile(path, text.sjis);  // a Shift-JIS editor that saved UTF-8 after all
  }
  return EditorOutcome::Edited;
}

// A board message answered by a reply or a moved reply is marked "●", once the
// reply is in the write list (a reply that fails marks nothing). The message
// list cannot change meanwhile: opening logs waits for the editor.
void MarkAnswered(WorkState& state, WritingView& view, Operation op, size_t index, ReplyOrigin origin) {
  if ((op == Operation::ResMessage || op == Operation::MoveResMessage) && index < state.messages.Size() &&
      !state.messages[index].IsMail() && state.messages[index].Mark() != kRepliedMark) {
    SetReadMark(state, index, kRepliedMark);
    view.ShowRepliedMark(index, origin);
  }
}

void Compose(WorkState& state, const Ports& ports, WritingView& view, Operation op, size_t index, ReplyOrigin origin) {
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
      entry.board_type = BoardTypeText(m.board_type());
      entry.target_no = DecimalText(m.board_no());
      entry.target_name = m.BoardName();
      entry.res_to_no = DecimalText(m.message_no);
      entry.kind = "RES";
      break;
    }
    case Operation::ResMail: {
      const MessageEntry& m = state.messages[index];
      entry.board_type = BoardTypeText(m.board_type());
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

  const std::string name = ReserveCompositionFile(state, ports.clock->Now());
  // A UTF-8 copy of an earlier composition of the same name is not this one's.
  std::remove(Utf8CopyPath(state, name).c_str());
  try {
    switch (op) {
      case Operation::NewMessage:
      case Operation::NewMail: PrepareBlankFile(state, name); break;
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
  } catch (...) {
    ReleaseCompositionFile(state, name);
    throw;
  }

  const std::string path = state.tmp_dir + name;
  const EditorOutcome outcome = RunEditor(state, ports, view, name);
  if (outcome == EditorOutcome::NotStarted || outcome == EditorOutcome::DidNotWait) return;
  if (outcome == EditorOutcome::Missing || !FileExists(path)) {
    ports.prompter->Error(AbortText(op));
    return;
  }

  // A refused text still makes an entry, holding the prepared text, so that the
  // user can edit it again from the write list.
  entry.title = ReadFirstLine(path);
  entry.temp_file_name = name;
  entry.serial_no = DecimalText(static_cast<int64_t>(state.writes.size()) + 1);
  state.writes.push_back(entry);
  ++state.pending_count;
  view.AddWriteRow(state.writes.size() - 1);
  SaveWriteJournal(state);
  MarkAnswered(state, view, op, index, origin);

  if (outcome == EditorOutcome::Edited && entry.title == TitlePlaceholder()) {
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

void ResMessage(WorkState& state, const Ports& ports, WritingView& view, size_t message_index, ReplyOrigin origin) {
  Compose(state, ports, view, Operation::ResMessage, message_index, origin);
}

void ResMail(WorkState& state, const Ports& ports, WritingView& view, size_t message_index, ReplyOrigin origin) {
  Compose(state, ports, view, Operation::ResMail, message_index, origin);
}

void MoveResMessage(WorkState& state, const Ports& ports, WritingView& view, size_t message_index, ReplyOrigin origin) {
  Compose(state, ports, view, Operation::MoveResMessage, message_index, origin);
}

void EditMessage(WorkState& state, const Ports& ports, WritingView& view, size_t write_index, bool from_popup) {
  if (write_index >= state.writes.size() || state.writes[write_index].IsDeleted()) return;
  EditorBusyScope busy(state);
  const std::string name = state.writes[write_index].temp_file_name;
  const std::string path = state.tmp_dir + name;
  const EditorOutcome outcome = RunEditor(state, ports, view, name);
  if (outcome == EditorOutcome::NotStarted || outcome == EditorOutcome::DidNotWait) return;
  if (outcome == EditorOutcome::Missing || !FileExists(path)) {
    static const std::string text = Sjis("編集されたメッセージが存在しません。");
    ports.prompter->Error(text);
    return;
  }
  if (outcome == EditorOutcome::Refused) return;  // the entry keeps its previous text
  const std::string title = ReadFirstLine(path);
  // An up-text output while the editor ran may have emptied the list.
  if (write_index >= state.writes.size() || state.writes[write_index].temp_file_name != name) return;
  state.writes[write_index].title = title;
  view.RefreshWriteRow(write_index);
  SaveWriteJournal(state);
  if (from_popup) view.ShowWrittenMessage(write_index);
}

}  // namespace tobrisk
