#include <gtest/gtest.h>

#include "fakes.h"
#include "core/reading/message_entry.h"
#include "core/settings/app_settings.h"
#include "core/settings/net_definitions.h"
#include "core/text/sjis.h"
#include "core/writing/message_templates.h"

namespace tobrisk {
namespace {

// Entries answered in the tests, returned by value: a later Make may move the
// list's storage. Their texts live in the list's pool as long as the list.
struct Answered {
  MessageList list;
  MessageEntry Make(BoardType type, int32_t board_no, std::string_view board_name, int32_t message_no,
                    int32_t writer_id, std::string_view handle, std::string_view title = {}) {
    MessageEntry e;
    e.context = list.Context({.board_no = board_no, .board_name = list.Intern(board_name), .board_type = type});
    e.message_no = message_no;
    e.writer_id = writer_id;
    e.writer_handle = handle;
    e.title = title;
    list.Append(e);
    return list[list.Size() - 1];
  }
};

NetList OneNet(std::string_view handle) {
  NetList nets;
  nets.Append({"ABCD", "net", std::string(handle), "UPL"});
  return nets;
}

TEST(MessageTemplates, DefaultFooterWorkedExample) {
  const AppSettings s = DefaultSettings();
  testing::FixedClock clock({1997, 3, 5, 12, 34, 56});
  const std::string footer = ExpandFooter(s.message_footer, OneNet(Sjis("たろう")), 0, clock);
  EXPECT_EQ(footer, Sjis("[ たろう  with Ｔobrisk95 Ver.1.1 in 1997/03/05 ]"));
  EXPECT_EQ(footer.size(), 49u);
  EXPECT_EQ(AlignLine(footer, kTemplateLineWidth, kAlignLeft), footer);
  EXPECT_EQ(AlignLine(footer, kTemplateLineWidth, kAlignCentre), std::string(14, ' ') + footer);
  EXPECT_EQ(AlignLine(footer, kTemplateLineWidth, kAlignRight), std::string(29, ' ') + footer);
}

TEST(MessageTemplates, DefaultResHeaderWorkedExample) {
  Answered a;
  const MessageEntry m = a.Make(BoardType::BBS, 12, "board", 345, 77, Sjis("はなこ"));
  const std::string header = ExpandHeader(DefaultSettings().res_message_header, m);
  EXPECT_EQ(header, Sjis("[ はなこさんへのレスです. BBS12 / Fc.345 ]"));
  EXPECT_EQ(header.size(), 42u);
  EXPECT_EQ(AlignLine(header, kTemplateLineWidth, kAlignCentre), std::string(18, ' ') + header);
}

TEST(MessageTemplates, HeaderMacrosFromTheAnsweredMessage) {
  Answered a;
  const MessageEntry m = a.Make(BoardType::IBBS, 0, Sjis("雑談ボード"), 9, 1234, Sjis("じろう"), Sjis("件名です"));
  EXPECT_EQ(ExpandHeader("$N|$B|$I|$H|$T|$K|$D", m), Sjis("9|F|1234|じろう|件名です|IBBS|雑談ボード"));
  // The moved-reply default names the board of the message answered.
  EXPECT_EQ(ExpandHeader(DefaultSettings().mv_res_message_header, m),
            Sjis("[ 雑談ボード より、じろうさんへの移動レスです. IBBSF / Fc.9 ]"));
  // Missing numbers and the mail box's numbers show as "-".
  const MessageEntry missing = a.Make(BoardType::BBS, -1, "", -1, -1, "");
  EXPECT_EQ(ExpandHeader("$N $B $I", missing), "- - -");
  const MessageEntry mail = a.Make(BoardType::MAIL, -100, Sjis("新着メール"), -2, 55, "x");
  EXPECT_EQ(ExpandHeader("$N $B $I $K", mail), "- - 55 MAIL");
  // Footer-only macros stay literal in a header.
  EXPECT_EQ(ExpandHeader("$h$Y$m$s$V$M", m), "$h$Y$m$s$V$M");
  EXPECT_EQ(ExpandHeader("", m), "");
}

TEST(MessageTemplates, FooterMacrosAndScannerCorners) {
  testing::FixedClock clock({2001, 2, 1, 9, 5, 7});
  const NetList nets = OneNet(Sjis("はなこ "));  // the handle is used as stored, not trimmed
  EXPECT_EQ(ExpandFooter("$h:$m:$s $M/$D $Y", nets, 0, clock), "09:05:07 02/01 2001");
  EXPECT_EQ(ExpandFooter("<$H>", nets, 0, clock), Sjis("<はなこ >"));
  // Anything that is no macro is copied: $y, $x, $$, a lone $ at the end.
  EXPECT_EQ(ExpandFooter("$y$x$", nets, 0, clock), "$y$x$");
  EXPECT_EQ(ExpandFooter("$$Y", nets, 0, clock), "$2001");
  EXPECT_EQ(ExpandFooter("$", nets, 0, clock), "$");
  // Header-only macros stay literal in a footer.
  EXPECT_EQ(ExpandFooter("$N$B$I$T$K", nets, 0, clock), "$N$B$I$T$K");
  // The year is not padded.
  testing::FixedClock early({987, 12, 31, 23, 59, 59});
  EXPECT_EQ(ExpandFooter("$Y$M$D$h$m$s", nets, 0, early), "9871231235959");
  // A double-byte character next to a dollar sign is copied whole.
  EXPECT_EQ(ExpandFooter(Sjis("表$V表"), nets, 0, clock), Sjis("表1.1表"));
  EXPECT_EQ(ExpandFooter("", nets, 0, clock), "");
}

TEST(MessageTemplates, FooterHandleOnlyFromTheCurrentNet) {
  testing::FixedClock clock;
  NetList nets = OneNet("first");
  nets.Append({"WXYZ", "n2", "second", "U2"});
  EXPECT_EQ(ExpandFooter("$H", nets, 1, clock), "second");
  // An index that names no net gives no handle, never another net's.
  EXPECT_EQ(ExpandFooter("[$H]", nets, -1, clock), "[]");
  EXPECT_EQ(ExpandFooter("[$H]", nets, 2, clock), "[]");
  EXPECT_EQ(ExpandFooter("[$H]", NetList{}, 0, clock), "[]");
}

TEST(MessageTemplates, FooterReadsTheClockOncePerExpansion) {
  class CountingClock final : public Clock {
   public:
    LocalTime Now() override {
      ++reads;
      return {1999, 12, 31, 23, 59, 59};
    }
    int reads = 0;
  } clock;
  EXPECT_EQ(ExpandFooter("$Y$M$D$h$m$s$Y", OneNet("h"), 0, clock),
            "19991231235959"
            "1999");
  EXPECT_EQ(clock.reads, 1);
}

TEST(MessageTemplates, AlignmentWidths) {
  const std::string s77(77, 'a'), s76(76, 'a'), s78(78, 'a'), s90(90, 'a');
  EXPECT_EQ(AlignLine(s77, 78, kAlignCentre), s77);
  EXPECT_EQ(AlignLine(s76, 78, kAlignCentre), " " + s76);
  EXPECT_EQ(AlignLine(s78, 78, kAlignRight), s78);
  EXPECT_EQ(AlignLine(s90, 78, kAlignRight), s90);  // never cut
  EXPECT_EQ(AlignLine(s90, 78, kAlignCentre), s90);
  EXPECT_EQ(AlignLine("ab", 78, kAlignRight), std::string(76, ' ') + "ab");
  // Full-width characters count two bytes: 10 of them fill 20 columns.
  const std::string wide = Sjis("あいうえおかきくけこ");
  ASSERT_EQ(wide.size(), 20u);
  EXPECT_EQ(AlignLine(wide, 78, kAlignCentre), std::string(29, ' ') + wide);
  EXPECT_EQ(AlignLine(wide, 78, kAlignRight), std::string(58, ' ') + wide);
  // Positions other than 0, 1, 2 act as left.
  EXPECT_EQ(AlignLine("ab", 78, 3), "ab");
  EXPECT_EQ(AlignLine("ab", 78, -1), "ab");
  EXPECT_EQ(AlignLine("", 78, kAlignRight), std::string(78, ' '));
}

}  // namespace
}  // namespace tobrisk
