#include "bad_input.h"

#include <random>

#include "capture_generator.h"

namespace tobrisk::testing {

std::string JunkBytes(size_t size, uint32_t seed) {
  std::mt19937 rng(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(rng());
  return bytes;
}

const std::vector<BadContent>& BadContents() {
  static const std::vector<BadContent> contents = {
      {"empty file", ""},
      {"binary junk", JunkBytes(256 * 1024, 7)},
      {"NUL bytes", std::string(4096, '\0') + std::string("ABCD\0\t\0\t\0\t\0\r\n\0", 14)},
      {"only CRs", std::string(10000, '\r')},
      {"only LFs", std::string(10000, '\n')},
      {"truncated Shift-JIS", "ABCD\t\x82\t\x81\t\x82\r\n\x82\r\nBBS\t1\t2\t\x81"},
      {"20-digit numbers", "12345678901234567890\t99999999999999999999\t-12345678901234567890\t1\r\n"},
      {"too few TABs", "ABCD\r\nBBS\t1\r\n1\t2\r\n\t\r\n"},
      {"too many TABs", "ABCD\tn\th\tu\tx\ty\r\nBBS\t1\t2\t\t\t\x81\x9b\r\n"},
      {"Ctrl-Z then junk", "\x1a" + JunkBytes(4096, 8)},
  };
  return contents;
}

void WriteHugeLine(const std::string& path) {
  std::string line = "ABCD\tBBS\t1\t";
  line.append(kHugeLineSize - line.size() - 1, 'x');
  line.push_back('\x82');
  WriteFile(path, line);
}

}  // namespace tobrisk::testing
