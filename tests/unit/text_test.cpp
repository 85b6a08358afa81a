#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "capture_generator.h"
#include "core/text/bytes.h"
#include "core/text/files.h"
#include "core/text/inline_text.h"
#include "core/text/line_reader.h"
#include "core/text/io_error.h"
#include "core/text/sjis.h"
#include <filesystem>
#include <random>

namespace tobrisk {
namespace {

std::vector<std::pair<std::string, uint64_t>> ReadAll(std::string_view bytes, LineEnds ends = LineEnds::Capture) {
  LineReader reader(kInMemory, bytes, ends);
  std::vector<std::pair<std::string, uint64_t>> lines;
  std::string_view line;
  while (reader.Next(line)) lines.emplace_back(std::string(line), reader.Position());
  return lines;
}

using Lines = std::vector<std::pair<std::string, uint64_t>>;

TEST(LineReader, CaptureLineModel) {
  EXPECT_EQ(ReadAll("a\r\nb\rc"), (Lines{{"a", 3}, {"b", 5}, {"c", 6}}));
  EXPECT_EQ(ReadAll("a\nb\r\n"), (Lines{{"a\nb", 5}}));  // a lone LF is content
  EXPECT_EQ(ReadAll("\r\n\r\n"), (Lines{{"", 2}, {"", 4}}));
  EXPECT_EQ(ReadAll(""), Lines{});
  EXPECT_EQ(ReadAll("ab\x1a"
                    "cd\r\n"),
            (Lines{{"ab", 2}}));  // Ctrl-Z ends the file
  EXPECT_EQ(ReadAll("ab\r\n\x1a"
                    "cd"),
            (Lines{{"ab", 4}}));
  EXPECT_EQ(ReadAll("\x1a"), Lines{});
  EXPECT_EQ(ReadAll("a\r\r\nb"), (Lines{{"a", 2}, {"", 4}, {"b", 5}}));
}

TEST(LineReader, AnyLineEndsForEditorFiles) {
  EXPECT_EQ(ReadAll("a\nb\r\nc\rd", LineEnds::Any), (Lines{{"a", 2}, {"b", 5}, {"c", 7}, {"d", 8}}));
}

TEST(LineReader, FileReaderMatchesMemoryReaderAcrossBufferEdges) {
  const std::string dir = testing::MakeTempDir();
  // A long line crossing the 1 MiB buffer, a CR LF split across the edge, Ctrl-Z at the end.
  std::string data(1 << 20, 'x');
  data[(1 << 20) - 1] = '\r';
  data += "\nshort\r" + std::string(3 << 20, 'y') +
          "\r\nend\x1a"
          "junk";
  testing::WriteFile(dir + "/f.log", data);
  LineReader file(dir + "/f.log");
  LineReader memory(kInMemory, data);
  std::string_view a, b;
  size_t count = 0;
  while (memory.Next(b)) {
    ASSERT_TRUE(file.Next(a));
    EXPECT_EQ(a, b);
    EXPECT_EQ(file.Position(), memory.Position());
    ++count;
  }
  EXPECT_FALSE(file.Next(a));
  EXPECT_EQ(count, 4u);
  EXPECT_EQ(MeasureCapture(dir + "/f.log"), data.find('\x1a'));
  testing::RemoveTree(dir);
}

TEST(LineReader, MissingFileThrows) { EXPECT_THROW(LineReader("/nonexistent/x.log"), IoError); }

// A pattern one byte longer than the overlap is seen once wherever it lies,
// across every read of the file, and nothing after the Ctrl-Z is scanned.
TEST(LineReader, MeasureCaptureScanSeesEveryPatternOnce) {
  const std::string dir = testing::MakeTempDir();
  std::string data(5 << 20, '.');
  size_t placed = 0;
  // Across every 64 KiB edge, with 1, 2 or 3 of its bytes before the edge.
  for (size_t edge = 1 << 16; edge < data.size(); edge += 1 << 16, ++placed) {
    data.replace(edge - 1 - placed % 3, 4, "#Fc.");
  }
  data += "\x1a#Fc.";
  testing::WriteFile(dir + "/f.log", data);
  size_t seen = 0;
  const uint64_t end = MeasureCapture(
      dir + "/f.log",
      [&seen](std::string_view part) {
        for (size_t at = part.find("#Fc."); at != std::string_view::npos; at = part.find("#Fc.", at + 1)) ++seen;
      },
      3);
  EXPECT_EQ(end, data.size() - 5);
  EXPECT_EQ(seen, placed);
  EXPECT_THROW(MeasureCapture(dir + "/missing.log"), IoError);
  testing::RemoveTree(dir);
}

TEST(FieldReaders, ReadNumberAt) {
  EXPECT_EQ(ReadNumberAt("#Fc.  123 abc", 5), 123);
  EXPECT_EQ(ReadNumberAt("12 3x", 1), 12);  // a blank after a digit ends the number
  EXPECT_EQ(ReadNumberAt("   ", 1), -1);
  EXPECT_EQ(ReadNumberAt("abc", 10), -1);  // beyond the line
  EXPECT_EQ(ReadNumberAt("x12", 1), -1);
  EXPECT_EQ(ReadNumberAt("2147483647", 1), 2147483647);
  EXPECT_EQ(ReadNumberAt("2147483648", 1), -1);  // too long for 32 bits
  EXPECT_EQ(ReadNumberAt("12345678901234567890", 1), -1);
}

TEST(FieldReaders, TextBetweenTrimAndFields) {
  EXPECT_EQ(TextBetween("a(bc)d", "(", ")"), "bc");
  EXPECT_EQ(TextBetween("a)b(c", "(", ")"), "");  // close before open
  EXPECT_EQ(TextBetween("a(b", "(", ")"), "");
  EXPECT_EQ(TextBetween("()", "(", ")"), "");
  EXPECT_EQ(Trim(" \t a b \x01"), "a b");
  std::mt19937 rng(33);  // fields of every width, blanks and control bytes mixed with kept bytes
  const char kBytes[] = {'\0', '\t', ' ', '!', 'a', '\x7f', '\x80', '\xff'};
  for (int round = 0; round < 20000; ++round) {
    std::string field(rng() % 41, ' ');
    for (char& c : field) c = kBytes[rng() % 4 == 0 ? rng() % 8 : rng() % 3];
    size_t begin = 0, end = field.size();
    while (begin < end && static_cast<unsigned char>(field[begin]) <= 0x20) ++begin;
    while (end > begin && static_cast<unsigned char>(field[end - 1]) <= 0x20) --end;
    ASSERT_EQ(Trim(field), std::string_view(field).substr(begin, end - begin)) << round;
  }
  EXPECT_EQ(Trim(Sjis("　a　")), Sjis("　a　"));  // a full-width blank stays
  EXPECT_EQ(FieldAt("abcdef", 3, 2), "cd");
  EXPECT_EQ(FieldAt("abcdef", 5, 10), "ef");
  EXPECT_EQ(FieldAt("abc", 4, 1), "");
  EXPECT_TRUE(MarkerAt("xx#Fc.", 3, "#Fc."));
  EXPECT_FALSE(MarkerAt("xx#Fc", 3, "#Fc."));
}

TEST(FieldReaders, CompactRecordFieldsKeepWhatTheyHold) {
  // Offsets past 4 GiB keep their high byte; padded text keeps NULs and blanks inside it.
  for (const uint64_t offset : {uint64_t{0}, uint64_t{0xFFFFFFFF}, uint64_t{0x1234567890}, PackedOffset::kLimit - 1}) {
    EXPECT_EQ(static_cast<uint64_t>(PackedOffset(offset)), offset);
  }
  EXPECT_EQ(PaddedText<5>(std::string_view("a\0 b", 4)).View(), std::string_view("a\0 b", 4));
  EXPECT_EQ(PaddedText<5>("123456").View(), "12345");
  EXPECT_TRUE(PaddedText<5>("").Empty());
}

TEST(FieldReaders, RoundedPercentHalvesToEven) {
  EXPECT_EQ(RoundedPercent(140, 400), 35);
  EXPECT_EQ(RoundedPercent(1, 8), 12);  // 12.5 -> 12
  EXPECT_EQ(RoundedPercent(3, 8), 38);  // 37.5 -> 38
  EXPECT_EQ(RoundedPercent(1, 3), 33);
  EXPECT_EQ(RoundedPercent(2, 3), 67);
  EXPECT_EQ(RoundedPercent(5, 5), 100);
}

TEST(FieldReaders, PercentTrackerAgreesWithRoundedPercent) {
  for (uint64_t total : {1u, 3u, 8u, 199u, 200u, 201u, 1000u, 12345u}) {
    PercentTracker tracker(total);
    for (uint64_t done = 0; done <= total; ++done) {
      ASSERT_EQ(tracker.Update(done), RoundedPercent(done, total)) << done << "/" << total;
    }
  }
  PercentTracker big(uint64_t{100} << 20);
  for (uint64_t done = 0; done <= (uint64_t{100} << 20); done += 997) {
    ASSERT_EQ(big.Update(done), RoundedPercent(done, uint64_t{100} << 20));
  }
}

TEST(FieldReaders, ByteBuilderKeepsEveryPieceAcrossItsGrowth) {
  // Pieces of every copy size CopyBytes has, numbers and room written through,
  // past several growths, against the same text made with std::string.
  ByteBuilder built;
  std::string expected;
  for (size_t i = 0; i < 400; ++i) {
    const std::string piece(i % 300, static_cast<char>('a' + i % 26));
    built.Put(piece);
    expected += piece;
    built.PutDecimal(-static_cast<int64_t>(i) * 1000003);
    expected += std::to_string(-static_cast<int64_t>(i) * 1000003);
    char* at = built.Room(3);
    *at++ = '<';
    built.End(at);
    expected += '<';
  }
  EXPECT_EQ(built.View(), expected);
  built.Clear();
  built.Put('x');
  EXPECT_EQ(built.View(), "x");
}

TEST(Paths, TrailingSeparatorAndFileName) {
  EXPECT_EQ(TrailingSeparator("/logs"), "/logs/");
  EXPECT_EQ(TrailingSeparator("/"), "/");
  EXPECT_EQ(TrailingSeparator(""), "/");
  EXPECT_EQ(FileNameOf("/a/b/ABCD0101.LOG"), "ABCD0101.LOG");
  EXPECT_EQ(FileNameOf("plain"), "plain");
}

TEST(Paths, LogHeaderFromTheFileNameInShiftJis) {
  // "\" and ":" are characters of a name here, and names are UTF-8: the header
  // is taken from the name converted to Shift-JIS.
  EXPECT_EQ(FileNameOf("/logs/C:AB\\CD.LOG"), "C:AB\\CD.LOG");
  EXPECT_EQ(LogHeaderOf("/logs/C:ABCD.LOG"), "C:AB");
  EXPECT_EQ(LogHeaderOf("/logs/x\\abcd0101.log"), "X\\AB");
  EXPECT_EQ(LogHeaderOf("/logs/abcd0101.log"), "ABCD");
  EXPECT_EQ(LogHeaderOf("/logs/" + std::string("\xe8\xa1\xa8") + "ABCD.LOG"), Sjis("表") + "AB");
  EXPECT_EQ(LogHeaderOf("/logs/" + std::string("\xef\xbe\x89\xef\xbe\x99\xef\xbd\xb0\xef\xbe\x84") + "0101.LOG"),
            Sjis("ﾉﾙｰﾄ"));
  // A name that is not UTF-8 (copied over in Shift-JIS) keeps its bytes.
  EXPECT_EQ(LogHeaderOf("/logs/" + Sjis("ﾉﾙｰﾄ") + "0101.LOG"), Sjis("ﾉﾙｰﾄ"));
  EXPECT_EQ(FileNameInSjis("/logs/" + std::string("\xe8\xa1\xa8") + ".LOG"), Sjis("表") + ".LOG");
}

TEST(Paths, WorkFilesIgnoreTheCaseOfTheirNames) {
  const std::string dir = TrailingSeparator(testing::MakeTempDir());
  EXPECT_EQ(WorkFilePath(dir, "ABCD.RAD"), dir + "ABCD.RAD");  // nothing there yet
  testing::WriteFile(dir + "abcd.BRD", "x");
  EXPECT_EQ(WorkFilePath(dir, "ABCD.BRD"), dir + "abcd.BRD");  // the existing file, whatever its case
  EXPECT_EQ(WorkFilePath(dir, "abcd.BRD"), dir + "abcd.BRD");
  EXPECT_EQ(WorkFilePath(dir, "ABCE.BRD"), dir + "ABCE.BRD");
  testing::RemoveTree(dir);
}

TEST(Sjis, ConvertsBothWaysAndNeverCrashesOnJunk) {
  EXPECT_EQ(SjisToUtf8(Sjis("ログファイル")), "ログファイル");
  EXPECT_EQ(Sjis("ｴﾗｰ"), "\xb4\xd7\xb0");
  EXPECT_EQ(SjisToUtf8("a\x82"), "a\xEF\xBF\xBD");  // truncated double-byte character
  EXPECT_EQ(SjisToUtf8("\xff"), "\xEF\xBF\xBD");
  EXPECT_EQ(Utf8ToSjis("a\xff"
                       "b"),
            "a?b");
  EXPECT_TRUE(SjisRoundTrips(Sjis("新着メール")));
  EXPECT_FALSE(SjisRoundTrips("\x82"));
  std::string junk;
  for (int i = 0; i < 4096; ++i) junk.push_back(static_cast<char>((i * 7919) & 0xFF));
  EXPECT_FALSE(SjisToUtf8(junk).empty());
}

// Buffers written on a thread of their own: the same bytes in the same order,
// and a failed write still reported (the writer never loses an error).
TEST(Files, WrittenBehindGivesTheSameFileAndReportsAFailure) {
  const std::string dir = testing::MakeTempDir();
  std::string expected;
  {
    OutputFile out(dir + "/x");
    out.WriteBehind();
    for (int i = 0; i < 20000; ++i) {
      const std::string line = std::to_string(i) + std::string(static_cast<size_t>(i % 97), 'y') + "\n";
      out.Write(line);
      expected += line;
      if (i == 9000) {  // a piece that goes past the buffers
        out.Write(std::string(OutputFile::kBufferSize + 1, 'z'));
        expected += std::string(OutputFile::kBufferSize + 1, 'z');
      }
    }
    out.Close();
  }
  EXPECT_EQ(ReadWholeFile(dir + "/x"), expected);
  if (FileExists("/dev/full")) {
    EXPECT_THROW(
        {
          OutputFile full("/dev/full");
          full.WriteBehind();
          for (int i = 0; i < 64; ++i) full.Write(std::string(100000, 'x'));
          full.Close();
        },
        IoError);
  }
  testing::RemoveTree(dir);
}

// The work file written again over itself: nothing of a longer earlier content is left.
TEST(Files, OverwriteEndsWhereTheNewContentEnds) {
  const std::string dir = testing::MakeTempDir();
  const std::string path = dir + "/NOESC.LOG";
  auto overwrite = [&](const std::string& text) {
    OutputFile out(path, OutputFile::Mode::Overwrite);
    out.Write(text);
    out.Close();
  };
  overwrite("first and long\r\n");  // no file yet
  EXPECT_EQ(ReadWholeFile(path), "first and long\r\n");
  overwrite("short\r\n");
  EXPECT_EQ(ReadWholeFile(path), "short\r\n");
  overwrite(std::string(OutputFile::kBufferSize + 10, 'x'));
  EXPECT_EQ(ReadWholeFile(path), std::string(OutputFile::kBufferSize + 10, 'x'));
  overwrite("");
  EXPECT_EQ(ReadWholeFile(path), "");
  testing::RemoveTree(dir);
}

TEST(Files, AtomicWriteReplacesWholeFile) {
  const std::string dir = testing::MakeTempDir();
  const std::string path = dir + "/x.txt";
  WriteFileAtomically(path, [](OutputFile& out) { out.WriteLine("old"); });
  EXPECT_EQ(ReadWholeFile(path), "old\r\n");
  EXPECT_THROW(WriteFileAtomically(path,
                                   [](OutputFile& out) {
                                     out.WriteLine("half");
                                     throw IoError("write", "x", "disk full");
                                   }),
               IoError);
  EXPECT_EQ(ReadWholeFile(path), "old\r\n");  // untouched, no temporary left behind
  size_t files = 0;
  for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir)) ++files;
  EXPECT_EQ(files, 1u);
  EXPECT_THROW(WriteFileAtomically(dir + "/missing/x.txt", [](OutputFile&) {}), IoError);
  testing::RemoveTree(dir);
}

}  // namespace
}  // namespace tobrisk

