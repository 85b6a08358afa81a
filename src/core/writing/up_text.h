// Up-text output: every live entry of the write list becomes one block of the
// upload file (UpFile) that the member sends to the host.
#pragma once

#include <string>
#include <string_view>

#include "core/ports/clock.h"
#include "core/writing/write_entry.h"

namespace tobrisk {

struct Ports;
struct WorkState;
class WritingView;

// UpDir (with a separator) + UpFileHeader of net DefaultNet + "MMDD.TXT".
// A DefaultNet that names no net gives no prefix. An empty UpDir (the default)
// is the work folder.
std::string UpFilePath(const WorkState& state, const LocalTime& now);

// The UpFile's block of one entry, with the footer expanded now. `text` is its
// composition file as read back (Shift-JIS, title line first).
std::string UpFileBlock(const WorkState& state, const WriteEntry& entry, std::string_view text, Clock& clock);

// Writes the UpFile from the write list. When the file exists, asks whether to
// recreate it (Yes), append to it (No, the default answer: it loses nothing) or
// stop (Cancel: returns false, nothing written). Entries whose composition file
// is missing, or is neither Shift-JIS nor UTF-8 that converts to it, are reported
// and skipped. When no block at all could be built, that is reported and the
// output fails (returns false) with the UpFile untouched. The new content is
// built whole before the file is touched, so a failure (IoError: folder
// missing, disk full, unreadable composition file) leaves the UpFile as it was.
// The read-append-replace runs under the UpDir's FolderLock, so concurrent
// writers of one UpFile lose no block. Changes neither the write list nor
// PendingCount. `written_path` receives the UpFile's path on success.
bool WriteUpFile(const WorkState& state, const Ports& ports, std::string* written_path = nullptr);

// The up-text command: WriteUpFile, then on success the completion box and
// ClearWriteList. Returns whether the output completed.
bool OutputUpText(WorkState& state, const Ports& ports, WritingView& view);

// The clean-up after a successful output: nothing pending, the write list and
// grid emptied, the up-text command disabled, the net selector enabled again.
void ClearWriteList(WorkState& state, WritingView& view);

}  // namespace tobrisk
