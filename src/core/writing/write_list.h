// The write list's own commands: deleting and reviving an entry, the pending
// count, and the text of an entry's composition file for the view pane.
#pragma once

#include <string>

#include "core/writing/write_entry.h"

namespace tobrisk {

struct WorkState;
class WritingView;

// Marks the entry deleted ("★" in column "削"), one fewer pending; the up-text
// command is disabled when none is left. An entry already deleted is left alone.
void DeleteMessage(WorkState& state, WritingView& view, size_t write_index);

// Takes the deletion mark back, one more pending, the up-text command enabled.
// An entry that is not deleted is left alone.
void ReversMessage(WorkState& state, WritingView& view, size_t write_index);

// The number of live entries.
int CountLiveEntries(const WriteList& writes);

// The entry's whole composition file, title line included, every line followed
// by CR LF (the file's own line ends may be CR LF, CR or LF). Throws IoError.
std::string WrittenMessageText(const WorkState& state, size_t write_index);

}  // namespace tobrisk
