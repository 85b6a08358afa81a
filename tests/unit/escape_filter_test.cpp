#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <future>
#include <random>
#include <thread>

#include "capture_generator.h"
#include "fakes.h"
#include "core/reading/escape_filter.h"
#include "core/reading/log_parser.h"
#include "core/reading/message_entry.h"
#include "core/reading/open_logs.h"
#include "core/text/files.h"
#include "core/text/io_error.h"
#include "core/text/sjis.h"

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
  EXPECT_EQ(Filter("A\x08"
                   "B"),
            "AB");  // backspace dropped, not applied
  EXPECT_EQ(Filter("line\x1b"), "line");
  EXPECT_EQ(Filter("\x1b[1\x08m x"), " x");  // backspace inside a sequence
  EXPECT_EQ(Filter("\x1b\x1b[0mx"), "x");    // a second ESC starts the next sequence
  EXPECT_EQ(Filter(std::string("a\0b\tc\nd", 7)), std::string("a\0b\tc\nd", 7));
  const std::string kanji = "\x83\x6d";  // "マ": its second byte is "m"
  EXPECT_EQ(Filter(kanji + "x"), kanji + "x");
}

TEST(FilterEscapes, ASequenceEndsAtItsOwnFinalByte) {
  // Cursor and erase sequences before a header, as real screens start their lines.
  EXPECT_EQ(Filter("\x1b[K#Fc.  102"), "#Fc.  102");
  EXPECT_EQ(Filter("\x1b[2J\x1b[H" + Sjis("● [ CUG   3 ]")), Sjis("● [ CUG   3 ]"));
  EXPECT_EQ(Filter("\x1b[HWelcome to m"), "Welcome to m");
  EXPECT_EQ(Filter("a \x1b[22Cword"), "a word");
  EXPECT_EQ(Filter(Sjis("羅生門の下で") + "\x1b[5C" + Sjis("雨やみを待っていた。") + "\x1b[0m"),
            Sjis("羅生門の下で雨やみを待っていた。"));
  EXPECT_EQ(Filter("\x1b[?25l\x1b[1;24r\x1b[>0;1cx"), "x");  // private parameters, intermediates
  // Window titles run through BEL or ESC "\\", whatever they hold.
  EXPECT_EQ(Filter("\x1b]0;vi m.txt\x07"
                   "text"),
            "text");
  EXPECT_EQ(Filter("\x1b]2;" + Sjis("題") +
                   "\x1b\\"
                   "text"),
            "text");
  // Character sets and single-byte sequences.
  EXPECT_EQ(Filter("\x1b(B\x1b)0x\x1b"
                   "7y\x1bMz\x1b=w"),
            "xyzw");
  // Any other byte ends the sequence where it stands and is kept.
  EXPECT_EQ(Filter("\x1b[1" + Sjis("マ") + "x"), Sjis("マ") + "x");
  EXPECT_EQ(Filter("\x1b" + Sjis("表")), Sjis("表"));
  EXPECT_EQ(Filter(std::string("\x1b[1\0x", 5)), std::string("\0x", 2));
  EXPECT_EQ(Filter("\x1b(\x1b[0mx"), "x");
  EXPECT_EQ(Filter("\x1b]0;unended title"), "");  // nothing carries to the next line
}

