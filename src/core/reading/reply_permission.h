// Which reply a command may start on a message of the list. The rule is one,
// but the routes that reach it ask it differently on purpose:
//  - the list's pop-up shows the warning prefix beside the row, so any missing
//    number refuses its "レス(&R)", mail or not;
//  - the R key (list or text view) and the main menu refuse a reply to a board
//    message without board or message number, and a reply mail without the
//    writer's number (the writer is the mail's addressee);
//  - the tree's pop-up shows no prefix and tests nothing.
// A moved reply is never offered for a mail, except by the tree's pop-up,
// which offers it on every message node.
#pragma once

#include <string>
#include <string_view>

#include "core/reading/message_entry.h"

namespace tobrisk {

// The letters of the numbers missing from the entry's header, in this order:
// "B" board number, "W" writer number, "F" message number; empty when none is.
std::string WarningLetters(const MessageEntry& entry);

enum class ReplyRoute {
  kListPopup,  // "レス(&R)" of the message list's pop-up: any missing number refuses
  kCommand,    // R key and main menu: "B" or "F" refuses a reply, "W" a reply mail
  kTreePopup,  // "レス(&R)" of the message tree's pop-up: nothing refuses
};

enum class Reply { kNone, kMessage, kMail };

// The reply `route` starts on a message whose Kind is "MAIL" (`mail`) or not,
// with the warning letters `missing`: a reply mail to a mail, a reply to any
// other message, or none.
Reply PermittedReply(ReplyRoute route, bool mail, std::string_view missing);
Reply PermittedReply(ReplyRoute route, const MessageEntry& entry);

// Whether `route` may start a moved reply on the message.
bool MoveReplyPermitted(ReplyRoute route, const MessageEntry& entry);
bool MoveReplyPermitted(ReplyRoute route, bool mail);

}  // namespace tobrisk
