// The warning prefix of the message list's board column: it flags entries whose
// header was not read completely ("B" board number, "W" writer number, "F"
// message number missing). Reply commands refuse by its letters
// (core/reading/reply_permission.h).
#pragma once

#include <string>

#include "core/reading/message_entry.h"
#include "core/reading/reply_permission.h"

namespace tobrisk::gui {

// "[★" + letters + "]", or empty when there are no letters (Shift-JIS).
std::string WarningPrefix(const MessageEntry& entry);

}  // namespace tobrisk::gui
