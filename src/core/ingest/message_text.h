// The text of one message, read again from NOESC.LOG at its TextOffset.
#pragma once

#include <cstdint>
#include <string>

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

}  // namespace tobrisk
