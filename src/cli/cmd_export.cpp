// tobrisk-cli export --format mbox|html|text --out PATH|- [--year YYYY] [--force] LOG...
#include <iostream>

#include "cli/cli_pipeline.h"
#include "cli/command.h"
#include "core/export/message_export.h"
#include "core/reading/message_text.h"
#include "core/reading/message_tree.h"
#include "core/text/bytes.h"

namespace tobrisk::cli {
namespace {

int RunExport(const std::vector<std::string>& args) {
  const ParsedArgs parsed = ParseArgs(args, {"--force"}, {"--format", "--out", "--year"});
  if (parsed.positional.empty()) throw UsageError{"expected at least one LOG"};
  ExportOptions options;
  const std::string* format = parsed.Value("--format");
  if (format == nullptr || !ParseExportFormat(*format, options.format)) {
    throw UsageError{"--format needs mbox, html or text"};
  }
  const std::string* out = parsed.Value("--out");
  if (out == nullptr || out->empty()) throw UsageError{"--out needs a file (mbox, text) or a folder (html)"};
  options.out = *out;
  if (options.out == kStandardOutput && options.format == ExportFormat::Html) {
    throw UsageError{"--out - (standard output) takes mbox or text"};
  }
  options.force = parsed.Has("--force");
  ExportYears years;
  if (const std::string* year = parsed.Value("--year")) {
    if (year->size() != 4 || !ParseDecimal(*year, years.year) || years.year < 1000) {
      throw UsageError{"--year needs a year of four digits"};
    }
    years.fixed_year = true;
  }
  // Refused before the logs are read.
  if (const std::string refusal = OutputRefusal(options, parsed.positional); !refusal.empty()) {
    std::cerr << "tobrisk-cli export: " << refusal << '\n';
    return kExitRefused;
  }
  CliSession session;
  if (!ReadLogsAsList(session, parsed.positional, MessageTexts::Keep)) return kExitRefused;
  years.capture = CaptureDate(parsed.positional);
  // The text export has no threads: its messages only need their list order.
  const MessageTree tree =
      options.format == ExportFormat::Text ? MessageTree() : BuildMessageTree(session.state.messages);
  MessageTextReader reader(session.state);
  ExportSource source = OpenLogsSource(session.state, tree, parsed.positional, reader);
  source.years = years;
  ExportMessages(source, options, session.progress);
  return kExitOk;
}

const Registration registration(
    {"export", "export --format mbox|html|text --out PATH|- [--year YYYY] [--force] LOG...",
     "as list, then write every message in UTF-8: an mbox file, a folder of HTML pages (index.html) or a text "
     "file (--out - for mbox or text on standard output). An existing output is kept unless --force; the year "
     "of the dates is the logs' modification year unless --year",
     RunExport});

}  // namespace
}  // namespace tobrisk::cli
