#include "core/reading/work_state.h"

#include "core/ports/ports.h"
#include "core/text/files.h"
#include "core/text/io_error.h"

namespace tobrisk {
namespace {

// The six collections (and what is derived from them), in order of creation.
void EmptyCollections(WorkState& state) {
  state.nets.Clear();
  state.boards.clear();
  state.users.clear();
  state.message_tree_rest.reset();  // it reads the messages
  state.messages.Clear();
  state.writes.clear();
  state.read_marks.clear();
  state.read_marks_header.clear();
  state.message_tree.Clear();
  state.escape_free_text.reset();
}

}  // namespace

bool WorkState::CompleteMessageTree() {
  if (!message_tree_rest) return true;
  const std::unique_ptr<MessageTreeRest> rest = std::move(message_tree_rest);
  return rest->Complete(message_tree);
}

void StartUp(WorkState& state, const Ports& ports, const std::string& current_dir) {
  state.current_log_header.clear();
  LoadSettings(state.settings, *ports.store);
  state.work_dir = TrailingSeparator(current_dir);
  state.tmp_dir = TrailingSeparator(state.work_dir + "tmp");
  state.pending_count = 0;
  state.editor_busy = false;
  EmptyCollections(state);

  const std::string tmp = state.work_dir + "tmp";
  bool tmp_failed = false;
  IoError failure("", "", "");
  if (!DirectoryExists(tmp)) {
    try {
      CreateDirectory(tmp);
    } catch (const IoError& e) {
      tmp_failed = true;
      failure = e;
    }
  }
  LoadNetDefinitions(state.nets, state.work_dir, *ports.prompter);
  if (tmp_failed) throw failure;
}

void ShutDown(WorkState& state) { EmptyCollections(state); }

}  // namespace tobrisk
