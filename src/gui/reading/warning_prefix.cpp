#include "gui/reading/warning_prefix.h"

#include "core/text/sjis.h"

namespace tobrisk::gui {
namespace {

const std::string& PrefixOpen() {
  static const std::string kOpen = Sjis("[★");
  return kOpen;
}

}  // namespace

std::string WarningPrefix(const MessageEntry& entry) {
  const std::string letters = WarningLetters(entry);
  if (letters.empty()) return {};
  return PrefixOpen() + letters + "]";
}

}  // namespace tobrisk::gui
