// The text of one message, read again from NOESC.LOG at its TextOffset.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "text/line_reader.h"  // InMemory

namespace tobrisk {

struct WorkState;

struct MessageText {
  // Every line of the text, each followed by CR LF: exactly what the text view shows.
  std::string bytes;
  // The offset lies beyond the end of the file (the file changed since it was
  // parsed): `bytes` is empty.
  bool offset_past_end = false;
};

// Reads lines from `offset` until end of file or a line that begins with "#Fc.",
// "● [", "[ AUTO ]", "● 受け取り" or "[ Ｍail (" (that line is not part of the
// text). Throws IoError when the file cannot be read.
MessageText ReadMessageText(const std::string& noesc_path, uint64_t offset);

// The text of message `index` (0-based) of state.messages from WorkDir + "NOESC.LOG".
MessageText ReadMessageText(const WorkState& state, size_t index);

// Reads the texts of many messages, one after the other, keeping the file open
// and a window of it in memory: neighbouring texts cost no further read. Gives
// exactly what ReadMessageText gives (the functions above are made of it).
class MessageTextReader {
 public:
  explicit MessageTextReader(const WorkState& state);  // state.messages in WorkDir + "NOESC.LOG"
  explicit MessageTextReader(std::string noesc_path);
  // The escape-free text held in memory instead of a file (it must outlive the reader).
  MessageTextReader(InMemory, std::string_view text);
  ~MessageTextReader();
  MessageTextReader(const MessageTextReader&) = delete;
  MessageTextReader& operator=(const MessageTextReader&) = delete;

  MessageText Read(uint64_t offset);
  MessageText Text(size_t index);  // needs the WorkState constructor

 private:
  void Open();
  bool TryCut(uint64_t offset, MessageText& result) const;  // false: the window ends inside the text
  void Fill(uint64_t offset, size_t size);

  const WorkState* state_ = nullptr;
  std::string path_;
  std::FILE* file_ = nullptr;
  uint64_t size_ = 0;
  std::vector<char> window_;
  uint64_t window_start_ = 0;
  size_t window_size_ = 0;  // valid bytes in window_
  std::string_view memory_;  // the whole text when it is held in memory
  bool in_memory_ = false;
};

}  // namespace tobrisk
