// Recognition of the host's board list and member list screens in an
// escape-free capture, and the byte columns taken from their rows.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "core/boards/board_entry.h"

namespace tobrisk {

class LineReader;

// A board or member number that is not a decimal integer. what() is the
// Shift-JIS message "'<text>' は整数ではありません".
class ConversionError : public std::runtime_error {
 public:
  explicit ConversionError(std::string_view offending_text);
  const std::string& Text() const { return text_; }

 private:
  std::string text_;
};

// The running numbers of one import: both start at 0 and go on across every
// section, so that SeqNo equals the position in the list plus 1.
struct ImportCounters {
  int board_counter = 0;   // BoardCounter
  int member_counter = 0;  // MemberCounter
};

// Every full-width digit (０..９, 0x82 0x4F..0x82 0x58) becomes its ASCII digit.
// A lead byte of any other double-byte character is copied alone and its trail
// byte is looked at on its own.
std::string FullWidthDigitsToAscii(std::string_view text);

// The text without its leading half-width blanks.
std::string_view CutLeadingSpaces(std::string_view text);

// Leading half-width blanks, an optional sign and decimal digits, nothing else;
// throws ConversionError with `text` otherwise (an empty text included).
int32_t ConvertListNumber(std::string_view text);

// Each parser is given the reader positioned just after its start line, reads on
// to the section's end line (consumed) or to the end of the file, and appends to
// the list. ConversionError stops it; the rows appended so far stay.
//
// A BBS row whose type bytes are none of "BBS", "IBB", "CUG" is skipped.
void ParseBbsBoardList(LineReader& reader, BoardList& boards, ImportCounters& counters);
// `get_ibbs_list` 0 leaves out the rows marked "Skip"; any other value keeps them.
void ParseIbbsBoardList(LineReader& reader, BoardList& boards, ImportCounters& counters, int32_t get_ibbs_list);
void ParseMemberList(LineReader& reader, UserList& users, ImportCounters& counters);

// Reads the whole capture: every BBS, IBBS and member section found is parsed
// and its rows appended (the counters go on across sections).
void ParseBoardUserLists(LineReader& reader, BoardList& boards, UserList& users, ImportCounters& counters,
                         int32_t get_ibbs_list);

}  // namespace tobrisk
