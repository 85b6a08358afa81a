#include "core/reading/reply_permission.h"

namespace tobrisk {

std::string WarningLetters(const MessageEntry& entry) {
  std::string letters;
  if (entry.board_no() == kMissingNumber) letters += 'B';
  if (entry.writer_id == kMissingNumber) letters += 'W';
  if (entry.message_no == kMissingNumber) letters += 'F';
  return letters;
}

Reply PermittedReply(ReplyRoute route, bool mail, std::string_view missing) {
  const Reply reply = mail ? Reply::kMail : Reply::kMessage;
  switch (route) {
    case ReplyRoute::kListPopup: return missing.empty() ? reply : Reply::kNone;
    case ReplyRoute::kCommand:
      if (mail) return missing.find('W') == std::string_view::npos ? reply : Reply::kNone;
      return missing.find_first_of("BF") == std::string_view::npos ? reply : Reply::kNone;
    case ReplyRoute::kTreePopup: return reply;
  }
  return Reply::kNone;
}

Reply PermittedReply(ReplyRoute route, const MessageEntry& entry) {
  return PermittedReply(route, entry.kind() == MessageKind::Mail, WarningLetters(entry));
}

bool MoveReplyPermitted(ReplyRoute route, bool mail) { return route == ReplyRoute::kTreePopup || !mail; }

bool MoveReplyPermitted(ReplyRoute route, const MessageEntry& entry) {
  return MoveReplyPermitted(route, entry.kind() == MessageKind::Mail);
}

}  // namespace tobrisk
