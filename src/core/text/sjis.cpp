#include "core/text/sjis.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tobrisk {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD in UTF-8

// What iconv_open returns when it cannot convert between the two encodings.
const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);  // NOLINT(performance-no-int-to-ptr): iconv's own value

bool IsAscii(std::string_view text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

// One iconv descriptor per direction and thread, opened on first use.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (cd_ != kNoConverter) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts `in` whole and appends it to `out`; false (with `out` unchanged)
  // when anything in it does not convert, or converts only to a substitute.
  bool ConvertExactly(std::string_view in, std::string& out) {
    if (cd_ == kNoConverter) return false;
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char* src = const_cast<char*>(in.data());
    size_t src_left = in.size();
    std::string converted;
    char buf[4096];
    while (src_left > 0) {
      char* dst = buf;
      size_t dst_left = sizeof buf;
      const size_t r = iconv(cd_, &src, &src_left, &dst, &dst_left);
      converted.append(buf, static_cast<size_t>(dst - buf));
      if (r == static_cast<size_t>(-1) ? errno != E2BIG : r != 0) return false;
    }
    char* dst = buf;
    size_t dst_left = sizeof buf;
    if (iconv(cd_, nullptr, nullptr, &dst, &dst_left) == static_cast<size_t>(-1)) return false;
    converted.append(buf, static_cast<size_t>(dst - buf));
    out += converted;
    return true;
  }

  // Converts `in`; on an unconvertible or incomplete sequence appends `bad` and
  // skips `skip` input bytes (1 for a byte-wise decoder, one UTF-8 character else).
  template <typename SkipFn>
  std::string Run(std::string_view in, std::string_view bad, SkipFn skip) {
    std::string out;
    out.reserve(in.size() * 3 / 2 + 8);
    if (cd_ == kNoConverter) {
      for (size_t i = 0; i < in.size(); i += skip(in.substr(i))) out.append(bad);
      return out;
    }
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char* src = const_cast<char*>(in.data());
    size_t src_left = in.size();
    char buf[4096];
    while (src_left > 0) {
      char* dst = buf;
      size_t dst_left = sizeof buf;
      const size_t r = iconv(cd_, &src, &src_left, &dst, &dst_left);
      out.append(buf, static_cast<size_t>(dst - buf));
      if (r == static_cast<size_t>(-1)) {
        if (errno == E2BIG) continue;
        // EILSEQ or EINVAL: replace and step over the offending input.
        out.append(bad);
        const size_t n = std::min(src_left, skip(std::string_view(src, src_left)));
        src += n;
        src_left -= n;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
      }
    }
    char* dst = buf;
    size_t dst_left = sizeof buf;
    iconv(cd_, nullptr, nullptr, &dst, &dst_left);
    out.append(buf, static_cast<size_t>(dst - buf));
    return out;
  }

 private:
  iconv_t cd_;
};

size_t Utf8CharLength(std::string_view s) {
  const auto b = static_cast<unsigned char>(s[0]);
  size_t n = 1;
  if (b >= 0xF0) n = 4;
  else if (b >= 0xE0) n = 3;
  else if (b >= 0xC0) n = 2;
  if (n > s.size()) return 1;
  for (size_t i = 1; i < n; ++i) {
    if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) return 1;
  }
  return n;
}

}  // namespace

// The UTF-8 form of every Shift-JIS character, taken once from iconv's CP932
// table so that decoding is a table look-up per character. An empty entry marks
// bytes iconv does not decode.
namespace {

constexpr bool IsLead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// The row of each lead byte's characters in the table (row 0 holds the single bytes); 0 for other bytes.
constexpr std::array<uint8_t, 256> kLeadRow = [] {
  std::array<uint8_t, 256> rows{};
  uint8_t row = 0;
  for (size_t b = 0; b < 256; ++b) {
    if (IsLead(static_cast<unsigned char>(b))) rows[b] = ++row;
  }
  return rows;
}();

class DecodeTable {
 public:
  DecodeTable() {
    iconv_t cd = iconv_open("UTF-8", "CP932");
    if (cd == kNoConverter) return;  // nothing decodes: every byte is replaced
    // Only a whole, clean decoding of exactly these bytes into one character counts.
    auto decode = [&](std::string_view bytes, Utf8Char& out) {
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
      char* src = const_cast<char*>(bytes.data());
      size_t src_left = bytes.size();
      char buf[16];
      char* dst = buf;
      size_t dst_left = sizeof buf;
      if (iconv(cd, &src, &src_left, &dst, &dst_left) == static_cast<size_t>(-1) || src_left != 0) return;
      const std::string_view u(buf, static_cast<size_t>(dst - buf));
      if (u.empty() || u.size() > 3 || Utf8CharLength(u) != u.size()) return;
      out.size = static_cast<uint8_t>(u.size());
      std::copy(u.begin(), u.end(), out.bytes);
    };
    for (int b = 0; b < 256; ++b) {
      if (!IsLead(static_cast<unsigned char>(b))) decode(std::string(1, static_cast<char>(b)), chars_[b]);
    }
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
      if (!IsLead(static_cast<unsigned char>(lead))) continue;
      for (int trail = 0x40; trail <= 0xFC; ++trail) {
        const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
        decode(std::string_view(pair, 2), Double(static_cast<unsigned char>(lead), static_cast<unsigned char>(trail)));
      }
    }
    iconv_close(cd);
  }

