#include "gui/reading/warning_prefix.h"

#include "core/text/sjis.h"

namespace tobrisk::gui {
namespace {

const std::string& PrefixOpen() {
  static const std::string kOpen = Sjis("[★");
  return kOpen;
}

}  // namespace

std::string WarningLetters(const MessageEntry& entry) {
  std::string letters;
  if (entry.board_no == kMissingNumber) letters += 'B';
  if (entry.writer_id == kMissingNumber) letters += 'W';
  if (entry.message_no == kMissingNumber) letters += 'F';
  return letters;
}

std::string WarningPrefix(const MessageEntry& entry) {
  const std::string letters = WarningLetters(entry);
  if (letters.empty()) return {};
  return PrefixOpen() + letters + "]";
}

}  // namespace tobrisk::gui
