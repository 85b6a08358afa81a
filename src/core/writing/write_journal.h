// The write list's journal: a copy of the write list kept in TmpDir beside the
// composition files, rewritten (atomically) at every change of the list. A run
// that ends without the up-text output (a signal, a crash, a lost display)
// leaves its messages in the journal, and the next start offers them back.
//
// The file is Shift-JIS text with CR LF line ends: the line "Tobrisk write
// list 1", the line "NET" TAB LogHeader (the net the messages are written for:
// the net at DefaultNet), then one line per WriteEntry, its nine fields in field
// order joined by TAB. In fields, bytes below 0x20 and "%" are written as "%"
// and two hex digits, so a title holding a TAB or a line end stays one field.
#pragma once

#include <optional>
#include <string>

#include "writing/write_entry.h"

namespace tobrisk {

struct WorkState;

struct WriteJournal {
  std::string log_header;  // the net of the messages
  WriteList entries;
};

inline constexpr std::string_view kWriteJournalName = "WRITES.JNL";

std::string WriteJournalPath(const std::string& tmp_dir);

// The journal's bytes for a write list of the net `log_header`.
std::string WriteJournalText(const WriteJournal& journal);
// Reads journal bytes. nullopt when they are not a journal (no first line);
// lines that do not hold nine fields are skipped.
std::optional<WriteJournal> ParseWriteJournal(std::string_view text);

// Rewrites the journal from state.writes for the net at DefaultNet, atomically;
// an empty write list removes it. Throws IoError.
void SaveWriteJournal(const WorkState& state);
// The journal in state.tmp_dir, or nullopt when there is none. Throws IoError.
std::optional<WriteJournal> LoadWriteJournal(const std::string& tmp_dir);
// Removes the journal (nothing when there is none). Throws IoError.
void RemoveWriteJournal(const std::string& tmp_dir);

// Puts journalled entries back into an empty write list: SerialNo renumbered
// 1, 2, ..., PendingCount the live entries, DefaultNet the journal's net.
// Returns that net's index; -1 (and nothing changed) when no net of state.nets
// has the journal's LogHeader.
int RestoreWriteList(WorkState& state, const WriteJournal& journal);

// "前回の書き込みが N 件残っています。..." asked at start, and the report when
// the journal's net is not defined.
std::string PreviousWritesQuestion(int live_count);
std::string PreviousWritesNetMissing(const std::string& log_header, int live_count);

}  // namespace tobrisk