  // Writes the UTF-8 form of the character at p (a byte of 0x80 or above) and
  // returns where the next one starts.
  const unsigned char* DecodeOne(const unsigned char* p, const unsigned char* end, char*& out) const {
    const unsigned char b = *p;
    if (kLeadRow[b] != 0 && p + 1 < end) {
      const Utf8Char& c = Double(b, p[1]);
      if (c.size > 0) {
        // Two bytes in leave room for four out; the unused ones are overwritten next.
        std::memcpy(out, &c, 4);
        out += c.size;
        return p + 2;
      }
    }
    const Utf8Char& c = chars_[b];
    if (c.size > 0 && !IsLead(b)) {
      std::memcpy(out, c.bytes, 3);
      out += c.size;
    } else {
      std::memcpy(out, kReplacement.data(), 3);  // one replacement per undecodable byte
      out += 3;
    }
    return p + 1;
  }

#if defined(__SSE2__)
  // The bytes of 16 in [low, high], as a mask.
  static __m128i InRange(__m128i bytes, unsigned char low, unsigned char high) {
    const __m128i from_low = _mm_sub_epi8(bytes, _mm_set1_epi8(static_cast<char>(low)));
    const __m128i width = _mm_set1_epi8(static_cast<char>(high - low));
    return _mm_cmpeq_epi8(_mm_min_epu8(from_low, width), from_low);
  }

  // Decodes the characters that begin in the 64 bytes at p (a character's
  // start); the last may take the byte after them. Needs 80 bytes of input
  // and room for 240 bytes. Returns where the next character begins.
  //
  // Where characters begin follows from the lead bytes alone: a run of bytes
  // of the lead range begins with a lead byte (the byte before it is no lead,
  // so no character goes on into the run), and then lead and trail bytes take
  // turns. So the lead bytes are those of each run at its start's parity, and
  // the trail bytes follow them. The characters other than ASCII are then
  // looked up one by one, without a branch on their kind; the ASCII between
  // them is copied 16 bytes at a time.
  const unsigned char* DecodeBlock(const unsigned char* p, char*& out) const {
    uint64_t high = 0;
    uint64_t lead_range = 0;
    for (size_t k = 0; k < 4; ++k) {
      const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
      high |= static_cast<uint64_t>(static_cast<uint16_t>(_mm_movemask_epi8(bytes))) << (16 * k);
      const __m128i lead = _mm_or_si128(InRange(bytes, 0x81, 0x9F), InRange(bytes, 0xE0, 0xFC));
      lead_range |= static_cast<uint64_t>(static_cast<uint16_t>(_mm_movemask_epi8(lead))) << (16 * k);
    }
    if (high == 0) {
      for (size_t k = 0; k < 4; ++k) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16 * k),
                         _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k)));
      }
      out += 64;
      return p + 64;
    }
    constexpr uint64_t kEven = 0x5555555555555555ull;
    const uint64_t run_starts = lead_range & ~(lead_range << 1);
    // Adding a run's start bit clears the run: what is left are the runs that start at an odd place.
    const uint64_t even_runs = lead_range & ~(lead_range + (run_starts & kEven));
    const uint64_t odd_runs = lead_range & ~even_runs;
    const uint64_t leads = (even_runs & kEven) | (odd_runs & ~kEven);
    uint64_t others = high & ~(leads << 1);  // characters other than ASCII begin here
    size_t copied = 0;                       // bytes of the block written
    while (others != 0) {
      const auto at = static_cast<size_t>(__builtin_ctzll(others));
      others &= others - 1;
      // The ASCII before it: 16 bytes stored whether there are any or not (the
      // character overwrites what is not), more only for a longer run.
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + copied)));
      for (size_t k = copied + 16; k < at; k += 16) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + (k - copied)),
                         _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + k)));
      }
      out += at - copied;
      const unsigned row = kLeadRow[p[at]];
      // In bytes of Shift-JIS, if it decodes (a lead byte has a row of its own);
      // a flag, not a branch: the kinds of character take turns unforeseeably.
      const size_t size = 1 + static_cast<size_t>(row != 0);
      // Row 0 is indexed by the byte itself, a lead byte's row by the byte after it.
      const Utf8Char& c = chars_[row * 256 + p[at + size - 1]];
      if (c.size == 0) {
        // Undecodable: one replacement for the byte, and its neighbour (if
        // it was taken for a trail byte) begins the next character.
        std::memcpy(out, kReplacement.data(), 3);
        out += 3;
        if (row != 0) return p + at + 1;
        copied = at + 1;
        continue;
      }
      std::memcpy(out, &c, 4);
      out += c.size;
      copied = at + size;
    }
    if (copied < 64) {
      for (size_t k = copied; k < 64; k += 16) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + (k - copied)),
                         _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + k)));
      }
      out += 64 - copied;
      copied = 64;
    }
    return p + copied;
  }