namespace tobrisk {
namespace {

// The table decoder must agree with iconv byte for byte, on every character and
// on junk: lone lead bytes, bad trail bytes, bytes iconv does not decode.
TEST(Files, RewriteKeepsTheModeAndWritesThroughSymlinks) {
  const std::string dir = testing::MakeTempDir("tobrisk-files");
  const std::string file = dir + "/UPL0305.TXT";
  testing::WriteFile(file, "old");
  ASSERT_EQ(::chmod(file.c_str(), 0600), 0);
  WriteFileAtomically(file, [](OutputFile& out) { out.Write("new"); });
  struct stat st {};
  ASSERT_EQ(::stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);

  // A relative link in another folder, and a chain of two links: the target is
  // replaced, the links stay links.
  CreateDirectory(dir + "/links");
  ASSERT_EQ(::symlink("../UPL0305.TXT", (dir + "/links/a.RAD").c_str()), 0);
  ASSERT_EQ(::symlink((dir + "/links/a.RAD").c_str(), (dir + "/b.RAD").c_str()), 0);
  WriteFileAtomically(dir + "/b.RAD", [](OutputFile& out) { out.Write("through"); });
  EXPECT_EQ(ReadWholeFile(file), "through");
  ASSERT_EQ(::lstat((dir + "/b.RAD").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  ASSERT_EQ(::lstat((dir + "/links/a.RAD").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  ASSERT_EQ(::stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);

  // A link whose target does not exist yet creates the target; a loop is a file error.
  ASSERT_EQ(::symlink("fresh.BRD", (dir + "/c.BRD").c_str()), 0);
  WriteFileAtomically(dir + "/c.BRD", [](OutputFile& out) { out.Write("c"); });
  EXPECT_EQ(ReadWholeFile(dir + "/fresh.BRD"), "c");
  ASSERT_EQ(::symlink("loop2", (dir + "/loop1").c_str()), 0);
  ASSERT_EQ(::symlink("loop1", (dir + "/loop2").c_str()), 0);
  EXPECT_THROW(WriteFileAtomically(dir + "/loop1", [](OutputFile&) {}), IoError);
  testing::RemoveTree(dir);
}

TEST(Sjis, TableDecoderAgreesWithIconv) {
  std::string all;
  for (int lead = 0x80; lead <= 0xFF; ++lead) {
    for (int trail = 0x00; trail <= 0xFF; trail += 1) {
      all.push_back(static_cast<char>(lead));
      all.push_back(static_cast<char>(trail));
      all.push_back('|');
    }
  }
  EXPECT_EQ(SjisToUtf8(all), SjisToUtf8ByIconv(all));
  // Texts long enough to be decoded in blocks: mostly text (ASCII, characters
  // of two bytes, runs of lead-range bytes), and junk bytes among them.
  uint32_t x = 12345;
  auto next = [&x](uint32_t below) {
    x = x * 1103515245 + 12345;
    return (x >> 8) % below;
  };
  for (int round = 0; round < 3000; ++round) {
    std::string junk;
    const uint32_t junk_share = round % 3 == 0 ? 2 : 40;
    for (uint32_t size = 1 + next(400); junk.size() < size;) {
      const uint32_t kind = next(100);
      if (kind < junk_share) {
        junk.push_back(static_cast<char>(next(256)));
      } else if (kind < 45) {
        junk.push_back(static_cast<char>(0x20 + next(0x5F)));
      } else if (kind < 55) {
        junk.push_back(static_cast<char>(0xA1 + next(0x3F)));  // half-width
      } else {
        junk.push_back(static_cast<char>(next(2) == 0 ? 0x81 + next(0x1F) : 0xE0 + next(0x0D)));
        junk.push_back(static_cast<char>(0x40 + next(0xBD)));
      }
    }
    ASSERT_EQ(SjisToUtf8(junk), SjisToUtf8ByIconv(junk)) << round;
  }
  EXPECT_EQ(SjisToUtf8("\x82"), "\xEF\xBF\xBD");
}

}  // namespace
}  // namespace tobrisk
