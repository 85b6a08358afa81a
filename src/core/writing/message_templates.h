// The one-line header and footer templates of written messages: their `$`
// macros and the alignment of the expanded line in a line of fixed width.
#pragma once

#include <string>
#include <string_view>

namespace tobrisk {

class Clock;
class NetList;
struct MessageEntry;

// Every template line is aligned in 78 half-width columns.
inline constexpr int kTemplateLineWidth = 78;
// The program's version, the expansion of `$V`.
inline constexpr std::string_view kProgramVersion = "1.1";

// Alignment positions of the properties dialog.
inline constexpr int kAlignLeft = 0;
inline constexpr int kAlignCentre = 1;
inline constexpr int kAlignRight = 2;

// The header of a reply, expanded from the message answered:
// $N MessageNo, $B BoardNo ("0" as "F"), $I WriterId (a negative number as "-"),
// $H WriterHandle, $T Title, $K BoardType, $D BoardName.
std::string ExpandHeader(std::string_view template_text, const MessageEntry& answered);

// The footer of every message: $Y $M $D $h $m $s from the clock (read once per
// expansion), $V the version, $H the HandleName of net `default_net` (nothing
// when that index names no net).
std::string ExpandFooter(std::string_view template_text, const NetList& nets, int default_net, Clock& clock);

// The text with blanks added on the left: none for left (and any unknown
// position), half the free room for centre, all of it for right. Never cuts.
std::string AlignLine(std::string_view text, int width, int position);

}  // namespace tobrisk