#endif

  // Writes the UTF-8 form of `sjis` to `out` (room for 3 bytes per input byte);
  // returns the bytes written. Long texts go 64 bytes at a time (DecodeBlock);
  // otherwise ASCII runs are checked and copied 16 bytes at a time (8 without
  // the vector instructions), and runs of other characters go on without that
  // test.
  size_t Decode(std::string_view sjis, char* out) const {
    const auto* p = reinterpret_cast<const unsigned char*>(sjis.data());
    const auto* const end = p + sjis.size();
    char* const start = out;
#if defined(__SSE2__)
    while (end - p >= 80) p = DecodeBlock(p, out);
#endif
    while (p < end) {
      if (*p >= 0x80) {
        p = DecodeOne(p, end, out);
        continue;
      }
#if defined(__SSE2__)
      // The 16 bytes are stored whole and the pointers advance over their ASCII
      // head: with 16 bytes of input left there are at least 48 bytes of room.
      while (end - p >= 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), bytes);
        const int high = _mm_movemask_epi8(bytes);
        const int ascii = high == 0 ? 16 : __builtin_ctz(static_cast<unsigned>(high));
        p += ascii;
        out += ascii;
        if (ascii < 16) break;
      }
#else
      uint64_t word;
      while (end - p >= 8) {
        std::memcpy(&word, p, 8);
        if ((word & 0x8080808080808080ull) != 0) break;
        std::memcpy(out, p, 8);
        p += 8;
        out += 8;
      }
#endif
      while (p < end && *p < 0x80) *out++ = static_cast<char>(*p++);
    }
    return static_cast<size_t>(out - start);
  }

  // True when Decode would replace nothing.
  bool Valid(std::string_view sjis) const {
    const auto* p = reinterpret_cast<const unsigned char*>(sjis.data());
    const auto* const end = p + sjis.size();
    while (p < end) {
      const unsigned char b = *p;
      if (b < 0x80) {  // NOLINT(bugprone-branch-clone): ASCII and the other single bytes are two cases
        ++p;
      } else if (IsLead(b) && p + 1 < end && p[1] >= 0x40 && p[1] <= 0xFC && Double(b, p[1]).size > 0) {
        p += 2;
      } else if (!IsLead(b) && chars_[b].size > 0) {
        ++p;
      } else {
        return false;
      }
    }
    return true;
  }

 private:
  // The bytes first: a character is copied as four bytes, the last of them
  // overwritten by the next character.
  struct Utf8Char {
    char bytes[3] = {};
    uint8_t size = 0;
  };
  static_assert(sizeof(Utf8Char) == 4);
  // A row of 256 characters per lead byte: every trail byte indexes it, the
  // ones that pair with nothing are empty.
  Utf8Char& Double(unsigned char lead, unsigned char trail) { return chars_[kLeadRow[lead] * 256 + trail]; }
  const Utf8Char& Double(unsigned char lead, unsigned char trail) const { return chars_[kLeadRow[lead] * 256 + trail]; }

  // Row 0: the single bytes; row r: the characters of the lead byte of row r.
  Utf8Char chars_[61 * 256];
};

