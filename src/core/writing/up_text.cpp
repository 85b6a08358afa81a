#include "core/writing/up_text.h"

#include <cstdio>

#include "core/reading/work_state.h"
#include "core/ports/ports.h"
#include "core/text/files.h"
#include "core/text/line_reader.h"
#include "core/text/sjis.h"
#include "core/writing/composition_file.h"
#include "core/writing/message_templates.h"
#include "core/writing/write_journal.h"
#include "core/writing/writing_view.h"

namespace tobrisk {
namespace {

void AddLine(std::string& out, std::string_view line) {
  out += line;
  out += "\r\n";
}

// "B12", "I3", "BF": the board selection line of a board message.
std::string BoardSelection(const WriteEntry& entry) {
  const bool ibbs = entry.board_type == "IBBS" || entry.board_type == "LBBS";
  return std::string(ibbs ? "I" : "B") + (entry.target_no == "0" ? std::string("F") : entry.target_no);
}

const std::string& ExistingFileQuestion() {
  static const std::string text =
      Sjis("同名のアップファイルが存在します。削除しますか？\r\n削除を行わない場合は追加されます。");
  return text;
}

const std::string& SkipText() {
  static const std::string text = Sjis("\n\rスキップします。");
  return text;
}

std::string MissingCompositionText(const std::string& name) {
  static const std::string head = Sjis("メッセージテンポファイル[");
  static const std::string tail = Sjis("]が存在しません。");
  return head + name + tail + SkipText();
}

const std::string& NothingWrittenText() {
  static const std::string text =
      Sjis("出力できるメッセージがありませんでした。\n\rアップファイルは変更していません。");
  return text;
}

// The title a block carries: the entry's, except that a title read raw from a
// composition file that came back in UTF-8 is taken converted, like the body.
std::string BlockTitle(const WriteEntry& entry, const std::string& path, const CompositionText& text) {
  if (text.kind != CompositionText::Kind::Utf8 || entry.title != ReadFirstLine(path)) return entry.title;
  LineReader reader(kInMemory, text.sjis, LineEnds::Any);
  std::string_view line;
  return reader.Next(line) ? std::string(line) : std::string();
}

}  // namespace

std::string UpFilePath(const WorkState& state, const LocalTime& now) {
  const NetList& nets = state.nets;
  const int net = state.settings.default_net;
  const std::string prefix = nets.Contains(net) ? nets.At(net).up_file_header : std::string();
  char date[16];
  std::snprintf(date, sizeof date, "%02d%02d", now.month % 100, now.day % 100);
  const std::string& up_dir = state.settings.up_dir;
  return (up_dir.empty() ? state.work_dir : TrailingSeparator(up_dir)) + prefix + date + ".TXT";
}

std::string UpFileBlock(const WorkState& state, const WriteEntry& entry, std::string_view text, Clock& clock) {
  std::string block;
  if (entry.board_type == "MAIL") {
    AddLine(block, "M");
    AddLine(block, "W");
    AddLine(block, entry.target_no);
    AddLine(block, "");
  } else {
    AddLine(block, BoardSelection(entry));
    AddLine(block, entry.kind == "RES" ? "R" + entry.res_to_no : std::string("W"));
  }
  AddLine(block, entry.title);

  LineReader reader(kInMemory, text, LineEnds::Any);
  std::string_view line;
  bool title_line = true;
  while (reader.Next(line)) {
    if (!title_line) AddLine(block, line);
    title_line = false;
  }

  const AppSettings& s = state.settings;
  if (!s.message_footer.empty()) {
    AddLine(block, "");
    const std::string footer = ExpandFooter(s.message_footer, state.nets, s.default_net, clock);
    AddLine(block, AlignLine(footer, kTemplateLineWidth, s.message_footer_pos));
  }
  AddLine(block, "/ES");
  AddLine(block, "E");
  return block;
}

bool WriteUpFile(const WorkState& state, const Ports& ports, std::string* written_path) {
  const std::string path = UpFilePath(state, ports.clock->Now());
  bool replace = false;
  if (FileExists(path)) {
    switch (ports.prompter->Confirm(ExistingFileQuestion(), Answer::No)) {
      case Answer::Yes: replace = true; break;
      case Answer::No: break;
      case Answer::Cancel: return false;
    }
  }

  std::string blocks;
  size_t written = 0;
  for (const WriteEntry& entry : state.writes) {
    if (entry.IsDeleted()) continue;
    const std::string file = state.tmp_dir + entry.temp_file_name;
    if (!FileExists(file)) {
      ports.prompter->Error(MissingCompositionText(entry.temp_file_name));
      continue;
    }
    const CompositionText text = ReadCompositionFile(file);
    if (!text.Usable()) {
      ports.prompter->Error(CompositionRefusalText(entry.temp_file_name, text) + SkipText());
      continue;
    }
    WriteEntry block_entry = entry;
    block_entry.title = BlockTitle(entry, file, text);
    blocks += UpFileBlock(state, block_entry, text.sjis, *ports.clock);
    ++written;
  }
  if (written == 0) {
    ports.prompter->Error(NothingWrittenText());
    return false;
  }

  // Appending rewrites the old content followed by the new blocks, so that the
  // file is replaced in one step and never left half written. The lock keeps
  // another writer from replacing the file between the read and the rename; a
  // file that another writer created after the question is appended to, never
  // dropped.
  const FolderLock lock(FolderOf(path));
  const std::string old_content = !replace && FileExists(path) ? ReadWholeFile(path) : std::string();
  WriteFileAtomically(path, [&](OutputFile& out) {
    out.Write(old_content);
    out.Write(blocks);
  });
  if (written_path != nullptr) *written_path = path;
  return true;
}

bool OutputUpText(WorkState& state, const Ports& ports, WritingView& view) {
  if (!WriteUpFile(state, ports)) return false;
  static const std::string done = Sjis("アップテキスト出力が完了しました。");
  ports.prompter->Info(done);
  ClearWriteList(state, view);
  return true;
}

void ClearWriteList(WorkState& state, WritingView& view) {
  state.pending_count = 0;
  view.ClearWriteGrid();
  state.writes.clear();
  view.SetUpTextEnabled(false);
  view.SetNetSelectorEnabled(true);
  SaveWriteJournal(state);
}

}  // namespace tobrisk