TEST(FilterEscapes, ColourOnlyLinesComeOutAsBefore) {
  // The earlier rule (a sequence ran through the next "m") on lines whose only
  // sequences set colours: the output must not change by a byte.
  auto through_m = [](std::string_view line) {
    std::string out;
    bool in = false;
    for (char c : line) {
      if (c == '\x08') continue;
      if (c == '\x1b') {
        in = true;
      } else if (in) {
        in = c != 'm';
      } else {
        out.push_back(c);
      }
    }
    return out;
  };
  const std::vector<std::string> pieces = {
      "\x1b[0m", "\x1b[1;33;44m", "\x1b[m",    "\x1b[37m", "text m ", " ", Sjis("マ表示『新着』"), "\x08",
      "\t",      "[ ]",           "#Fc.  104", "\x1b[1;3"};
  std::mt19937 rng(7);
  for (int round = 0; round < 2000; ++round) {
    std::string line;
    const int count = static_cast<int>(rng() % 12);
    for (int k = 0; k < count; ++k) line += pieces[rng() % (pieces.size() - 1)];
    if (rng() % 4 == 0) line += pieces.back();  // cut off by the line end
    ASSERT_EQ(Filter(line), through_m(line)) << line;
  }
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
  const std::string a = Write("a.log",
                              "\x1b[1mone\r\ntwo\rthree\nfour\r\n\x1a"
                              "junk\r\n");
  const std::string b = Write("b.log", "");
  const std::string c = Write("c.log", "last");
  CutEscapes({a, b, c}, dir_ + "NOESC.LOG", progress_);
  EXPECT_EQ(ReadWholeFile(dir_ + "NOESC.LOG"), "one\r\ntwo\r\nthree\nfour\r\nlast\r\n");
  ASSERT_EQ(progress_.labels.size(), 1u);
  EXPECT_EQ(progress_.labels[0], Sjis("エスケープシーケンスカット中..."));
  EXPECT_EQ(progress_.positions.size(), 4u);
  EXPECT_EQ(progress_.positions.back(), 100);
}

TEST_F(CutEscapesTest, CaptureWithoutAnyCrTakesLfAsItsLineEnd) {
  // Decided per capture: LF-only inputs (one ending before a Ctrl-Z that has a
  // CR behind it) next to one with a CR, which keeps its lone LF as content.
  const std::string lf = Write("lf.log", "\x1b[1mone\ntwo\n\nthree");
  const std::string cr = Write("cr.log", "four\nfive\r\n");
  const std::string z = Write("z.log",
                              "six\n\x1a"
                              "seven\r\n");
  CutEscapes({lf, cr, z}, dir_ + "NOESC.LOG", progress_);
  EXPECT_EQ(ReadWholeFile(dir_ + "NOESC.LOG"), "one\r\ntwo\r\n\r\nthree\r\nfour\nfive\r\nsix\r\n");
  EXPECT_EQ(progress_.positions.back(), 100);

  // Such a capture holds its messages, in the program and in the one-pass reading.
  const std::string capture =
      testing::BbsHeader(1, Sjis("雑談")) + "\n" + testing::NewHeader(7, "t", 12, "h", "01/02") + "\nbody\n";
  const std::string log = Write("ABCD0101.LOG", capture);
  CutEscapes({log}, dir_ + "NOESC.LOG", progress_);
  MessageList two_steps;
  ParseLog(dir_ + "NOESC.LOG", two_steps, progress_);
  MessageList one_pass;
  ParseLogWhileCuttingEscapes({log}, nullptr, one_pass);
  ASSERT_EQ(two_steps.Size(), 1u);
  ASSERT_EQ(one_pass.Size(), 1u);
  EXPECT_EQ(two_steps[0].message_no, 7);
  EXPECT_EQ(one_pass.Fields(0), two_steps.Fields(0));
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

// The one-pass paths (the command-line tool's, keeping the text in memory; the
// program's, writing it to the file) must give exactly what the two steps give:
// the same NOESC.LOG bytes and the same entries with the same offsets.
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
    std::string one_pass_text;
    ParseLogWhileCuttingEscapes(inputs, CollectInto(&one_pass_text), one_pass);
    const MessageList written = ReadLogsWritingEscapeFree(inputs, dir_ + "ONE.LOG", progress_);
    ASSERT_EQ(one_pass_text, ReadWholeFile(dir_ + "TWO.LOG"));
    ASSERT_EQ(ReadWholeFile(dir_ + "ONE.LOG"), one_pass_text);
    ASSERT_GT(two_steps.Size(), 0u);
    ASSERT_EQ(one_pass.Size(), two_steps.Size());
    ASSERT_EQ(written.Size(), two_steps.Size());
    for (size_t i = 0; i < one_pass.Size(); ++i) {
      ASSERT_EQ(one_pass.Fields(i), two_steps.Fields(i)) << "seed " << seed << " entry " << i;
      ASSERT_EQ(written.Fields(i), two_steps.Fields(i)) << "seed " << seed << " entry " << i;
    }
  }
  MessageList none;
  EXPECT_THROW(ParseLogWhileCuttingEscapes({dir_ + "missing.log"}, nullptr, none), IoError);
}

