#include <gtest/gtest.h>

#include "capture_generator.h"
#include "fakes.h"
#include "core/reading/escape_filter.h"
#include "core/reading/log_parser.h"
#include "core/reading/message_entry.h"
#include "core/text/files.h"
#include "core/text/io_error.h"
#include "core/text/sjis.h"

namespace tobrisk {
namespace {

using testing::BbsHeader;
using testing::MailHeader;
using testing::MainMenuLine;
using testing::NewHeader;
using testing::ResFieldsLine;
using testing::ResHeaderLine;

class ParseLogTest : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = TrailingSeparator(testing::MakeTempDir()); }
  void TearDown() override { testing::RemoveTree(dir_); }

  // Writes the lines as NOESC.LOG (every line ended by CR LF) and parses it.
  const MessageList& Parse(const std::vector<std::string>& lines) {
    std::string bytes;
    for (const auto& l : lines) bytes += l + "\r\n";
    return ParseBytes(bytes);
  }
  const MessageList& ParseBytes(const std::string& bytes) {
    noesc_ = bytes;
    testing::WriteFile(dir_ + "NOESC.LOG", bytes);
    list_.Clear();
    progress_ = {};
    ParseLog(dir_ + "NOESC.LOG", list_, progress_);
    return list_;
  }
  std::string Field(size_t i, size_t field) { return list_.Fields(i)[field]; }
  // The line that starts at the entry's text offset.
  std::string PreviousLine(size_t i) {
    const size_t end = list_[i].text_offset - 2;
    const size_t begin = noesc_.rfind("\r\n", end - 1);
    return noesc_.substr(begin == std::string::npos ? 0 : begin + 2,
                         end - (begin == std::string::npos ? 0 : begin + 2));
  }
  std::string TextLine(size_t i) {
    const size_t at = list_[i].text_offset;
    return noesc_.substr(at, noesc_.find("\r\n", at) - at);
  }

  std::string dir_;
  std::string noesc_;
  MessageList list_;
  testing::FakeProgress progress_;
};

const std::string& Name() {
  static const std::string name = Sjis("雑談");
  return name;
}

TEST_F(ParseLogTest, BoardHeaderForms) {
  // Blanks in bytes 9 and 10, the digits 12 in bytes 11 and 12.
  const std::string bbs = Sjis("● [ BBS") + "  12 ]" + Sjis("【雑談】");
  // A blank in byte 9, 3 in byte 10, "(" in byte 11; "IBBS 35": digits from the fifth byte.
  const std::string among = Sjis("● [ BBS") + " 3(IBBS 35) ]" + Sjis("【全国】");
  // "(" in byte 10.
  const std::string among10 = Sjis("● [ BBS") + "7(IBBS  4) ]" + Sjis("【七】");
  const std::string cug = testing::CugHeader(5, Sjis("仲間"));
  const std::string ibbs = testing::IbbsHeader(41, Sjis("網"));
  const std::string no_name = Sjis("● [ BBS") + "  13 ]";
  const auto msg = NewHeader(1, "t", 7, "h", "01/02");
  Parse({bbs, msg, among, msg, among10, msg, cug, msg, ibbs, msg, no_name, msg});
  ASSERT_EQ(list_.Size(), 6u);
  auto board = [&](size_t i) {
    return Field(i, 1) + "," + Field(i, 2) + "," + Field(i, 4) + "," + SjisToUtf8(Field(i, 3));
  };
  EXPECT_EQ(board(0), "12,12,BBS,雑談");
  EXPECT_EQ(board(1), "3,35,IBBS,全国");
  EXPECT_EQ(board(2), "7,4,IBBS,七");
  EXPECT_EQ(board(3), "5,5,CUG,仲間");
  EXPECT_EQ(board(4), "41,41,IBBS,網");
  EXPECT_EQ(board(5), "13,13,BBS,");
}

