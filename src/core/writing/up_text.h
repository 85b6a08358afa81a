// Up-text output: every live entry of the write list becomes one block of the
// upload file (UpFile) that the member sends to the host.
#pragma once

#include <string>

#include "ports/clock.h"
#include "writing/write_entry.h"

namespace tobrisk {

struct Ports;
struct WorkState;
class WritingView;

// UpDir (with a separator) + UpFileHeader of net DefaultNet + "MMDD.TXT".
// A DefaultNet that names no net gives no prefix.
std::string UpFilePath(const WorkState& state, const LocalTime& now);

// The UpFile's block of one entry, from its composition file in TmpDir, with the
// footer expanded now. Throws IoError when the composition file cannot be read.
std::string UpFileBlock(const WorkState& state, const WriteEntry& entry, Clock& clock);

// Writes the UpFile from the write list. When the file exists, asks whether to
// recreate it (Yes), append to it (No) or stop (Cancel: returns false, nothing
// written). Entries whose composition file is missing are reported and skipped.
// The new content is built whole before the file is touched, so a failure
// (IoError: folder missing, disk full, unreadable composition file) leaves the
// UpFile as it was. Changes neither the write list nor PendingCount.
// `written_path` receives the UpFile's path on success.
bool WriteUpFile(const WorkState& state, const Ports& ports, std::string* written_path = nullptr);

// The up-text command: WriteUpFile, then on success the completion box and
// ClearWriteList. Returns whether the output completed.
bool OutputUpText(WorkState& state, const Ports& ports, WritingView& view);

// The clean-up after a successful output: nothing pending, the write list and
// grid emptied, the up-text command disabled, the net selector enabled again.
void ClearWriteList(WorkState& state, WritingView& view);

}  // namespace tobrisk
