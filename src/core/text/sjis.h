// Shift-JIS (code page 932) <-> UTF-8. Only the outer layers (windows and the
// command-line tool) convert; core keeps Shift-JIS bytes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tobrisk {

// Bytes that do not decode become U+FFFD, one per undecodable byte; never throws.
std::string SjisToUtf8(std::string_view sjis);

// The same conversion appended to `out` without a temporary string; or written
// to `out`, which must have room for 3 bytes per input byte, returning the bytes
// written.
void AppendSjisAsUtf8(std::string_view sjis, std::string& out);
size_t AppendSjisAsUtf8(std::string_view sjis, char* out);

// The same conversion done by iconv itself, character by character (the
// reference SjisToUtf8's table is checked against).
std::string SjisToUtf8ByIconv(std::string_view sjis);

// Characters without a Shift-JIS form become "?"; invalid UTF-8 bytes too.
std::string Utf8ToSjis(std::string_view utf8);

// True when the bytes are well-formed UTF-8 (no stray continuation byte, no cut,
// overlong or surrogate sequence, nothing above U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

// True when SjisToUtf8 followed by Utf8ToSjis gives back exactly these bytes.
bool SjisRoundTrips(std::string_view sjis);

}  // namespace tobrisk

namespace tobrisk {

// The program's own Japanese texts are written in UTF-8 in the source and turned
// into their Shift-JIS bytes once: `static const std::string kText = Sjis("…");`
inline std::string Sjis(std::string_view utf8) { return Utf8ToSjis(utf8); }

}  // namespace tobrisk
