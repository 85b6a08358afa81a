// A work folder with a tmp folder, the default settings, one net and fakes of
// the ports, shared by the writing tests.
#pragma once

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "capture_generator.h"
#include "fakes.h"
#include "core/reading/work_state.h"
#include "core/text/files.h"
#include "core/text/sjis.h"
#include "core/writing/writing_view.h"

namespace tobrisk::testing {

// Runs a callback in place of the editor, or refuses to start.
class FakeEditor final : public EditorRunner {
 public:
  bool Run(const std::string& editor, const std::string& file, std::string& error) override {
    calls.push_back({editor, file});
    if (!starts) {
      error = "cannot start";
      return false;
    }
    if (edit) edit(file);
    return true;
  }
  struct Call {
    std::string editor;
    std::string file;
  };
  std::vector<Call> calls;
  bool starts = true;
  std::function<void(const std::string& file)> edit;
};

// Records every window-facing step as a short text, in order.
class RecordingView final : public WritingView {
 public:
  int ChooseMoveBoard() override {
    log.push_back("choose");
    return chosen_seq_no;
  }
  void SetNetSelectorEnabled(bool enabled) override { log.push_back(enabled ? "net on" : "net off"); }
  void ShowRepliedMark(size_t message_index, ReplyOrigin origin) override {
    log.push_back("mark " + std::to_string(message_index) + (origin == ReplyOrigin::List ? " list" : " tree"));
  }
  void AddWriteRow(size_t i) override { log.push_back("add " + std::to_string(i)); }
  void RefreshWriteRow(size_t i) override { log.push_back("refresh " + std::to_string(i)); }
  void ShowDeletedMark(size_t i, bool deleted) override {
    log.push_back((deleted ? "deleted " : "revived ") + std::to_string(i));
  }
  void ClearWriteGrid() override { log.push_back("clear"); }
  void ShowWrittenMessage(size_t i) override { log.push_back("show " + std::to_string(i)); }
  void SetUpTextEnabled(bool enabled) override { log.push_back(enabled ? "uptext on" : "uptext off"); }
  void ShowPlainMessage(std::string_view text) override { log.push_back("plain " + std::string(text)); }

  std::vector<std::string> log;
  int chosen_seq_no = -1;
};

// The lines, each followed by CR LF.
inline std::string Lines(std::initializer_list<std::string> lines) {
  std::string out;
  for (const auto& l : lines) out += l + "\r\n";
  return out;
}

struct WritingFixture {
  WritingFixture() {
    state.settings = DefaultSettings();
    state.settings.default_net = 0;
    state.settings.editor = "/usr/bin/editor";
    state.settings.editor_encoding = kEditorShiftJis;
    state.settings.up_dir = root + "/up";
    state.work_dir = root + "/";
    state.tmp_dir = root + "/tmp/";
    CreateDirectory(root + "/tmp");
    CreateDirectory(root + "/up");
    state.nets.Append({"ABCD", Sjis("テストネット"), Sjis("たろう"), "UPL"});
    ports.prompter = &prompter;
    ports.clock = &clock;
    ports.editor = &editor;
  }
  ~WritingFixture() { RemoveTree(root); }
  WritingFixture(const WritingFixture&) = delete;
  WritingFixture& operator=(const WritingFixture&) = delete;

  // Appends a message entry (Shift-JIS texts) and returns its index.
  size_t AddMessage(BoardType type, int32_t board_no, std::string_view board_name, int32_t message_no,
                    int32_t writer_id, std::string_view handle, uint64_t text_offset, std::string_view mark = {}) {
    MessageEntry e;
    e.context = state.messages.Context({.board_list_no = board_no,
                                        .board_no = board_no,
                                        .board_name = state.messages.Intern(board_name),
                                        .mark = state.messages.Intern(mark),
                                        .board_type = type,
                                        .kind = type == BoardType::MAIL ? MessageKind::Mail : MessageKind::New});
    e.message_no = message_no;
    e.writer_id = writer_id;
    e.writer_handle = handle;
    e.title.Assign(Sjis("件名"));
    e.text_offset = text_offset;
    state.messages.Append(e);
    return state.messages.Size() - 1;
  }

  std::string TmpFile(const std::string& name) const { return state.tmp_dir + name; }
  std::string Read(const std::string& path) const { return ReadWholeFile(path); }

  std::string root = MakeTempDir("tobrisk-writing");
  WorkState state;
  FakePrompter prompter;
  FixedClock clock;
  FakeEditor editor;
  RecordingView view;
  Ports ports;
};

}  // namespace tobrisk::testing
