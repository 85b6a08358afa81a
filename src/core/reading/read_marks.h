// The read-mark store of the current net and its file WorkDir + LogHeader + ".RAD":
// one record per line, BoardType TAB BoardNo TAB MessageNo TAB Mark, CR LF,
// oldest change first.
//
// The store remembers the log header it was loaded for (WorkState::read_marks_header)
// and is only ever written back under that header, never for a header that names
// no net: callers cannot save one net's marks over another's.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/reading/read_mark_record.h"

namespace tobrisk {

// The marks a board message can carry (Shift-JIS); an unread message has none.
inline constexpr std::string_view kReadMark = "\x81\x9B";     // "○" read
inline constexpr std::string_view kRepliedMark = "\x81\x9C";  // "●" replied
inline constexpr std::string_view kCheckedMark = "\x81\x9A";  // "★" checked

struct WorkState;
class MessageList;
class Prompter;

std::string ReadMarkFilePath(const std::string& work_dir, std::string_view log_header);

// Empties the store and loads WorkDir + log_header + ".RAD" when that file
// exists. The store then belongs to `log_header` when it names a net of
// state.nets, otherwise to no net (and will not be saved). A file that cannot be
// read to its end is reported through the prompter: the records read so far
// stay in the store, which then belongs to no net, so that it is never saved
// over the file it only partly holds.
void LoadReadMarks(WorkState& state, std::string_view log_header, Prompter& prompter);

// Writes the store to the .RAD of the header it belongs to; nothing happens when
// it belongs to no net. An empty store empties an existing file (nothing is
// created when there is none). Before writing, the oldest records are dropped,
// in memory too, until at most ReadTypeMax remain (all of them when ReadTypeMax
// is 0 or less). The file is replaced atomically. Throws IoError.
void SaveReadMarks(WorkState& state);

// Sets the mark of message `index`: the store's first record with the message's
// (BoardType, BoardNo, MessageNo) is removed, a record with `mark` is appended
// unless `mark` is empty, and the entry's Mark becomes `mark`.
void SetReadMark(WorkState& state, size_t index, std::string_view mark);

// Gives a freshly parsed list its marks: every mail "-", then each entry the mark
// of the first record with its (BoardType, BoardNo, MessageNo), compared as text.
// Returns whether the mark of a board message changed.
bool ApplyReadMarks(MessageList& messages, const std::vector<ReadMarkRecord>& store);

// The file format on its own. A line with fewer than three TABs (an empty line
// too) holds no complete record and is skipped; text between a fourth or later
// TAB and the next is ignored, the text after the last TAB is the mark.
void ReadReadMarkFile(const std::string& path, std::vector<ReadMarkRecord>& records);
void WriteReadMarkFile(const std::string& path, const std::vector<ReadMarkRecord>& records);

}  // namespace tobrisk
