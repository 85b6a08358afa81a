// Everything the program holds in memory between commands: the folders, the
// current log header, the pending count, the editor-busy flag, the settings and
// the six collections. Windows observe it; they never keep a second copy.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/boards/board_entry.h"
#include "core/reading/escape_free_writing.h"
#include "core/reading/message_entry.h"
#include "core/reading/message_tree.h"
#include "core/reading/read_mark_record.h"
#include "core/settings/app_settings.h"
#include "core/settings/net_definitions.h"
#include "core/text/files.h"
#include "core/writing/write_entry.h"

namespace tobrisk {

struct Ports;

struct WorkState {
  AppSettings settings;

  std::string work_dir;            // WorkDir, with a trailing separator
  std::string tmp_dir;             // TmpDir: WorkDir + "tmp" + separator
  std::string current_log_header;  // CurrentLogHeader
  int pending_count = 0;           // PendingCount: live entries of the write list
  bool editor_busy = false;        // EditorBusy

  // The six collections, in order of creation.
  NetList nets;
  BoardList boards;
  UserList users;
  MessageList messages;
  WriteList writes;
  std::vector<ReadMarkRecord> read_marks;  // the read-mark store, oldest change first
  // The log header whose .RAD the read-mark store was loaded from; empty when the
  // store belongs to no net. The store is only ever saved under this header.
  std::string read_marks_header;
  // The reply tree of the message window, rebuilt from `messages` at every log open.
  MessageTree message_tree;
  // The boards of a long list's tree still being built after its open, while
  // the window shows the first ones (BuildMessageTreeInSteps); null once the
  // tree is whole. It reads `messages`: it goes before they change.
  std::unique_ptr<MessageTreeRest> message_tree_rest;
  TreeBuildOptions tree_options;
  // The escape-free text of the open logs when it is kept in a nameless file of
  // its own rather than in WorkDir + "NOESC.LOG" (the command-line tool leaves
  // that file to the program, which may have it open); the entries' TextOffsets
  // point into it.
  std::unique_ptr<ScratchFile> escape_free_text;
  // NOESC.LOG while it is still being written after an open of logs read ahead.
  std::unique_ptr<EscapeFreeWriting> escape_free_writing;

  // Waits until NOESC.LOG holds the escape-free text before `end` (see
  // EscapeFreeWriting); throws IoError when its writing failed.
  void AwaitEscapeFreeText(uint64_t end = EscapeFreeWriting::kAll) const {
    if (escape_free_writing) escape_free_writing->AwaitBefore(end);
  }

  std::string WorkFile(std::string_view name) const { return work_dir + std::string(name); }

  // Makes message_tree whole, waiting for its rest. True when the nodes it had
  // kept their places (the others added after them), false when it was built
  // anew. Rethrows what failed the rest's build; the tree stays as it was then.
  bool CompleteMessageTree();
};

// The start-up steps of the main window that concern the work state, in order:
// settings loaded, WorkDir from `current_dir`, TmpDir fixed and created when
// missing, counters reset, collections emptied, nets loaded from NET.TDT.
// A failure to create the tmp folder throws IoError after WorkDir and TmpDir are
// set; the caller reports it and continues without the folder.
void StartUp(WorkState& state, const Ports& ports, const std::string& current_dir);

// Releases the collections (shutdown).
void ShutDown(WorkState& state);

}  // namespace tobrisk
