// Damaged file contents that every reader of the program is fed in the
// bad-input tests: each small, each a way a real file goes wrong.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tobrisk::testing {

struct BadContent {
  std::string name;  // "empty file", "binary junk", ...
  std::string bytes;
};

// Empty, binary junk, NUL bytes, only CRs, only LFs, a Shift-JIS character cut
// at the end of a line, 20-digit numbers, too few and too many TABs, a Ctrl-Z
// followed by junk.
const std::vector<BadContent>& BadContents();

// Deterministic pseudo-random bytes.
std::string JunkBytes(size_t size, uint32_t seed);

// The size of the enormous single line the tests generate.
inline constexpr size_t kHugeLineSize = 50u << 20;

// Writes one line of kHugeLineSize bytes to `path`, shaped like a record
// ("ABCD", TAB, "BBS", TAB, "1", TAB, then "x"...) and ending in the first half
// of a Shift-JIS character, with no line end.
void WriteHugeLine(const std::string& path);
inline constexpr size_t kHugeLineHead = 11;  // "ABCD\tBBS\t1\t"

}  // namespace tobrisk::testing