TEST_F(ParseLogTest, NewReplyAndMailFieldsAndOffsets) {
  const std::string title = Sjis("こんにちは");
  const std::string handle = Sjis("たろう");
  Parse({MainMenuLine(), BbsHeader(2, Name()), NewHeader(101, title, 123, handle, "12/01"), "body of 101",
         ResHeaderLine(102, 101), ResFieldsLine("Re:" + title, 7, "MIKE", "12/02"), "body of 102",
         testing::MailScreenLine(), MailHeader(Sjis("件名"), 456, Sjis("はなこ"), "3/4"), "-----", "mail body"});
  ASSERT_EQ(list_.Size(), 3u);
  const auto e0 = list_.Fields(0);
  EXPECT_EQ(e0, (std::vector<std::string>{"1", "2", "2", Name(), "BBS", "123", handle, "101", "-1", "NEW", title,
                                          e0[11], "12/01", ""}));
  EXPECT_EQ(TextLine(0), "body of 101");
  const auto e1 = list_.Fields(1);
  EXPECT_EQ(e1, (std::vector<std::string>{"2", "2", "2", Name(), "BBS", "7", "MIKE", "102", "101", "RES", "Re:" + title,
                                          e1[11], "12/02", ""}));
  EXPECT_EQ(TextLine(1), "body of 102");
  const auto e2 = list_.Fields(2);
  EXPECT_EQ(e2, (std::vector<std::string>{"3", "-100", "-100", Sjis("新着メール"), "MAIL", "456", Sjis("はなこ"), "-2",
                                          "-1", "MAIL", Sjis("件名"), e2[11], "3/4", ""}));
  EXPECT_EQ(TextLine(2), "mail body");  // two lines below the mail header
}

TEST_F(ParseLogTest, ModesDecideWhichHeadersCount) {
  const auto msg = [](int no) { return NewHeader(no, "t", 1, "h", "01/01"); };
  Parse({msg(1),  // before any board: Outside
         MainMenuLine(),
         msg(2),
         BbsHeader(1, Name()),
         msg(3),
         Sjis("●お知らせ"),
         msg(4),  // other "●" lines change nothing
         testing::FswLine(),
         msg(5),  // FSW ends the board
         BbsHeader(1, Name()),
         msg(6),
         testing::MailScreenLine(),  // a mail screen while InBoard
         msg(7),
         MailHeader("m1", 1, "h", "01/01"),
         "-",
         "b",
         BbsHeader(1, Name()),  // a board header while InMail
         MailHeader("m2", 1, "h", "01/01"),
         "-",
         "b",
         msg(8),
         testing::MailSendLine(),  // the mail sending screen: Outside
         msg(9),
         MailHeader("m3", 1, "h", "01/01"),
         "-",
         "b"});
  std::vector<std::string> seen;
  for (size_t i = 0; i < list_.Size(); ++i) seen.push_back(Field(i, 7) + Field(i, 9));
  EXPECT_EQ(seen, (std::vector<std::string>{"3NEW", "4NEW", "6NEW", "-2MAIL", "8NEW"}));
  // The board header after the mail replaces the mail box as the current board.
  EXPECT_EQ(Field(4, 4), "BBS");
}

TEST_F(ParseLogTest, DoubledMailHeaderMakesNoEntryAndIsNotExamined) {
  Parse({testing::MailScreenLine(), MailHeader("first", 1, "a", "01/01"),
         MailHeader("second", 2, "b", "01/02"),  // consumed, not examined
         "-", MailHeader("third", 3, "c", "01/03"), "-", "text"});
  ASSERT_EQ(list_.Size(), 1u);
  EXPECT_EQ(Field(0, 10), "third");
  EXPECT_EQ(Field(0, 0), "1");
}

TEST_F(ParseLogTest, NumbersEndAtABlankOrGoMissing) {
  // Message number followed by blanks and a title starting with digits: the
  // number ends at the first blank after it.
  const std::string runs = "#Fc.   12     34 title";
  std::string blank_numbers = NewHeader(5, "t", 77, "h", "01/01");
  blank_numbers.replace(4, 5, "     ");  // message number gone: title "t" stops the walk
  blank_numbers.replace(47, 4, "    ");  // writer gone: the handle stops the walk
  const std::string too_long = "#Fc.123456789012 t";
  Parse({BbsHeader(1, Name()), runs, blank_numbers, too_long, "#Fc.", ResHeaderLine(9, 3)});  // reply at EOF
  ASSERT_EQ(list_.Size(), 5u);
  EXPECT_EQ(Field(0, 7), "12");
  EXPECT_EQ(Field(1, 7), "-1");
  EXPECT_EQ(Field(1, 5), "-1");
  EXPECT_EQ(Field(2, 7), "-1");  // more digits than 32 bits hold
  EXPECT_EQ(Field(3, 7), "-1");
  EXPECT_EQ(Field(3, 10), "");
  // A reply header on the last line: no fields line, the text starts at the end.
  EXPECT_EQ(Field(4, 8), "3");
  EXPECT_EQ(Field(4, 10), "");
  EXPECT_EQ(list_[4].text_offset, noesc_.size());
}

