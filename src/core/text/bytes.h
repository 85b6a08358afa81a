// Byte-string helpers for Shift-JIS text handled as raw bytes.
// Columns are 1-based byte columns; a full-width character counts two bytes.
#pragma once

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <charconv>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace tobrisk {

// The first `byte` in [p, end), or end. Made for lines, which are short: the
// first bytes are searched 16 at a time, longer ones go on with memchr.
const char* FindByte(const char* p, const char* end, char byte);

// Removes every leading and trailing byte whose value is 0x20 or below.
std::string_view Trim(std::string_view text);

// The bytes from a 1-based column for `count` bytes; only the bytes that exist
// when the text is shorter (possibly none).
std::string_view FieldAt(std::string_view text, size_t column, size_t count);

// True when the bytes at the 1-based column equal `marker` exactly.
bool MarkerAt(std::string_view text, size_t column, std::string_view marker);

// Walks the bytes from the 1-based column to the end: blanks (0x20) before the
// first digit are skipped, ASCII digits are collected, any other byte (a blank
// after a digit too) ends the walk.
// Returns the digits as an integer, or -1 when no digit was collected or the
// number does not fit a 32-bit signed integer.
int32_t ReadNumberAt(std::string_view text, size_t column);

// The text between the end of the first occurrence of `open` and the start of the
// first occurrence of `close`; empty when either is missing or `close` does not
// start after the end of `open`.
std::string_view TextBetween(std::string_view text, std::string_view open, std::string_view close);

// ASCII a-z upper-cased; every other byte unchanged.
std::string UpperAscii(std::string_view text);

// Decimal text of an integer ("-1", "1000").
std::string DecimalText(int64_t value);
// The same without allocating: written into `buffer`.
inline std::string_view NumberText(int64_t value, char (&buffer)[24]) {
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string_view(buffer, static_cast<size_t>(result.ptr - buffer));
}
// The same appended to `out`.
void AppendDecimal(int64_t value, std::string& out);

// Strict conversion of decimal text with an optional sign; false on anything else
// or on overflow of a 32-bit signed integer.
bool ParseDecimal(std::string_view text, int32_t& value);

// Integer percentage of done/total rounded to the nearest integer, halves to the
// even neighbour. total must be above 0.
int RoundedPercent(uint64_t done, uint64_t total);

// RoundedPercent for a running count against a fixed total, cheap enough to call
// once per line: the division only happens when the percentage changes.
class PercentTracker {
 public:
  explicit PercentTracker(uint64_t total) : total_(total) {}
  int Update(uint64_t done) {
    if (done >= next_ || done < low_) Recompute(done);
    return current_;
  }

 private:
  void Recompute(uint64_t done);
  uint64_t total_;
  uint64_t low_ = 1;  // the current percentage holds for done in [low_, next_)
  uint64_t next_ = 0;
  int current_ = 0;
};

namespace bytes_detail {

// Copies n bytes, sizeof(Word) <= n <= 2 * sizeof(Word), as two words that may overlap.
template <typename Word>
void CopyHeadAndTail(const char* from, size_t n, char* out) {
  Word head{};
  Word tail{};
  std::memcpy(&head, from, sizeof(Word));
  std::memcpy(&tail, from + n - sizeof(Word), sizeof(Word));
  std::memcpy(out, &head, sizeof(Word));
  std::memcpy(out + n - sizeof(Word), &tail, sizeof(Word));
}

}  // namespace bytes_detail

// Copies n bytes to `out` and returns the end of the copy; a short run (a
// line, a field, copied millions of times) without a library call. With
// AVX-512, glibc's memmove made each such call stall on some machines (the
// text export of long messages spent a quarter of its time in it); a long run
// pays that once.
inline char* CopyBytes(const char* from, size_t n, char* out) {
  if (n > 256) {
    std::memcpy(out, from, n);
  } else if (n >= 16) {
#if defined(__SSE2__)
    // 16-byte pieces, the last ones overlapping: the first two and last two
    // cover up to 64 bytes without a loop. The compiler turns a plain copying
    // loop into a string instruction, which is slow to start.
    auto piece = [from, out](size_t at) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + at),
                       _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + at)));
    };
    piece(0);
    piece(n - 16);
    if (n > 32) {
      piece(16);
      piece(n - 32);
      for (size_t i = 32; i + 32 < n; i += 16) {
#if defined(__GNUC__)
        __asm__("" : "+r"(i));  // keeps the loop a loop
#endif
        piece(i);
      }
    }
#else
    std::memcpy(out, from, n);
#endif
  } else if (n >= 8) {
    bytes_detail::CopyHeadAndTail<uint64_t>(from, n, out);
  } else if (n >= 4) {
    bytes_detail::CopyHeadAndTail<uint32_t>(from, n, out);
  } else {
    for (size_t i = 0; i < n; ++i) out[i] = from[i];
  }
  return out + n;
}

// Text made of many short pieces (the exports' headers and pages, tens of
// pieces per message): each piece is copied with CopyBytes after one check for
// room, without a library call per piece. Its memory only grows and is never
// filled ahead. A piece must not lie in the builder itself.
class ByteBuilder {
 public:
  void Clear() { size_ = 0; }
  size_t Size() const { return size_; }
  std::string_view View() const { return {bytes_.get(), size_}; }
  void Put(std::string_view piece) { End(CopyBytes(piece.data(), piece.size(), Room(piece.size()))); }
  void Put(char c) {
    *Room(1) = c;
    ++size_;
  }
  void PutDecimal(int64_t value) {
    char* const at = Room(20);  // "-9223372036854775808"
    End(std::to_chars(at, at + 20, value).ptr);
  }
  // Where `n` more bytes can be written; End then takes what was written.
  char* Room(size_t n) {
    if (capacity_ - size_ < n) Grow(n);
    return bytes_.get() + size_;
  }
  void End(char* end) { size_ = static_cast<size_t>(end - bytes_.get()); }

 private:
  void Grow(size_t n);
  std::unique_ptr<char[]> bytes_;
  size_t size_ = 0;
  size_t capacity_ = 0;
};

// True when `b` is the first byte of a Shift-JIS double-byte character.
inline bool IsSjisLeadByte(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

}  // namespace tobrisk