// The entries' room is reserved from the inputs' size and faulted in ahead of
// the parser while the reading thread waits. Bare headers, far denser than any
// capture, outgrow that room: the list moves while the reading thread works on
// the room it had, and every entry must still come out right.
TEST_F(CutEscapesTest, HeadersDenserThanTheReservedRoomAllComeOut) {
  std::string capture = testing::BbsHeader(1, Sjis("雑談")) + "\r\n";
  constexpr int32_t kHeaders = 150000;  // 1.6 MB: more pieces than are read ahead
  for (int32_t i = 1; i <= kHeaders; ++i) capture += "#Fc." + std::to_string(i) + "\r\n";
  MessageList list;
  std::string text;
  ParseLogWhileCuttingEscapes({Write("dense.log", capture)}, CollectInto(&text), list);
  ASSERT_EQ(text, capture);
  ASSERT_EQ(list.Size(), static_cast<size_t>(kHeaders));
  size_t offset = capture.find("#Fc.");
  for (int32_t i = 1; i <= kHeaders; ++i) {
    const MessageEntry& e = list[static_cast<size_t>(i - 1)];
    offset = capture.find("\r\n", offset) + 2;
    ASSERT_EQ(e.message_no, i);
    ASSERT_EQ(static_cast<size_t>(e.text_offset), offset);
  }
}

// The reading thread does its idle work without the lock, while this thread may
// be filtering a piece itself and signal that it is done. Were that signal lost,
// both threads would wait for ever: with idle work slow enough to be under way
// at that moment, every reading must still come to its end.
TEST_F(CutEscapesTest, IdleWorkOfTheReadingThreadLosesNoSignal) {
  std::string capture;
  constexpr size_t kLines = 12000;  // a little over two pieces: this thread filters the first while the other reads
  for (size_t i = 0; i < kLines; ++i) capture += "line \x1b[1mbold\x1b[0m " + std::to_string(i) + "\r\n";
  const std::string input = Write("two-pieces.log", capture);
  constexpr size_t kReadings = 200;
  auto runs = std::async(std::launch::async, [&input] {
    size_t lines = 0;
    for (size_t i = 0; i < kReadings; ++i) {
      std::string text;
      EscapeFilteringReader reader({input}, CollectInto(&text));
      reader.WhileWaiting([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        return false;
      });
      std::string_view line;
      while (reader.Next(line)) ++lines;
    }
    return lines;
  });
  if (runs.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
    ADD_FAILURE() << "a reading never came to its end";
    std::abort();  // the waiting threads cannot be stopped
  }
  EXPECT_EQ(runs.get(), kReadings * kLines);
}

