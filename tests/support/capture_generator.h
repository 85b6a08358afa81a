// Generates captures shaped like the host's screens (Shift-JIS bytes), for tests
// and benchmarks: the main menu, board headers of every form, new and reply
// headers, mail screens with single and double mail headers, FSW and mail-sending
// screens, terminal escape sequences, backspaces and odd line ends.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tobrisk::testing {

struct CaptureOptions {
  uint32_t seed = 1;
  size_t boards = 8;               // boards visited (BBS, CUG, IBBS, IBBS listed among BBS)
  size_t messages_per_board = 20;  // message headers per board visit
  size_t mails = 10;               // mail headers
  double reply_share = 0.5;        // share of replies among board messages
  double reread_share = 0.05;      // share of board visits repeated later (messages read twice)
  size_t body_lines = 3;           // text lines per message
  bool escapes = true;             // colour and cursor sequences, backspaces
  bool odd_line_ends = true;       // some lines end in CR alone; some carry a lone LF
  bool ctrl_z = false;             // end with Ctrl-Z followed by junk
  size_t target_bytes = 0;         // when above 0: repeat sessions until this size is reached
  double missing_share = 0.0;      // share of message headers whose message or writer number is blank
  double escape_share = 0.15;      // share of lines wrapped in a colour sequence (when escapes is set)
  size_t body_words = 2;           // words per text line
  bool mail_receipts = false;      // the host's "● 受け取りました。" line after each mail's text
};

// The options of the benchmark captures (gen-capture and bench/): about 3,000
// messages per MB, thousands of mails (some doubled, each closed by the host's
// receipt line), re-read boards, every board form, escapes and odd line ends.
CaptureOptions BenchCaptureOptions(double megabytes, uint32_t seed = 1);

// Short messages: about 4,800 messages per MB of about 210 bytes (a header and
// three text lines of about 37 bytes), 40% replies, 7% mails, colour sequences
// on a few lines.
CaptureOptions ShortMessageCaptureOptions(double megabytes, uint32_t seed = 1);

// The benchmark shapes by name: "long" (BenchCaptureOptions, the default) and
// "short" (ShortMessageCaptureOptions). False for an unknown name.
bool CaptureOptionsForShape(std::string_view shape, double megabytes, uint32_t seed, CaptureOptions& options);

// A whole capture as the terminal program stored it.
std::string GenerateCapture(const CaptureOptions& options);

// Writes bytes to a file (throws on failure).
void WriteFile(const std::string& path, std::string_view bytes);

// A fresh empty directory under the system's temporary folder.
std::string MakeTempDir(std::string_view prefix = "tobrisk");

// Removes a directory tree (best effort).
void RemoveTree(const std::string& path);

// While it lives, the process's files stop growing at `bytes`, as on a full
// disk: a write beyond fails (EFBIG) instead of ending the process.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(uint64_t bytes);
  ~FileSizeLimit();
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  uint64_t saved_current_ = 0;
  void (*saved_handler_)(int) = nullptr;
};

// Line builders with the host's exact byte columns (Shift-JIS in, Shift-JIS out).
std::string MainMenuLine();
std::string BbsHeader(int list_no, std::string_view name_sjis);
std::string IbbsAmongBbsHeader(int list_no, int ibbs_no, std::string_view name_sjis);
std::string CugHeader(int no, std::string_view name_sjis);
std::string IbbsHeader(int no, std::string_view name_sjis);
std::string FswLine();
std::string MailScreenLine();
std::string MailSendLine();
std::string NewHeader(int message_no, std::string_view title, int writer_id, std::string_view handle,
                      std::string_view date);
// A reply is two lines: the "#Fc." line with "res:" and the line with the fields.
std::string ResHeaderLine(int message_no, int res_to_no);
std::string ResFieldsLine(std::string_view title, int writer_id, std::string_view handle, std::string_view date);
std::string MailHeader(std::string_view title, int writer_id, std::string_view handle, std::string_view date);

// Pads or cuts to exactly `width` bytes with blanks on the right.
std::string PadRight(std::string_view text, size_t width);

}  // namespace tobrisk::testing
