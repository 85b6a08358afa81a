// The warning prefix of the message list's board column: it flags entries whose
// header was not read completely ("B" board number, "W" writer number, "F"
// message number missing). Reply commands refuse by its letters.
#pragma once

#include <string>

#include "core/reading/message_entry.h"

namespace tobrisk::gui {

// "B", "W", "F" in this order for each missing number; empty when none is.
std::string WarningLetters(const MessageEntry& entry);

// "[★" + letters + "]", or empty when there are no letters (Shift-JIS).
std::string WarningPrefix(const MessageEntry& entry);

}  // namespace tobrisk::gui
