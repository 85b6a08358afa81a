#include "text/sjis.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>

namespace tobrisk {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD in UTF-8

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
    if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts `in`; on an unconvertible or incomplete sequence appends `bad` and
  // skips `skip` input bytes (1 for a byte-wise decoder, one UTF-8 character else).
  template <typename SkipFn>
  std::string Run(std::string_view in, std::string_view bad, SkipFn skip) {
    std::string out;
    out.reserve(in.size() * 3 / 2 + 8);
    if (cd_ == reinterpret_cast<iconv_t>(-1)) {
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

std::string SjisToUtf8(std::string_view sjis) {
  if (IsAscii(sjis)) return std::string(sjis);
  thread_local Converter conv("UTF-8", "CP932");
  return conv.Run(sjis, kReplacement, [](std::string_view) { return size_t{1}; });
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

}  // namespace tobrisk
