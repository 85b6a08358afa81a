// Shared by the harnesses: a private work folder per process and the quiet ports.
#pragma once

#include <unistd.h>

#include <string>
#include <string_view>

#include "capture_generator.h"
#include "fakes.h"
#include "core/reading/escape_filter.h"
#include "core/reading/log_parser.h"
#include "core/reading/message_entry.h"
#include "core/text/files.h"

namespace tobrisk::fuzz {

// A work folder (with a trailing separator) that lives as long as the process.
inline const std::string& WorkDir() {
  static const std::string dir = TrailingSeparator(testing::MakeTempDir("tobrisk-fuzz"));
  return dir;
}

inline std::string WriteInput(std::string_view name, const uint8_t* data, size_t size) {
  const std::string path = WorkDir() + std::string(name);
  testing::WriteFile(path, std::string_view(reinterpret_cast<const char*>(data), size));
  return path;
}

// The input as a capture "FUZZ0101.LOG", read as a log open reads it: its
// escape-free text written to NOESC.LOG and its messages parsed (not sorted).
struct ReadCapture {
  ReadCapture(const uint8_t* data, size_t size) : capture(WriteInput("FUZZ0101.LOG", data, size)) {
    NullProgress progress;
    CutEscapes({capture}, noesc, progress);
    ParseLog(noesc, messages, progress);
  }
  std::string capture;
  std::string noesc = WorkDir() + "NOESC.LOG";
  MessageList messages;
};

// A prompter that answers every question with the answer picked by one input byte.
class AnyPrompter final : public Prompter {
 public:
  void Error(std::string_view) override {}
  void Info(std::string_view) override {}
  Answer Confirm(std::string_view, Answer) override { return answer; }
  void Beep() override {}
  Answer answer = Answer::Yes;
};

}  // namespace tobrisk::fuzz
