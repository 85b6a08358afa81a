#include <gtest/gtest.h>

#include "core/text/io_error.h"
#include "core/writing/composition_file.h"
#include "core/writing/message_templates.h"
#include "writing_test_fixture.h"

namespace tobrisk {
namespace {

using testing::Lines;
using testing::WritingFixture;

// NOESC.LOG with some lines before the message text, the text itself and what
// follows it; returns the text's offset.
uint64_t WriteLog(WritingFixture& f, const std::string& text, const std::string& after) {
  const std::string before = Sjis("#Fc.345 前のヘッダー\r\n書込者の行\r\n");
  testing::WriteFile(f.state.WorkFile("NOESC.LOG"), before + text + after);
  return before.size();
}

TEST(CompositionFile, NameFromTheClock) {
  EXPECT_EQ(CompositionFileName({2026, 12, 6, 9, 30, 15}), "1206093015.TXT");
  EXPECT_EQ(CompositionFileName({1997, 1, 2, 0, 0, 0}), "0102000000.TXT");
}

TEST(CompositionFile, BlankFileHoldsThePlaceholderAlone) {
  WritingFixture f;
  testing::WriteFile(f.TmpFile("a.TXT"), "old content that is replaced\r\nmore\r\n");
  PrepareBlankFile(f.state, "a.TXT");
  EXPECT_EQ(f.Read(f.TmpFile("a.TXT")), Sjis("{ここにタイトルを書いて下さい}\r\n"));
}

TEST(CompositionFile, QuotedResWorkedExample) {
  WritingFixture f;
  const uint64_t offset =
      WriteLog(f, Sjis("こんにちは。\r\n\r\n　元気ですか。\r\n"), Sjis("#Fc.346 次のメッセージ\r\n次の本文\r\n"));
  const size_t i = f.AddMessage(BoardType::BBS, 12, "BOARD", 345, 10, Sjis("はなこ"), offset);
  PrepareQuotedFile(f.state, "1206093015.TXT", offset, i, HeaderKind::Res);
  EXPECT_EQ(f.Read(f.TmpFile("1206093015.TXT")),
            Lines({Sjis("{ここにタイトルを書いて下さい}"), Sjis("[ はなこさんへのレスです. BBS12 / Fc.345 ]"), "",
                   Sjis(">こんにちは。"), Sjis(">元気ですか。")}));
}

TEST(CompositionFile, HeaderKindsAndTemplates) {
  WritingFixture f;
  const uint64_t offset = WriteLog(f, "abc\r\n", "");
  const size_t i = f.AddMessage(BoardType::CUG, 7, Sjis("雑談"), 20, 10, Sjis("はなこ"), offset);
  f.state.settings.mv_res_message_header_pos = kAlignRight;
  PrepareQuotedFile(f.state, "m.TXT", offset, i, HeaderKind::MovedRes);
  const std::string moved = Sjis("[ 雑談 より、はなこさんへの移動レスです. CUG7 / Fc.20 ]");
  EXPECT_EQ(f.Read(f.TmpFile("m.TXT")),
            Lines({TitlePlaceholder(), std::string(78 - moved.size(), ' ') + moved, "", ">abc"}));

  // A reply mail never gets a header, whatever the templates hold.
  PrepareQuotedFile(f.state, "r.TXT", offset, i, HeaderKind::None);
  EXPECT_EQ(f.Read(f.TmpFile("r.TXT")), Lines({TitlePlaceholder(), ">abc"}));

  // An empty template gives neither the header nor the empty line after it.
  f.state.settings.res_message_header.clear();
  PrepareQuotedFile(f.state, "e.TXT", offset, i, HeaderKind::Res);
  EXPECT_EQ(f.Read(f.TmpFile("e.TXT")), Lines({TitlePlaceholder(), ">abc"}));

  // A template of spaces only is not empty: it gives its line and the empty line.
  f.state.settings.res_message_header = "$H";
  f.state.settings.res_message_header_pos = kAlignCentre;
  PrepareQuotedFile(f.state, "c.TXT", offset, i, HeaderKind::Res);
  EXPECT_EQ(f.Read(f.TmpFile("c.TXT")), Lines({TitlePlaceholder(), std::string(36, ' ') + Sjis("はなこ"), "", ">abc"}));
}

TEST(CompositionFile, QuoteEndsAtEveryMarkerAndAtTheEndOfTheLog) {
  const std::vector<std::string> markers = {Sjis("#Fc."), Sjis("● [ 12 ]"), Sjis("[ AUTO ] x"), Sjis("● 受け取り確認")};
  for (const std::string& marker : markers) {
    WritingFixture f;
    const uint64_t offset = WriteLog(f, "one\r\n", marker + "\r\nnever quoted\r\n");
    const size_t i = f.AddMessage(BoardType::BBS, 1, "b", 1, 1, "h", offset);
    PrepareQuotedFile(f.state, "q.TXT", offset, i, HeaderKind::None);
    EXPECT_EQ(f.Read(f.TmpFile("q.TXT")), Lines({TitlePlaceholder(), ">one"})) << SjisToUtf8(marker);
  }
  // Lines that only look like markers are quoted; the last message runs to the end.
  WritingFixture f;
  const std::string text = Sjis("●だけ\r\n#Fc\r\n[ AUTO\r\n● 受け\r\n最後の行");
  const uint64_t offset = WriteLog(f, text, "");
  const size_t i = f.AddMessage(BoardType::BBS, 1, "b", 1, 1, "h", offset);
  PrepareQuotedFile(f.state, "q.TXT", offset, i, HeaderKind::None);
  EXPECT_EQ(f.Read(f.TmpFile("q.TXT")),
            Lines({TitlePlaceholder(), Sjis(">●だけ"), ">#Fc", ">[ AUTO", Sjis(">● 受け"), Sjis(">最後の行")}));
  // An offset at or beyond the end gives the title (and header) alone.
  PrepareQuotedFile(f.state, "z.TXT", 1'000'000, i, HeaderKind::None);
  EXPECT_EQ(f.Read(f.TmpFile("z.TXT")), Lines({TitlePlaceholder()}));
}

TEST(CompositionFile, EmptyLinesFollowCutRet) {
  WritingFixture f;
  const uint64_t offset = WriteLog(f, "a\r\n\r\n   \r\nb\r\n", "#Fc.9\r\n");
  const size_t i = f.AddMessage(BoardType::BBS, 1, "b", 1, 1, "h", offset);
  PrepareQuotedFile(f.state, "0.TXT", offset, i, HeaderKind::None);
  EXPECT_EQ(f.Read(f.TmpFile("0.TXT")), Lines({TitlePlaceholder(), ">a", ">b"}));
  f.state.settings.cut_ret = 1;
  PrepareQuotedFile(f.state, "1.TXT", offset, i, HeaderKind::None);
  EXPECT_EQ(f.Read(f.TmpFile("1.TXT")), Lines({TitlePlaceholder(), ">a", ">", ">", ">b"}));
  f.state.settings.cut_ret = 7;  // anything but 0 keeps them
  PrepareQuotedFile(f.state, "7.TXT", offset, i, HeaderKind::None);
  EXPECT_EQ(f.Read(f.TmpFile("7.TXT")), f.Read(f.TmpFile("1.TXT")));
}

TEST(CompositionFile, QuotationMarksAndUncutLines) {
  WritingFixture f;
  const uint64_t offset = WriteLog(f, Sjis("abc\r\n \t　x\r\n"), "");
  const size_t i = f.AddMessage(BoardType::BBS, 1, "b", 1, 1, "h", offset);
  f.state.settings.quotation_marks = "> ";
  f.state.settings.cut_space = 1;
  f.state.settings.cut_tab = 1;
  PrepareQuotedFile(f.state, "q.TXT", offset, i, HeaderKind::None);
  EXPECT_EQ(f.Read(f.TmpFile("q.TXT")), Lines({TitlePlaceholder(), "> abc", Sjis(">  \t　x")}));
}

TEST(CompositionFile, StripLeadingBlanksInItsTwoPasses) {
  const std::string fw = Sjis("　");
  // blank, full-width blank, tab, blank, full-width blank, tab: all six go.
  EXPECT_EQ(StripLeadingBlanks(" " + fw + "\t " + fw + "\tx", 0, 0), "x");
  // tab, blank, tab, blank: the final blank stays.
  EXPECT_EQ(StripLeadingBlanks("\t \t x", 0, 0), " x");
  // Runs are cut whole; blanks inside the line are kept.
  EXPECT_EQ(StripLeadingBlanks("   " + fw + fw + "a  b", 0, 0), "a  b");
  EXPECT_EQ(StripLeadingBlanks("\t\t a", 1, 0), " a");   // tabs only
  EXPECT_EQ(StripLeadingBlanks(" \t a", 0, 1), "\t a");  // blanks only
  EXPECT_EQ(StripLeadingBlanks(" \t a", 1, 1), " \t a");
  // Two passes reach two runs of each kind: the third stays.
  EXPECT_EQ(StripLeadingBlanks(fw + " " + fw + " " + fw + "z", 0, 1), " " + fw + "z");
  EXPECT_EQ(StripLeadingBlanks("", 0, 0), "");
  // A full-width character that is no blank is never split.
  EXPECT_EQ(StripLeadingBlanks(Sjis("あ　"), 0, 0), Sjis("あ　"));
}

TEST(CompositionFile, MissingLogFailsAndLeavesTheFileAlone) {
  WritingFixture f;
  const size_t i = f.AddMessage(BoardType::BBS, 1, "b", 1, 1, "h", 0);
  EXPECT_THROW(PrepareQuotedFile(f.state, "q.TXT", 0, i, HeaderKind::Res), IoError);
  EXPECT_FALSE(FileExists(f.TmpFile("q.TXT")));
  testing::WriteFile(f.TmpFile("q.TXT"), "kept");
  EXPECT_THROW(PrepareQuotedFile(f.state, "q.TXT", 0, i, HeaderKind::Res), IoError);
  EXPECT_EQ(f.Read(f.TmpFile("q.TXT")), "kept");
  // A tmp folder that is gone fails too.
  testing::WriteFile(f.state.WorkFile("NOESC.LOG"), "x\r\n");
  testing::RemoveTree(f.root + "/tmp");
  EXPECT_THROW(PrepareQuotedFile(f.state, "q.TXT", 0, i, HeaderKind::Res), IoError);
  EXPECT_THROW(PrepareBlankFile(f.state, "q.TXT"), IoError);
}

TEST(CompositionFile, ReadFirstLineAcceptsEveryLineEnd) {
  WritingFixture f;
  const std::string p = f.TmpFile("t.TXT");
  const std::pair<std::string, std::string> cases[] = {{Sjis("題名\r\n本文"), Sjis("題名")},
                                                       {"title\nbody\n", "title"},
                                                       {"title\rbody", "title"},
                                                       {"only", "only"},
                                                       {"", ""},
                                                       {"\r\nbody", ""},
                                                       {"t\x1a"
                                                        "junk",
                                                        "t"}};
  for (const auto& [bytes, first] : cases) {
    testing::WriteFile(p, bytes);
    EXPECT_EQ(ReadFirstLine(p), first);
  }
  EXPECT_THROW(ReadFirstLine(f.TmpFile("missing.TXT")), IoError);
}

TEST(CompositionFile, ReadBackDecidesUtf8ThenShiftJisThenRefuses) {
  using Kind = CompositionText::Kind;
  // UTF-8 with Japanese in it is converted, a leading byte-order mark dropped.
  const std::string utf8 = "題名\r\n本文です。\nｶﾅ〜\n";
  for (const std::string& bytes : {utf8, "\xEF\xBB\xBF" + utf8}) {
    const CompositionText t = DecideCompositionText(bytes);
    EXPECT_EQ(t.kind, Kind::Utf8);
    EXPECT_EQ(t.sjis, Sjis(utf8));
  }
  // Shift-JIS (and plain ASCII) is used byte for byte, even where its pairs do not
  // round-trip through Unicode.
  for (const std::string& bytes :
       {Sjis("題名\r\n本文です。\r\n"), std::string("title\r\nbody\r\n"), std::string("\x87\x40\xED\x40\r\n")}) {
    const CompositionText t = DecideCompositionText(bytes);
    EXPECT_EQ(t.kind, Kind::ShiftJis);
    EXPECT_EQ(t.sjis, bytes);
    EXPECT_EQ(CompositionRefusalText("a.TXT", t), "");
  }
  // Neither: broken Shift-JIS that is no UTF-8 either (an overlong UTF-8 form counts as broken).
  for (const std::string& bytes : {std::string("ok\r\n\x82\xA0\xFF"), std::string("\xC0\xAF\x82")}) {
    const CompositionText t = DecideCompositionText(bytes);
    EXPECT_EQ(t.kind, Kind::Neither);
    EXPECT_EQ(t.sjis, "");
    EXPECT_EQ(CompositionRefusalText("0305123456.TXT", t),
              Sjis("メッセージテンポファイル[0305123456.TXT]はShift-JISでもUTF-8でもありません。"));
  }
  // UTF-8 with a character that has no Shift-JIS form: refused, naming its line
  // (CR LF, CR and LF each end one), never written as "?".
  const CompositionText t = DecideCompositionText("題名\r\n一行目\r二行目\n三行目の😀です\n");
  EXPECT_EQ(t.kind, Kind::Unmappable);
  EXPECT_EQ(t.sjis, "");
  EXPECT_EQ(t.bad_line, 4u);
  EXPECT_EQ(t.bad_char, U'\U0001F600');
  EXPECT_EQ(CompositionRefusalText("a.TXT", t),
            Sjis("メッセージテンポファイル[a.TXT]の4行目にShift-JISで書けない文字(U+1F600)があります。"));

  // The file form reads the whole file; a missing file is an IoError.
  WritingFixture f;
  testing::WriteFile(f.TmpFile("u.TXT"), utf8);
  EXPECT_EQ(ReadCompositionFile(f.TmpFile("u.TXT")).sjis, Sjis(utf8));
  EXPECT_THROW(ReadCompositionFile(f.TmpFile("missing.TXT")), IoError);
}

}  // namespace
}  // namespace tobrisk
