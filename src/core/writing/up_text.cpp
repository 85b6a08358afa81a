#include "writing/up_text.h"

#include <cstdio>

#include "ingest/work_state.h"
#include "ports/ports.h"
#include "text/files.h"
#include "text/line_reader.h"
#include "text/sjis.h"
#include "writing/message_templates.h"
#include "writing/write_journal.h"
#include "writing/writing_view.h"

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

std::string MissingCompositionText(const std::string& name) {
  static const std::string head = Sjis("メッセージテンポファイル[");
  static const std::string tail = Sjis("]が存在しません。\n\rスキップします。");
  return head + name + tail;
}

}  // namespace

std::string UpFilePath(const WorkState& state, const LocalTime& now) {
  const NetList& nets = state.nets;
  const int net = state.settings.default_net;
  const std::string prefix = nets.Contains(net) ? nets.At(net).up_file_header : std::string();
  char date[16];
  std::snprintf(date, sizeof date, "%02d%02d", now.month % 100, now.day % 100);
  return TrailingSeparator(state.settings.up_dir) + prefix + date + ".TXT";
}

std::string UpFileBlock(const WorkState& state, const WriteEntry& entry, Clock& clock) {
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

  LineReader reader(state.tmp_dir + entry.temp_file_name, LineEnds::Any);
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
  bool append = false;
  if (FileExists(path)) {
    switch (ports.prompter->Confirm(ExistingFileQuestion())) {
      case Answer::Yes: break;
      case Answer::No: append = true; break;
      case Answer::Cancel: return false;
    }
  }

  std::string blocks;
  for (const WriteEntry& entry : state.writes) {
    if (entry.IsDeleted()) continue;
    if (!FileExists(state.tmp_dir + entry.temp_file_name)) {
      ports.prompter->Error(MissingCompositionText(entry.temp_file_name));
      continue;
    }
    blocks += UpFileBlock(state, entry, *ports.clock);
  }

  // Appending rewrites the old content followed by the new blocks, so that the
  // file is replaced in one step and never left half written.
  const std::string old_content = append ? ReadWholeFile(path) : std::string();
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
