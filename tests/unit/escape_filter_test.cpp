#include <gtest/gtest.h>

#include "capture_generator.h"
#include "fakes.h"
#include "ingest/escape_filter.h"
#include "ingest/log_parser.h"
#include "ingest/message_entry.h"
#include "text/files.h"
#include "text/io_error.h"
#include "text/sjis.h"

namespace tobrisk {
namespace {

std::string Filter(std::string_view line) {
  std::string out;
  FilterEscapes(line, out);
  return out;
}

TEST(FilterEscapes, Sequences) {
  EXPECT_EQ(Filter("\x1b[1;33mHello"), "Hello");
  EXPECT_EQ(Filter("one \x1b[0m two"), "one  two");
  EXPECT_EQ(Filter("\x1b[2J"), "");
  EXPECT_EQ(Filter("\x1b[HWelcome to m"), "e to m");  // only "m" ends a sequence
  EXPECT_EQ(Filter("A\x08" "B"), "AB");             // backspace dropped, not applied
  EXPECT_EQ(Filter("line\x1b"), "line");
  EXPECT_EQ(Filter("\x1b[1\x08m x"), " x");           // backspace inside a sequence
  EXPECT_EQ(Filter("\x1b\x1b[0mx"), "x");             // a second ESC keeps the sequence open
  EXPECT_EQ(Filter(std::string("a\0b\tc\nd", 7)), std::string("a\0b\tc\nd", 7));
  // A double-byte character whose second byte is "m" (0x6D): whole outside a
  // sequence, swallowed with it inside.
  const std::string kanji = "\x83\x6d";  // "マ"
  EXPECT_EQ(Filter(kanji + "x"), kanji + "x");
  EXPECT_EQ(Filter("\x1b[1" + kanji + "x"), "x");
}

class CutEscapesTest : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = TrailingSeparator(testing::MakeTempDir()); }
  void TearDown() override { testing::RemoveTree(dir_); }
  std::string Write(const std::string& name, std::string_view bytes) {
    testing::WriteFile(dir_ + name, bytes);
    return dir_ + name;
  }
  std::string dir_;
  testing::FakeProgress progress_;
};

TEST_F(CutEscapesTest, LineEndsCtrlZAndSeveralInputs) {
  const std::string a = Write("a.log", "\x1b[1mone\r\ntwo\rthree\nfour\r\n\x1a" "junk\r\n");
  const std::string b = Write("b.log", "");
  const std::string c = Write("c.log", "last");
  CutEscapes({a, b, c}, dir_ + "NOESC.LOG", progress_);
  EXPECT_EQ(ReadWholeFile(dir_ + "NOESC.LOG"), "one\r\ntwo\r\nthree\nfour\r\nlast\r\n");
  ASSERT_EQ(progress_.labels.size(), 1u);
  EXPECT_EQ(progress_.labels[0], Sjis("エスケープシーケンスカット中..."));
  EXPECT_EQ(progress_.positions.size(), 4u);
  EXPECT_EQ(progress_.positions.back(), 100);
}

TEST_F(CutEscapesTest, ProgressCountsBytesOfEveryInput) {
  // 100, 0 and 300 bytes: after the first line of the third input (40 bytes) the position is 35.
  const std::string a = Write("a.log", std::string(98, 'a') + "\r\n");
  const std::string b = Write("b.log", "");
  const std::string c = Write("c.log", std::string(38, 'c') + "\r\n" + std::string(258, 'c') + "\r\n");
  CutEscapes({a, b, c}, dir_ + "NOESC.LOG", progress_);
  EXPECT_EQ(progress_.positions, (std::vector<int>{25, 35, 100}));
}

TEST_F(CutEscapesTest, EmptyInputsGiveEmptyOutput) {
  const std::string a = Write("a.log", "");
  CutEscapes({a}, dir_ + "NOESC.LOG", progress_);
  EXPECT_EQ(ReadWholeFile(dir_ + "NOESC.LOG"), "");
  CutEscapes({}, dir_ + "NOESC.LOG", progress_);
  EXPECT_EQ(ReadWholeFile(dir_ + "NOESC.LOG"), "");
  EXPECT_TRUE(progress_.positions.empty());
}

