// tobrisk-cli up [--append|--replace] WRITELIST
#include <iostream>

#include "cli/cli_support.h"
#include "cli/command.h"
#include "core/text/files.h"
#include "core/text/line_reader.h"
#include "core/writing/up_text.h"
#include "core/writing/write_list.h"

namespace tobrisk::cli {
namespace {

// Answers the existing-file question as the option asks; without one it prints
// the question and answers Cancel, like the terminal prompter.
class UpPrompter final : public Prompter {
 public:
  UpPrompter(TerminalPrompter& terminal, const Answer* answer) : terminal_(terminal), answer_(answer) {}
  void Error(std::string_view text) override { terminal_.Error(text); }
  void Info(std::string_view text) override { terminal_.Info(text); }
  Answer Confirm(std::string_view text, Answer default_answer = Answer::Yes) override {
    return answer_ ? *answer_ : terminal_.Confirm(text, default_answer);
  }
  void Beep() override {}

 private:
  TerminalPrompter& terminal_;
  const Answer* answer_;
};

// The write list as a TSV file: the nine WriteEntry fields in field order, one
// entry per line (CR LF, CR or LF), Shift-JIS. Empty lines are skipped.
// Returns false (with the reason printed) on a malformed line.
bool ReadWriteList(const std::string& path, WriteList& writes) {
  LineReader reader(path, LineEnds::Any);
  std::string_view line;
  int line_no = 0;
  while (reader.Next(line)) {
    ++line_no;
    if (line.empty()) continue;
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
      const size_t tab = line.find('\t', start);
      fields.emplace_back(line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
      if (tab == std::string_view::npos) break;
      start = tab + 1;
    }
    if (fields.size() != 9) {
      std::cerr << "tobrisk-cli up: " << path << " line " << line_no << ": expected the 9 fields of a write entry "
                << "separated by TAB, found " << fields.size() << '\n';
      return false;
    }
    if (fields[8] != "0" && fields[8] != "1") {
      std::cerr << "tobrisk-cli up: " << path << " line " << line_no << ": Deleted must be 0 or 1\n";
      return false;
    }
    writes.push_back(
        {fields[0], fields[1], fields[2], fields[3], fields[4], fields[5], fields[6], fields[7], fields[8]});
  }
  return true;
}

int RunUp(const std::vector<std::string>& args) {
  const ParsedArgs parsed = ParseArgs(args, {"--append", "--replace"});
  if (parsed.positional.size() != 1) throw UsageError{"expected one WRITELIST"};
  if (parsed.Has("--append") && parsed.Has("--replace")) throw UsageError{"--append and --replace exclude each other"};

  CliSession session;
  WorkState& state = session.state;
  StartUp(state, session.ports, CurrentDirectory());
  if (!state.nets.Contains(state.settings.default_net)) {
    std::cerr << "tobrisk-cli up: DefaultNet " << state.settings.default_net << " names no net of NET.TDT\n";
    return kExitRefused;
  }
  if (!ReadWriteList(parsed.positional[0], state.writes)) return kExitRefused;
  state.pending_count = CountLiveEntries(state.writes);
  if (state.pending_count == 0) {
    std::cerr << "tobrisk-cli up: the write list holds no live entry; nothing was written\n";
    return kExitRefused;
  }

  static const Answer kAppend = Answer::No;
  static const Answer kReplace = Answer::Yes;
  UpPrompter prompter(session.prompter, parsed.Has("--append")    ? &kAppend
                                        : parsed.Has("--replace") ? &kReplace
                                                                  : nullptr);
  Ports ports = session.ports;
  ports.prompter = &prompter;
  std::string path;
  if (!WriteUpFile(state, ports, &path)) return kExitRefused;
  std::cout << path << '\n';
  return kExitOk;
}

const Registration registration({"up", "up [--append|--replace] WRITELIST",
                                 "up-text output for the net DefaultNet from a write list (TSV of the nine "
                                 "WriteEntry fields, Shift-JIS); prints the UpFile's path. An existing UpFile "
                                 "needs --append or --replace",
                                 RunUp});

}  // namespace
}  // namespace tobrisk::cli
