#include "core/text/bytes.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <charconv>
#include <cstring>
#include <limits>
#include <utility>

namespace tobrisk {

#if defined(__SSE2__)
namespace {
// Bit i set when byte i of the 16 at `p` is above 0x20 (bytes from 0x80 up included).
inline unsigned KeptBytes(const char* p) {
  const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpgt_epi8(bytes, _mm_set1_epi8(0x20))) |
                               _mm_movemask_epi8(bytes));
}
}  // namespace
#endif

const char* FindByte(const char* p, const char* end, char byte) {
#if defined(__SSE2__)
  const __m128i wanted = _mm_set1_epi8(byte);
  for (int round = 0; round < 8 && end - p >= 16; ++round, p += 16) {
    const int hit = _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), wanted));
    if (hit != 0) return p + __builtin_ctz(static_cast<unsigned>(hit));
  }
#endif
  const void* found = p < end ? std::memchr(p, byte, static_cast<size_t>(end - p)) : nullptr;
  return found ? static_cast<const char*>(found) : end;
}

std::string_view Trim(std::string_view text) {
  // Host fields are cut at fixed widths and padded with blanks: the ends are
  // found 16 bytes at a time.
  const char* p = text.data();
  size_t begin = 0;
  size_t end = text.size();
#if defined(__SSE2__)
  for (; end >= 16; end -= 16) {
    const unsigned kept = KeptBytes(p + end - 16);
    if (kept != 0) {
      end -= static_cast<size_t>(__builtin_clz(kept)) - 16;
      for (; begin + 16 <= end; begin += 16) {
        const unsigned first = KeptBytes(p + begin);
        if (first != 0) {
          begin += static_cast<size_t>(__builtin_ctz(first));
          break;
        }
      }
      break;
    }
  }
#endif
  while (end > begin && static_cast<unsigned char>(p[end - 1]) <= 0x20) --end;
  while (begin < end && static_cast<unsigned char>(p[begin]) <= 0x20) ++begin;
  return text.substr(begin, end - begin);
}

std::string_view FieldAt(std::string_view text, size_t column, size_t count) {
  if (column == 0 || column > text.size()) return {};
  return text.substr(column - 1, count);
}

bool MarkerAt(std::string_view text, size_t column, std::string_view marker) {
  return FieldAt(text, column, marker.size()) == marker;
}

int32_t ReadNumberAt(std::string_view text, size_t column) {
  if (column == 0) return -1;
  int64_t value = 0;
  bool any = false;
  bool overflow = false;
  for (size_t i = column - 1; i < text.size(); ++i) {
    const char c = text[i];
    if (c == ' ' && !any) continue;  // blanks before the number; one after it ends it
    if (c < '0' || c > '9') break;
    any = true;
    if (!overflow) {
      value = value * 10 + (c - '0');
      if (value > std::numeric_limits<int32_t>::max()) overflow = true;
    }
  }
  if (!any || overflow) return -1;
  return static_cast<int32_t>(value);
}

std::string_view TextBetween(std::string_view text, std::string_view open, std::string_view close) {
  const size_t o = text.find(open);
  const size_t c = text.find(close);
  if (o == std::string_view::npos || c == std::string_view::npos) return {};
  const size_t start = o + open.size();
  if (c <= start) return {};
  return text.substr(start, c - start);
}

std::string UpperAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

std::string DecimalText(int64_t value) { return std::to_string(value); }

void ByteBuilder::Grow(size_t n) {
  const size_t capacity = std::max({size_ + n, capacity_ * 2, size_t{256}});
  auto bytes = std::make_unique_for_overwrite<char[]>(capacity);
  if (size_ > 0) std::memcpy(bytes.get(), bytes_.get(), size_);
  bytes_ = std::move(bytes);
  capacity_ = capacity;
}

void AppendDecimal(int64_t value, std::string& out) {
  char buffer[24];
  out.append(NumberText(value, buffer));
}

bool ParseDecimal(std::string_view text, int32_t& value) {
  if (text.empty()) return false;
  size_t i = 0;
  bool negative = false;
  if (text[0] == '+' || text[0] == '-') {
    negative = text[0] == '-';
    i = 1;
  }
  if (i == text.size()) return false;
  int64_t v = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
    if (v > int64_t{std::numeric_limits<int32_t>::max()} + 1) return false;
  }
  if (negative) v = -v;
  if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()) return false;
  value = static_cast<int32_t>(v);
  return true;
}

int RoundedPercent(uint64_t done, uint64_t total) {
  const unsigned __int128 num = static_cast<unsigned __int128>(done) * 100;
  uint64_t q = static_cast<uint64_t>(num / total);
  const uint64_t r = static_cast<uint64_t>(num % total);
  const unsigned __int128 twice = static_cast<unsigned __int128>(r) * 2;
  if (twice > total || (twice == total && (q & 1) != 0)) ++q;
  return static_cast<int>(q);
}

void PercentTracker::Recompute(uint64_t done) {
  low_ = done;
  if (total_ == 0) {
    current_ = 0;
    next_ = UINT64_MAX;
    return;
  }
  current_ = RoundedPercent(done, total_);
  // The percentage next changes near the count where done * 100 / total passes
  // current + 0.5; start there and settle on the exact first count.
  const auto q = static_cast<unsigned __int128>(current_);
  uint64_t d = static_cast<uint64_t>(((2 * q + 1) * total_) / 200);
  if (d <= done) d = done + 1;
  while (d > done + 1 && RoundedPercent(d - 1, total_) != current_) --d;
  while (RoundedPercent(d, total_) == current_) ++d;
  next_ = d;
}

}  // namespace tobrisk
