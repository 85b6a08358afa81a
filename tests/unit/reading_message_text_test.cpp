#include <gtest/gtest.h>

#include <random>

#include "capture_generator.h"
#include "core/reading/message_text.h"
#include "core/text/files.h"
#include "core/text/io_error.h"
#include "core/text/line_reader.h"
#include "core/text/sjis.h"

namespace tobrisk {
namespace {

class MessageTextTest : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = TrailingSeparator(testing::MakeTempDir()); }
  void TearDown() override { testing::RemoveTree(dir_); }
  // Writes the lines as NOESC.LOG; returns the offset of line `at`.
  uint64_t Write(const std::vector<std::string>& lines, size_t at) {
    std::string bytes;
    uint64_t offset = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
      if (i == at) offset = bytes.size();
      bytes += lines[i] + "\r\n";
    }
    if (at >= lines.size()) offset = bytes.size();
    testing::WriteFile(dir_ + "NOESC.LOG", bytes);
    return offset;
  }
  std::string Text(uint64_t offset) { return ReadMessageText(dir_ + "NOESC.LOG", offset).bytes; }
  std::string dir_;
};

TEST_F(MessageTextTest, EndMarkersInOrder) {
  const std::vector<std::string> ends = {"#Fc.  12 x", Sjis("● [ BBS   1 ]"), "[ AUTO ] on", Sjis("● 受け取り完了"),
                                         Sjis("[ Ｍail ( 受信 ) ]")};
  for (const std::string& end : ends) {
    const uint64_t at = Write({"#Fc.    1", "line one", "", Sjis("●お知らせ"), " #Fc. indented", end, "after"}, 1);
    EXPECT_EQ(Text(at), "line one\r\n\r\n" + Sjis("●お知らせ") + "\r\n #Fc. indented\r\n") << SjisToUtf8(end);
  }
}

TEST_F(MessageTextTest, LastMessageRunsToTheEndOfTheFile) {
  const uint64_t at = Write({"#Fc.    1", "a", "b", ""}, 1);
  EXPECT_EQ(Text(at), "a\r\nb\r\n\r\n");
}

TEST_F(MessageTextTest, ShownTextLeavesOutControlBytesButTab) {
  // NUL, BEL, a LF inside a line, DEL and the rest would show as boxes; the file
  // keeps them, the text as shown does not. Shift-JIS around them stays whole.
  const std::string line = std::string("a\0\0b\x07\tc\nd\x7f\x01", 11) + Sjis("表示");
  const uint64_t at = Write({"#Fc.    1", line, "\x1f"}, 1);
  EXPECT_EQ(Text(at), "ab\tcd" + Sjis("表示") + "\r\n\r\n");
  EXPECT_NE(ReadWholeFile(dir_ + "NOESC.LOG").find(line), std::string::npos);
}

TEST_F(MessageTextTest, OffsetsAtAndBeyondTheEnd) {
  const uint64_t end = Write({"#Fc.    1"}, 1);
  MessageText at_end = ReadMessageText(dir_ + "NOESC.LOG", end);
  EXPECT_EQ(at_end.bytes, "");
  EXPECT_FALSE(at_end.offset_past_end);
  // The file changed on disk since it was parsed.
  MessageText beyond = ReadMessageText(dir_ + "NOESC.LOG", end + 1000);
  EXPECT_EQ(beyond.bytes, "");
  EXPECT_TRUE(beyond.offset_past_end);
  EXPECT_THROW(ReadMessageText(dir_ + "MISSING.LOG", 0), IoError);
}

TEST_F(MessageTextTest, LongTextAcrossReadBuffers) {
  std::vector<std::string> lines = {"#Fc.    1"};
  std::string expected;
  for (int i = 0; i < 40000; ++i) {
    lines.push_back(std::string(40, static_cast<char>('a' + i % 26)));
    expected += lines.back() + "\r\n";
  }
  lines.push_back("#Fc.    2");
  EXPECT_EQ(Text(Write(lines, 1)), expected);
}

// Texts are cut in one pass where their lines end in CR, and line by line
// otherwise; both must give what reading the file line by line gives, whatever
// the lines hold, wherever a read starts or stops, and wherever the reader's
// windows of the file end.
TEST_F(MessageTextTest, TextsEqualTheLineByLineCutOfRandomFiles) {
  const std::vector<std::string> markers = {"#Fc.", Sjis("● ["), "[ AUTO ]", Sjis("● 受け取り"), Sjis("[ Ｍail (")};
  const std::vector<std::string> pieces = {
      "ab",   "\t",   std::string(1, '\0'), "\x01", "\n", "\r",  "\r\n",    "\r\n",
      "\r\n", "\x7f", Sjis("表"),           "#",    "[",  "#Fc", Sjis("●"), "[ AUTO"};
  std::mt19937 rng(1208);
  for (int file = 0; file < 12; ++file) {
    std::string bytes;
    std::vector<uint64_t> starts = {0};
    while (bytes.size() < 150000) {
      const unsigned pick = rng() % 100;
      if (pick < 8) {
        bytes += markers[rng() % markers.size()] + (rng() % 2 == 0 ? "\r\n" : "");
      } else if (pick < 10) {
        bytes += std::string(rng() % 6000, 'x');  // past the first look and a window's end
      } else if (pick == 10 && rng() % 8 == 0) {
        bytes += '\x1a';  // Ctrl-Z ends the file
      } else {
        bytes += pieces[rng() % pieces.size()];
      }
      if (!bytes.empty() && bytes.back() == '\n') starts.push_back(bytes.size());
    }
    testing::WriteFile(dir_ + "NOESC.LOG", bytes);
    MessageTextReader reader(dir_ + "NOESC.LOG");
    MessageText reused;  // read into again and again, as the export does
    for (int read = 0; read < 400; ++read) {
      const uint64_t offset = starts[rng() % starts.size()];
      // A stop counts after the offset only.
      const uint64_t stop = rng() % 2 == 0 ? MessageTextReader::kNoStop : starts[rng() % starts.size()];
      std::string expected;
      bool expected_stop = false;
      LineReader lines(kInMemory, bytes, offset);
      std::string_view line;
      for (;;) {
        if (lines.Position() == stop && stop > offset) {
          expected_stop = true;
          break;
        }
        if (!lines.Next(line)) break;
        bool ends = false;
        for (const std::string& marker : markers) ends = ends || line.substr(0, marker.size()) == marker;
        if (ends) break;
        AppendShownLine(line, expected);
        expected += "\r\n";
      }
      const MessageText text = reader.Read(offset, stop);
      ASSERT_EQ(text.bytes, expected) << "file " << file << " offset " << offset << " stop " << stop;
      ASSERT_EQ(text.reached_stop, expected_stop) << "file " << file << " offset " << offset << " stop " << stop;
      reader.Read(offset, stop, 0, reused);
      ASSERT_EQ(reused.bytes, expected) << "file " << file << " offset " << offset << " stop " << stop;
      ASSERT_EQ(reused.reached_stop, expected_stop);
    }
  }
}

}  // namespace
}  // namespace tobrisk