// Captures are read in pieces, runs of plain CR LF lines taken over whole: the
// text and lines must not depend on where a piece ends. Random captures of lone
// CRs and LFs, CR LF pairs, control bytes, lines longer than the first chunk
// read and than a piece, and a Ctrl-Z give the same text as the line-by-line
// reading CutEscapes does.
TEST_F(CutEscapesTest, ChunkedReadingAgreesWithLineByLineReading) {
  std::mt19937 rng(2026);
  const std::vector<std::string> fragments = {"\r\n",       "\r\n",    "\r\n", "\r",     "\n",
                                              "\r\r\n",     "\x1b[1m", "\x1b", "\x08",   "\x1b]title\x07",
                                              Sjis("漢字"), "text ",   "#Fc.", "\n#Fc.", "\n["};
  for (int round = 0; round < 12; ++round) {
    std::string capture;
    const size_t size = 600000 + rng() % 400000;
    while (capture.size() < size) {
      const unsigned pick = rng() % 4000;
      if (pick == 0) {
        capture.append(300000 + rng() % 300000, 'x');  // longer than a piece
      } else if (pick < 3) {
        capture.append(70000 + rng() % 70000, 'x');  // longer than the first chunk
      } else if (pick < 2400) {
        capture.append(rng() % 40, 'a');
      } else {
        capture += fragments[rng() % fragments.size()];
      }
    }
    if (round % 3 == 1) capture.insert(capture.size() - rng() % 1000, "\x1a");
    if (round % 4 == 2) capture.push_back('\r');  // a CR as the last byte
    const std::string log = Write("chunks.log", capture);
    CutEscapes({log}, dir_ + "LINES.LOG", progress_);
    const std::string expected = ReadWholeFile(dir_ + "LINES.LOG");
    std::string sunk;
    std::string text;
    EscapeFilteringReader reader({log}, CollectInto(&sunk));
    std::string_view line;
    while (reader.Next(line)) {
      ASSERT_EQ(line.find('\r'), std::string_view::npos);
      text.append(line).append("\r\n");
      ASSERT_EQ(reader.Position(), text.size());
    }
    ASSERT_TRUE(text == expected) << "round " << round;
    ASSERT_TRUE(sunk == expected) << "round " << round;

    // Stepping over lines hands out the others where they stand (a lone LF
    // followed by "#" starts no line).
    auto wanted_first = [](std::string_view l) { return !l.empty() && (l[0] == '[' || l[0] == '\x81' || l[0] == '#'); };
    std::string wanted;
    for (size_t from = 0; from < expected.size();) {
      const size_t cr = expected.find('\r', from);
      const std::string_view l(expected.data() + from, cr - from);
      from = cr + 2;
      if (wanted_first(l)) wanted.append(l).append("@" + std::to_string(from) + "\n");
    }
    std::string stepped;
    EscapeFilteringReader skipping({log}, nullptr);
    for (;;) {
      skipping.SkipLinesNotStartingWith('[', '\x81', '#');
      if (!skipping.Next(line)) break;
      stepped.append(line).append("@" + std::to_string(skipping.Position()) + "\n");
    }
    ASSERT_TRUE(stepped == wanted) << "round " << round;
  }
}

// The line source reads ahead on its own thread in pieces: a capture of many
// pieces comes out line for line as the file CutEscapes writes, a failing input
// after it is reported once every line before it is out, so is a failing sink
// once the lines it took are out, and a source left half-read is closed without
// waiting for the rest.
TEST_F(CutEscapesTest, LineSourceReadingAheadKeepsLinesPositionsAndErrorsInOrder) {
  testing::CaptureOptions o;
  o.target_bytes = 3 << 20;
  const std::string big = Write("big.log", testing::GenerateCapture(o));
  CutEscapes({big}, dir_ + "BIG.LOG", progress_);
  const std::string expected = ReadWholeFile(dir_ + "BIG.LOG");

  EscapeFilteringReader reader({big, dir_ + "missing.log"}, nullptr);
  std::string text;
  std::string_view line;
  bool failed = false;
  try {
    while (reader.Next(line)) {
      text.append(line).append("\r\n");
      ASSERT_EQ(reader.Position(), text.size());
    }
  } catch (const IoError&) {
    failed = true;
  }
  EXPECT_TRUE(failed);
  ASSERT_EQ(text.size(), expected.size());
  EXPECT_TRUE(text == expected);

  // A sink that fails (a full disk) ends the lines where the text it took ends.
  std::string sunk;
  int pieces = 0;
  EscapeFilteringReader failing({big}, [&](std::string_view piece) {
    if (++pieces == 3) throw IoError("write", "NOESC.LOG", "No space left on device");
    sunk.append(piece);
  });
  text.clear();
  failed = false;
  try {
    while (failing.Next(line)) text.append(line).append("\r\n");
  } catch (const IoError&) {
    failed = true;
  }
  EXPECT_TRUE(failed);
  EXPECT_FALSE(sunk.empty());
  EXPECT_TRUE(text == sunk);

  EscapeFilteringReader half_read({big}, nullptr);
  ASSERT_TRUE(half_read.Next(line));
}

}  // namespace
}  // namespace tobrisk