const DecodeTable& Table() {
  static const DecodeTable table;
  return table;
}

}  // namespace

std::string SjisToUtf8ByIconv(std::string_view sjis) {
  thread_local Converter conv("UTF-8", "CP932");
  return conv.Run(sjis, kReplacement, [](std::string_view) { return size_t{1}; });
}

size_t AppendSjisAsUtf8(std::string_view sjis, char* out) { return Table().Decode(sjis, out); }

void AppendSjisAsUtf8(std::string_view sjis, std::string& out) {
  const size_t old = out.size();
  out.resize(old + sjis.size() * 3);
  out.resize(old + AppendSjisAsUtf8(sjis, out.data() + old));
}

std::string SjisToUtf8(std::string_view sjis) {
  if (IsAscii(sjis)) return std::string(sjis);
  std::string out;
  AppendSjisAsUtf8(sjis, out);
  return out;
}

std::string Utf8ToSjis(std::string_view utf8) {
  if (IsAscii(utf8)) return std::string(utf8);
  thread_local Converter conv("CP932", "UTF-8");
  return conv.Run(utf8, "?", Utf8CharLength);
}

bool SjisRoundTrips(std::string_view sjis) {
  if (IsAscii(sjis)) return true;
  return Utf8ToSjis(SjisToUtf8(sjis)) == sjis;
}

bool IsValidSjis(std::string_view bytes) {
  if (IsAscii(bytes)) return true;
  return Table().Valid(bytes);
}

bool IsValidUtf8(std::string_view bytes, bool* multi_byte) {
  bool multi = false;
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const auto* const end = p + bytes.size();
  while (p < end) {
    const unsigned char b = *p;
    if (b < 0x80) {
      ++p;
      continue;
    }
    size_t n = 0;
    unsigned char low = 0x80, high = 0xBF;  // the allowed range of the second byte
    if (b >= 0xC2 && b <= 0xDF) {
      n = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
      n = 3;
      if (b == 0xE0) low = 0xA0;   // no overlong form
      if (b == 0xED) high = 0x9F;  // no surrogate
    } else if (b >= 0xF0 && b <= 0xF4) {
      n = 4;
      if (b == 0xF0) low = 0x90;   // no overlong form
      if (b == 0xF4) high = 0x8F;  // nothing above U+10FFFF
    } else {
      return false;
    }
    if (static_cast<size_t>(end - p) < n || p[1] < low || p[1] > high) return false;
    for (size_t i = 2; i < n; ++i) {
      if ((p[i] & 0xC0) != 0x80) return false;
    }
    multi = true;
    p += n;
  }
  if (multi_byte != nullptr) *multi_byte = multi;
  return true;
}

StrictSjis Utf8ToSjisStrict(std::string_view utf8) {
  StrictSjis result;
  if (IsAscii(utf8)) {
    result.ok = true;
    result.sjis = std::string(utf8);
    return result;
  }
  // A character iconv cannot write stops the conversion where it stands.
  auto refuse = [&](size_t offset) {
    result.ok = false;
    result.sjis.clear();
    result.bad_offset = offset;
    const std::string_view rest = utf8.substr(offset);
    const size_t n = Utf8CharLength(rest);
    char32_t c = static_cast<unsigned char>(rest[0]);
    if (n > 1) {
      c &= 0xFFu >> (n + 1);
      for (size_t i = 1; i < n; ++i) c = (c << 6) | (static_cast<unsigned char>(rest[i]) & 0x3Fu);
    }
    result.bad_char = c;
    return result;
  };
  // The whole text at once; when that fails, one character at a time, so the
  // character that has no Shift-JIS form is known exactly. A conversion iconv
  // counts as irreversible (a substitute form) is refused too: nothing is ever
  // written as something else.
  thread_local Converter conv("CP932", "UTF-8");
  if (conv.ConvertExactly(utf8, result.sjis)) {
    result.ok = true;
    return result;
  }
  for (size_t i = 0; i < utf8.size();) {
    const auto b = static_cast<unsigned char>(utf8[i]);
    if (b < 0x80) {
      result.sjis.push_back(static_cast<char>(b));
      ++i;
      continue;
    }
    const size_t n = Utf8CharLength(utf8.substr(i));
    if (!conv.ConvertExactly(utf8.substr(i, n), result.sjis)) return refuse(i);
    i += n;
  }
  result.ok = true;
  return result;
}

}  // namespace tobrisk
