#include "core/writing/message_templates.h"

#include <array>
#include <cstdio>

#include "core/reading/message_entry.h"
#include "core/ports/clock.h"
#include "core/settings/net_definitions.h"
#include "core/text/bytes.h"

namespace tobrisk {
namespace {

struct Macro {
  std::string_view name;  // "$" and one letter
  std::string value;
};

// Copies the template, replacing every macro of the table (first match in table
// order) and leaving every other byte, "$" included, as it is.
template <size_t N>
std::string ScanMacros(std::string_view text, const std::array<Macro, N>& macros) {
  std::string out;
  out.reserve(text.size() + 32);
  size_t p = 0;
  while (p < text.size()) {
    const std::string_view two = text.substr(p, 2);
    bool matched = false;
    for (const Macro& m : macros) {
      if (two == m.name) {
        out += m.value;
        p += 2;
        matched = true;
        break;
      }
    }
    if (!matched) out.push_back(text[p++]);
  }
  return out;
}

// A number's decimal text, or "-" when it is negative (missing, mail).
std::string NumberOrDash(int32_t value) { return value < 0 ? std::string("-") : DecimalText(value); }

std::string TwoDigits(int value) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d", value);
  return buf;
}

}  // namespace

std::string ExpandHeader(std::string_view template_text, const MessageEntry& answered) {
  if (template_text.empty()) return {};
  const std::string board = answered.board_no() == 0 ? std::string("F") : NumberOrDash(answered.board_no());
  const std::array<Macro, 7> macros{{
      {"$N", NumberOrDash(answered.message_no)},
      {"$B", board},
      {"$I", NumberOrDash(answered.writer_id)},
      {"$H", answered.writer_handle.Str()},
      {"$T", answered.title.Str()},
      {"$K", std::string(BoardTypeText(answered.board_type()))},
      {"$D", std::string(answered.BoardName())},
  }};
  return ScanMacros(template_text, macros);
}

std::string ExpandFooter(std::string_view template_text, const NetList& nets, int default_net, Clock& clock) {
  if (template_text.empty()) return {};
  const LocalTime now = clock.Now();
  const std::string handle = nets.Contains(default_net) ? nets.At(default_net).handle_name : std::string();
  const std::array<Macro, 8> macros{{
      {"$Y", DecimalText(now.year)},
      {"$M", TwoDigits(now.month)},
      {"$D", TwoDigits(now.day)},
      {"$h", TwoDigits(now.hour)},
      {"$m", TwoDigits(now.minute)},
      {"$s", TwoDigits(now.second)},
      {"$V", std::string(kProgramVersion)},
      {"$H", handle},
  }};
  return ScanMacros(template_text, macros);
}

std::string AlignLine(std::string_view text, int width, int position) {
  const auto length = static_cast<int64_t>(text.size());
  int64_t blanks = 0;
  if (position == kAlignCentre) {
    blanks = (width - length) / 2;
  } else if (position == kAlignRight) {
    blanks = width - length;
  }
  std::string out;
  if (blanks > 0) out.assign(static_cast<size_t>(blanks), ' ');
  out += text;
  return out;
}

}  // namespace tobrisk