TEST_F(CutEscapesTest, MissingInputKeepsOldOutputOnlyForOneInput) {
  Write("NOESC.LOG", "previous\r\n");
  EXPECT_THROW(CutEscapes({dir_ + "missing.log"}, dir_ + "NOESC.LOG", progress_), IoError);
  EXPECT_EQ(ReadWholeFile(dir_ + "NOESC.LOG"), "previous\r\n");
  const std::string a = Write("a.log", "x\r\n");
  EXPECT_THROW(CutEscapes({a, dir_ + "missing.log"}, dir_ + "NOESC.LOG", progress_), IoError);
  EXPECT_EQ(ReadWholeFile(dir_ + "NOESC.LOG"), "");  // created first, left empty
}

TEST_F(CutEscapesTest, GeneratedCaptureLosesEveryControlByte) {
  testing::CaptureOptions o;
  o.ctrl_z = true;
  const std::string capture = testing::GenerateCapture(o);
  CutEscapes({Write("g.log", capture)}, dir_ + "NOESC.LOG", progress_);
  const std::string out = ReadWholeFile(dir_ + "NOESC.LOG");
  EXPECT_EQ(out.find('\x1b'), std::string::npos);
  EXPECT_EQ(out.find('\x08'), std::string::npos);
  EXPECT_EQ(out.find('\x1a'), std::string::npos);
  EXPECT_NE(out.find(Sjis("[ Ｍain Ｍenu")), std::string::npos);
  EXPECT_EQ(progress_.positions.back(), 100);
}

}  // namespace
}  // namespace tobrisk

namespace tobrisk {
namespace {

// The command-line tool's one-pass path must give exactly what the program's two
// steps give: the same NOESC.LOG bytes and the same entries with the same offsets.
TEST_F(CutEscapesTest, OnePassGivesTheSameFileAndEntriesAsTheTwoSteps) {
  for (uint32_t seed = 1; seed <= 6; ++seed) {
    testing::CaptureOptions o;
    o.seed = seed;
    o.ctrl_z = seed % 3 == 0;
    std::vector<std::string> inputs = {Write("a" + std::to_string(seed) + ".log", testing::GenerateCapture(o))};
    if (seed % 2 == 0) {  // several inputs, one of them empty
      inputs.push_back(Write("empty.log", ""));
      o.seed += 100;
      inputs.push_back(Write("b" + std::to_string(seed) + ".log", testing::GenerateCapture(o)));
    }
    MessageList two_steps;
    CutEscapes(inputs, dir_ + "TWO.LOG", progress_);
    ParseLog(dir_ + "TWO.LOG", two_steps, progress_);
    MessageList one_pass;
    ParseLogWhileCuttingEscapes(inputs, dir_ + "ONE.LOG", one_pass);
    ASSERT_EQ(ReadWholeFile(dir_ + "ONE.LOG"), ReadWholeFile(dir_ + "TWO.LOG"));
    ASSERT_GT(two_steps.Size(), 0u);
    ASSERT_EQ(one_pass.Size(), two_steps.Size());
    for (size_t i = 0; i < one_pass.Size(); ++i) {
      ASSERT_EQ(EntryFields(one_pass[i]), EntryFields(two_steps[i])) << "seed " << seed << " entry " << i;
    }
  }
  // A missing input stops before the output is touched.
  Write("ONE.LOG", "previous\r\n");
  MessageList none;
  EXPECT_THROW(ParseLogWhileCuttingEscapes({dir_ + "missing.log"}, dir_ + "ONE.LOG", none), IoError);
  EXPECT_EQ(ReadWholeFile(dir_ + "ONE.LOG"), "previous\r\n");
}

}  // namespace
}  // namespace tobrisk
