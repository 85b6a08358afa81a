// Shift-JIS (code page 932) <-> UTF-8. Only the outer layers (windows and the
// command-line tool) convert; core keeps Shift-JIS bytes.
#pragma once

#include <algorithm>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tobrisk {

// Bytes that do not decode become U+FFFD, one per undecodable byte; never throws.
std::string SjisToUtf8(std::string_view sjis);

// The same conversion appended to `out` without a temporary string; or written
// to `out`, which must have room for 3 bytes per input byte, returning the bytes
// written.
void AppendSjisAsUtf8(std::string_view sjis, std::string& out);
size_t AppendSjisAsUtf8(std::string_view sjis, char* out);

// The conversion for many texts in a row: into a buffer of its own that only
// grows and is never filled ahead of the text (room for the longest result is
// reserved, but only the pages written to take memory). Each result is valid
// until the next call.
class Utf8Buffer {
 public:
  std::string_view Of(std::string_view sjis) {
    if (size_ < sjis.size() * 3) {
      size_ = std::max(sjis.size() * 3, size_ * 2);
      bytes_.reset(new char[size_]);  // NOLINT: left uninitialised on purpose
    }
    return {bytes_.get(), AppendSjisAsUtf8(sjis, bytes_.get())};
  }

 private:
  std::unique_ptr<char[]> bytes_;
  size_t size_ = 0;
};

// The same conversion done by iconv itself, character by character (the
// reference SjisToUtf8's table is checked against).
std::string SjisToUtf8ByIconv(std::string_view sjis);

// Characters without a Shift-JIS form become "?"; invalid UTF-8 bytes too.
std::string Utf8ToSjis(std::string_view utf8);

// True when SjisToUtf8 followed by Utf8ToSjis gives back exactly these bytes.
bool SjisRoundTrips(std::string_view sjis);

// True when every byte decodes as Shift-JIS (code page 932): SjisToUtf8 would
// replace nothing.
bool IsValidSjis(std::string_view bytes);

// True when the bytes are well-formed UTF-8 (no overlong forms, no surrogates,
// nothing above U+10FFFF). `multi_byte` (optional) tells whether at least one
// character takes more than one byte.
bool IsValidUtf8(std::string_view bytes, bool* multi_byte = nullptr);

// The conversion of valid UTF-8 that refuses instead of replacing: either every
// character has a Shift-JIS form and `sjis` holds the whole text, or `sjis` is
// empty and the first character without one is named by its byte offset in the
// input and its code point.
struct StrictSjis {
  bool ok = false;
  std::string sjis;
  size_t bad_offset = 0;
  char32_t bad_char = 0;
};
StrictSjis Utf8ToSjisStrict(std::string_view utf8);

}  // namespace tobrisk

namespace tobrisk {

// The program's own Japanese texts are written in UTF-8 in the source and turned
// into their Shift-JIS bytes once: `static const std::string kText = Sjis("…");`
inline std::string Sjis(std::string_view utf8) { return Utf8ToSjis(utf8); }

}  // namespace tobrisk
