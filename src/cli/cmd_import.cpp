// tobrisk-cli import CAPTURE
#include <iostream>

#include "core/boards/board_user_import.h"
#include "cli/cli_support.h"
#include "cli/command.h"
#include "core/text/files.h"
#include "core/text/io_error.h"

namespace tobrisk::cli {
namespace {

// The capture comes from the command line; there are no windows to update.
class CommandLineImportView final : public ImportView {
 public:
  explicit CommandLineImportView(std::string capture) : capture_(std::move(capture)) {}
  std::optional<std::string> ChooseCapture() override { return capture_; }
  std::string ShownLogHeader() override { return {}; }
  void SelectNet(int) override {}
  void FillBoardGrid() override {}
  void FillUserGrid() override {}

 private:
  std::string capture_;
};

// The report's lines end in CR LF; the terminal gets plain newlines.
std::string ReportLines(std::string_view report_sjis) {
  std::string text = ForTerminal(report_sjis);
  std::string out;
  out.reserve(text.size() + 1);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out.push_back(text[i]);
  }
  out.push_back('\n');
  return out;
}

int RunImport(const std::vector<std::string>& args) {
  const ParsedArgs parsed = ParseArgs(args, {});
  if (parsed.positional.size() != 1) throw UsageError{"expected exactly one CAPTURE"};

  CliSession session;
  try {
    StartUp(session.state, session.ports, CurrentDirectory());
  } catch (const IoError& e) {
    std::cerr << "tobrisk-cli: " << e.what() << '\n';  // no tmp folder: the import does not need it
  }
  CommandLineImportView view(parsed.positional[0]);
  ImportOptions options;
  options.refuse_other_net_while_pending = false;
  options.show_report = false;
  const ImportResult result = ImportBoardUserInfo(session.state, session.ports, view, options);
  if (result.outcome != ImportOutcome::Imported) return kExitRefused;
  std::cout << ReportLines(result.report);
  return kExitOk;
}

const Registration registration({"import", "import CAPTURE",
                                 "import the board and member lists of the capture's net from a capture "
                                 "(writes its .BRD/.USR)",
                                 RunImport});

}  // namespace
}  // namespace tobrisk::cli
