// The composition file: the plain text file the user edits for one message,
// named after the moment the composition starts and kept in TmpDir. Line 1 is
// the title; everything below it is the body.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/ports/clock.h"

namespace tobrisk {

struct WorkState;

// The title line every composition file starts with.
const std::string& TitlePlaceholder();

// "MMDDhhmmss.TXT": month, day, hour, minute, second, two digits each.
std::string CompositionFileName(const LocalTime& now);

// The file name for a composition starting `now`, made unique among the write
// list's entries: when an entry already uses the name (two compositions within
// one second, or a fixed clock), the next free second is taken, so no written
// message's file is ever overwritten by another.
std::string UnusedCompositionFileName(const WorkState& state, LocalTime now);

// Takes the composition file for a composition starting `now`: the name of
// UnusedCompositionFileName, moved on second by second while a file of that name
// already exists in TmpDir, created empty and exclusively (O_EXCL), so that two
// processes on one work folder (two windows, tobrisk-cli quote) never share one
// file and no earlier message's file is ever overwritten. Returns the name; the
// caller fills it with PrepareBlankFile or PrepareQuotedFile, or gives it back
// with ReleaseCompositionFile when that fails. Throws IoError (TmpDir missing or
// not writable).
std::string ReserveCompositionFile(const WorkState& state, LocalTime now);

// Removes a reserved composition file that was never filled.
void ReleaseCompositionFile(const WorkState& state, const std::string& name) noexcept;

// What is written above the quote of a reply.
enum class HeaderKind { None = 0, Res = 1, MovedRes = 2 };

// Creates (or replaces) TmpDir + name holding the title placeholder alone.
// Throws IoError.
void PrepareBlankFile(const WorkState& state, const std::string& name);

// Creates (or replaces) TmpDir + name for a reply to the message at
// `message_index`: the title placeholder, the expanded and aligned header of
// `kind` followed by an empty line (when its template is not empty), then the
// message text read from WorkDir + "NOESC.LOG" at `text_offset`, each line
// prefixed with QuotationMarks, up to the next header or board line. Throws
// IoError (NOESC.LOG missing, TmpDir not writable); the file is then left as it was.
void PrepareQuotedFile(const WorkState& state, const std::string& name, uint64_t text_offset, size_t message_index,
                       HeaderKind kind);

// The line with its leading blanks cut as CutSpace and CutTab ask (0 = cut):
// half-width then full-width blanks, then tabs, the whole sequence twice.
std::string_view StripLeadingBlanks(std::string_view line, int cut_space, int cut_tab);

// True when a quote ends before this line: the next message header, a board
// header, the host's automatic notice or the mail receipt line.
bool EndsQuote(std::string_view line);

// The first line of the file (CR LF, CR or LF line ends), or an empty text for
// an empty file. Throws IoError when the file cannot be read.
std::string ReadFirstLine(const std::string& path);

// What a composition file that comes back from an editor holds, decided in this
// order:
// - valid UTF-8 with at least one multi-byte character: UTF-8, converted to
//   Shift-JIS (a leading byte-order mark is dropped). Japanese in UTF-8 often
//   also reads as well-formed Shift-JIS pairs, while real Shift-JIS Japanese is
//   almost never valid UTF-8, so UTF-8 is tried first;
// - otherwise valid Shift-JIS: used byte for byte;
// - otherwise neither: refused.
// UTF-8 holding a character that has no Shift-JIS form is refused as well,
// naming the line of the first such character; it is never written as "?".
struct CompositionText {
  enum class Kind { ShiftJis, Utf8, Neither, Unmappable };
  Kind kind = Kind::Neither;
  std::string sjis;     // the text to use, Shift-JIS; empty when refused
  size_t bad_line = 0;  // Unmappable: the 1-based line of the character (CR LF, CR or LF end a line)
  char32_t bad_char = 0;
  bool Usable() const { return kind == Kind::ShiftJis || kind == Kind::Utf8; }
};
CompositionText DecideCompositionText(std::string_view bytes);

// DecideCompositionText on the whole file. Throws IoError when it cannot be read.
CompositionText ReadCompositionFile(const std::string& path);

// Why a composition file was refused, naming it, Shift-JIS. Callers add what
// happens next ("スキップします。", ...). Empty for a usable text.
std::string CompositionRefusalText(const std::string& temp_file_name, const CompositionText& text);

}  // namespace tobrisk
