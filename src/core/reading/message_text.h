// The text of one message, read again from the escape-free text of the open
// logs (NOESC.LOG) at its TextOffset, as the text view shows it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/text/files.h"

namespace tobrisk {

struct WorkState;
class LineReader;

struct MessageText {
  // Every line of the text, each followed by CR LF (or the reader's line end):
  // exactly what the text view shows (see AppendShownLine).
  std::string bytes;
  // The offset lies beyond the end of the file (the file changed since it was
  // parsed): `bytes` is empty.
  bool offset_past_end = false;
  // Read with a stop: the text goes on at the stop (`bytes` holds its lines
  // before it), rather than ending before it.
  bool reached_stop = false;
};

// Appends a line as it is shown: without its control bytes other than TAB (NUL,
// BEL, a LF inside the line, DEL ...), which would show as boxes or break the
// line. The files keep them; only what is shown leaves them out.
void AppendShownLine(std::string_view line, std::string& out);
// The same written to `out`, which has room for the line; returns the end of what it wrote.
char* PutShownLine(std::string_view line, char* out);

// Reads lines from `offset` until end of file or a line that begins with "#Fc.",
// "● [", "[ AUTO ]", "● 受け取り" or "[ Ｍail (" (that line is not part of the
// text). Throws IoError when the file cannot be read.
MessageText ReadMessageText(const std::string& noesc_path, uint64_t offset);

// The text of message `index` (0-based) of state.messages, from the escape-free
// text of the open logs.
MessageText ReadMessageText(const WorkState& state, size_t index);

// A reader of the escape-free text of the open logs from `offset` on: the
// temporary file state.escape_free_text when there is one, otherwise WorkDir +
// "NOESC.LOG". Throws IoError when the file cannot be opened.
std::unique_ptr<LineReader> OpenEscapeFreeText(const WorkState& state, uint64_t offset);

// Reads the texts of many messages, one after the other, keeping the file open
// and a window of it in memory: neighbouring texts cost no further read. Gives
// exactly what ReadMessageText gives (the functions above are made of it).
class MessageTextReader {
 public:
  // state.messages in the escape-free text of the open logs: state.escape_free_text, or WorkDir + "NOESC.LOG".
  explicit MessageTextReader(const WorkState& state);
  explicit MessageTextReader(std::string noesc_path);
  // The escape-free text in a temporary file (it must outlive the reader).
  explicit MessageTextReader(const ScratchFile& file);
  MessageTextReader(const MessageTextReader&) = delete;
  MessageTextReader& operator=(const MessageTextReader&) = delete;

  static constexpr uint64_t kNoStop = ~uint64_t{0};

  MessageText Read(uint64_t offset);
  // The same, but a text that goes on at `stop` (the start of a later line) is
  // cut there: its lines before `stop`, with reached_stop set. Texts of one mail
  // box run on to its end, so each one's text is the lines up to the next one's
  // start followed by the next one's text. When the text is not in memory yet,
  // the bytes up to `read_to` are read with it: a caller that knows which texts
  // come next has them read at once.
  MessageText Read(uint64_t offset, uint64_t stop, uint64_t read_to = 0);
  // The same into `result`, whose buffer is reused.
  void Read(uint64_t offset, uint64_t stop, uint64_t read_to, MessageText& result);
  // True when the bytes from `offset` to `end` are in memory.
  bool Holds(uint64_t offset, uint64_t end) const;
  MessageText Text(size_t index);  // needs the WorkState constructor
  // What follows each line of a text: CR LF, as the text view shows it, unless
  // set otherwise (the export writes LF).
  void SetLineEnd(std::string_view line_end) { line_end_ = line_end; }

 private:
  void Open();
  // A stretch of the file in memory. A few are kept: the list's order goes
  // back and forth between a few places of the file.
  struct Window {
    std::vector<char> bytes;
    uint64_t start = 0;
    size_t size = 0;    // valid bytes
    uint64_t used = 0;  // when it was last used, for replacing the oldest
  };
  static constexpr size_t kWindows = 4;
  // false: no window holds the text whole
  bool TryCut(uint64_t offset, uint64_t stop, MessageText& result);
  bool TryCutIn(Window& window, uint64_t offset, uint64_t stop, MessageText& result) const;
  Window& Fill(uint64_t offset, size_t size);

  const WorkState* state_ = nullptr;
  std::string path_;  // when the text is no temporary file
  FileHandle file_;
  const ScratchFile* scratch_ = nullptr;
  uint64_t size_ = 0;
  Window windows_[kWindows];
  Window* last_ = nullptr;  // the window used last
  uint64_t uses_ = 0;
  std::string line_end_ = "\r\n";
};

}  // namespace tobrisk