TEST_F(ParseLogTest, ProgressPerExaminedLine) {
  // Four lines of 8 bytes with CR LF: 32 bytes.
  Parse({"#Fc.  ", "abcdef", "ghijkl", "mnopqr"});
  EXPECT_EQ(progress_.labels, std::vector<std::string>{Sjis("ログファイル読み込み中...")});
  EXPECT_EQ(progress_.positions, (std::vector<int>{25, 50, 75, 100}));

  // 2, 6 and 14 of 16 bytes: 12.5, 37.5 and 87.5 go to the even neighbour.
  ParseBytes("\r\nab\r\ncdefgh\r\n\r\n");
  EXPECT_EQ(progress_.positions, (std::vector<int>{12, 38, 88, 100}));
  std::string res =
      BbsHeader(1, Name()) + "\r\n" + ResHeaderLine(2, 1) + "\r\n" + ResFieldsLine("t", 1, "h", "x") + "\r\n";
  ParseBytes(res);
  EXPECT_EQ(progress_.positions.size(), 2u);  // the fields line is not counted
  ParseBytes("");
  EXPECT_TRUE(list_.Empty());
  EXPECT_TRUE(progress_.positions.empty());
}

TEST_F(ParseLogTest, MissingFileIsAnIoError) {
  MessageList list;
  testing::FakeProgress progress;
  EXPECT_THROW(ParseLog(dir_ + "NOESC.LOG", list, progress), IoError);
}

TEST_F(ParseLogTest, GeneratedCaptureAfterEscapeRemoval) {
  testing::CaptureOptions o;
  o.seed = 3;
  o.ctrl_z = true;
  o.missing_share = 0.05;
  testing::WriteFile(dir_ + "TEST0101.LOG", testing::GenerateCapture(o));
  testing::FakeProgress progress;
  CutEscapes({dir_ + "TEST0101.LOG"}, dir_ + "NOESC.LOG", progress);
  noesc_ = ReadWholeFile(dir_ + "NOESC.LOG");
  ParseLog(dir_ + "NOESC.LOG", list_, progress_);
  ASSERT_GT(list_.Size(), 100u);
  size_t mails = 0;
  for (size_t i = 0; i < list_.Size(); ++i) {
    const MessageEntry& e = list_[i];
    // The fast field writer gives the same 14 texts.
    std::string joined, appended;
    for (const std::string& f : list_.Fields(i)) joined += f + "\t";
    joined.pop_back();
    AppendEntryFields(appended, e, SeqNoAt(i), '\t');
    EXPECT_EQ(appended, joined);
    // Every text starts at the beginning of a line.
    ASSERT_LE(e.text_offset, noesc_.size());
    EXPECT_EQ(noesc_.substr(e.text_offset - 2, 2), "\r\n");
    if (e.IsMail()) {
      ++mails;
      EXPECT_EQ(PreviousLine(i).substr(0, 5), "-----");
    } else {
      EXPECT_NE(e.board_list_no(), -1);
    }
  }
  EXPECT_GT(mails, 0u);
  EXPECT_LE(mails, o.mails);
  EXPECT_EQ(progress_.positions.back(), 100);
  // A board name and a mark longer than the writer's stack buffer.
  MessageEntry long_texts = list_[0];
  EntryContext context = long_texts.Context();
  static const std::string board_name(700, 'B'), mark(600, 'M');  // contexts keep the pointers
  context.board_name = &board_name;
  context.mark = &mark;
  long_texts.context = InternContext(context);
  std::string appended;
  AppendEntryFields(appended, long_texts, 1, '\t');
  EXPECT_EQ(appended.substr(appended.find('B'), 701), board_name + "\t");
  EXPECT_EQ(appended.substr(appended.size() - 601), "\t" + mark);
}

}  // namespace
}  // namespace tobrisk
