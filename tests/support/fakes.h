// Test doubles of the core ports, shared by every suite.
#pragma once

#include <deque>
#include <map>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "core/ports/ports.h"

namespace tobrisk::testing {

// Records every box and beep; Confirm takes answers from a queue and fails the
// test (throws) when no answer was queued.
class FakePrompter final : public Prompter {
 public:
  struct Box {
    std::string kind;  // "error", "info", "confirm"
    std::string text;  // Shift-JIS
  };
  void Error(std::string_view text) override { boxes.push_back({"error", std::string(text)}); }
  void Info(std::string_view text) override { boxes.push_back({"info", std::string(text)}); }
  Answer Confirm(std::string_view text, Answer default_answer = Answer::Yes) override {
    boxes.push_back({"confirm", std::string(text)});
    defaults.push_back(default_answer);
    if (answers.empty()) throw std::logic_error("unanswered confirmation: " + std::string(text));
    Answer a = answers.front();
    answers.pop_front();
    return a;
  }
  void Beep() override { ++beeps; }

  std::vector<Box> boxes;
  std::deque<Answer> answers;
  std::vector<Answer> defaults;  // the default answer of every confirmation, in order
  int beeps = 0;
};

// Remembers every call, in order.
class FakeProgress final : public Progress {
 public:
  void Show() override { visible = true; }
  void Hide() override { visible = false; }
  void SetLabel(std::string_view sjis) override { labels.emplace_back(sjis); }
  void Step(int position) override { positions.push_back(position); }

  bool visible = false;
  std::vector<std::string> labels;
  std::vector<int> positions;
};

class FixedClock final : public Clock {
 public:
  explicit FixedClock(LocalTime t = {1997, 3, 5, 12, 34, 56}) : now(t) {}
  LocalTime Now() override { return now; }
  LocalTime now;
};

// An in-memory settings store.
class MemoryStore final : public SettingsStore {
 public:
  std::optional<std::string> Read(std::string_view section, std::string_view name) override {
    auto it = values.find({std::string(section), std::string(name)});
    if (it == values.end()) return std::nullopt;
    return it->second;
  }
  void Write(std::string_view section, std::string_view name, std::string_view value) override {
    values[{std::string(section), std::string(name)}] = std::string(value);
  }
  void Flush() override { ++flushes; }

  std::map<std::pair<std::string, std::string>, std::string> values;
  int flushes = 0;
};

}  // namespace tobrisk::testing
