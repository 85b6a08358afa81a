// Exporting the messages of the open logs in standard formats, in UTF-8: an
// mbox file for mail programs, a folder of HTML pages for any browser, and
// plain text. The output is written under a temporary name and renamed when it
// is complete, so no half output is ever left behind.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tobrisk {

class MessageList;
class MessageTextReader;
class MessageTree;
class Progress;
struct WorkState;

enum class ExportFormat { Mbox, Html, Text };

// "mbox", "html", "text"; false for anything else.
bool ParseExportFormat(std::string_view name, ExportFormat& format);

// Thrown by an export that was cancelled; it has left nothing behind.
struct ExportCancelled {};

// A calendar date.
struct ExportDate {
  int year = 0;
  int month = 0;
  int day = 0;
};

// Where the years of the messages come from: a WriteDate holds month and day
// only. With a fixed year every message gets it; otherwise each message gets
// the year of the capture's modification date, or the year before when its
// month and day come after that date (December messages in a January capture).
struct ExportYears {
  ExportDate capture;  // the logs' newest modification date (local time)
  bool fixed_year = false;
  int year = 0;  // the --year given
};

// The full date of a WriteDate ("MM/DD"); the capture's date when it cannot be read.
ExportDate DateOfWriteDate(std::string_view write_date, const ExportYears& years);

// What an export reads.
struct ExportSource {
  const MessageList* messages = nullptr;  // sorted, as the message window lists them
  const MessageTree* tree = nullptr;      // BuildMessageTree(*messages); the text export reads none
  // The texts as the text view shows them, read at the messages' TextOffsets.
  MessageTextReader* texts = nullptr;
  std::string net_name;                // NetName (Shift-JIS)
  std::string log_header;              // CurrentLogHeader
  std::vector<std::string> log_names;  // the logs' file names, UTF-8
  ExportYears years;
};

// The newest modification date of the logs, in local time. Throws IoError.
ExportDate CaptureDate(const std::vector<std::string>& logs);

// The source for exporting the open logs `logs` of `state`: its message list,
// `tree` built from it, the net of CurrentLogHeader, the texts through `reader`
// (as the text view gets them). `years` is left to the caller.
ExportSource OpenLogsSource(const WorkState& state, const MessageTree& tree, const std::vector<std::string>& logs,
                            MessageTextReader& reader);

inline constexpr const char* kStandardOutput = "-";

struct ExportOptions {
  ExportFormat format = ExportFormat::Mbox;
  // The file (mbox, text) or folder (html) to write; kStandardOutput for the
  // process's standard output (mbox, text), written as it is made.
  std::string out;
  bool force = false;  // replace an existing output
  // Message indices to export, in list order; every message when `all`.
  bool all = true;
  std::vector<size_t> selection;
  // Asked every few messages; true stops the export (ExportCancelled).
  std::function<bool()> cancelled;
};

// Why an output cannot be written before anything is read; empty when it can.
// An existing output is kept unless `force`; a folder is replaced only when it
// is an earlier export (it holds index.html), a file only when it is a plain
// one (not a device or a pipe; a link's target counts, the link is written
// through), never a file by a folder or the other way round, and never one of
// the logs `inputs`. The text is UTF-8 (it names the path as the file system
// spells it).
std::string OutputRefusal(const ExportOptions& options, const std::vector<std::string>& inputs = {});

// Writes the export. Throws IoError when the output cannot be written (nothing
// is left behind, an existing output is unchanged), ExportCancelled when cancelled.
// Progress: label "エクスポート中...", a position per step of messages.
void ExportMessages(const ExportSource& source, const ExportOptions& options, Progress& progress);

// ---- which messages ----
// The messages of one board (or the mails), in list order.
std::vector<size_t> BoardSelection(const MessageList& messages, size_t index_on_board);
// The message and every reply below it in the tree, in list order.
std::vector<size_t> RepliesSelection(const MessageTree& tree, size_t index);
// The whole thread the message belongs to: the message at its top below the
// board node, with all replies, in list order. A mail alone.
std::vector<size_t> ThreadSelection(const MessageTree& tree, size_t index);

}  // namespace tobrisk
