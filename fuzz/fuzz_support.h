// Shared by the harnesses: a private work folder per process and the quiet ports.
#pragma once

#include <unistd.h>

#include <string>
#include <string_view>

#include "capture_generator.h"
#include "fakes.h"
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
