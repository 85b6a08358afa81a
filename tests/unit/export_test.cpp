#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <random>
#include <regex>

#include "capture_generator.h"
#include "core/export/message_export.h"
#include "fakes.h"
#include "core/reading/log_parser.h"
#include "core/reading/message_entry.h"
#include "core/reading/message_sort.h"
#include "core/reading/message_text.h"
#include "core/reading/message_tree.h"
#include "core/text/files.h"
#include "core/text/io_error.h"
#include "core/text/line_reader.h"
#include "core/text/sjis.h"

namespace tobrisk {
namespace {

namespace fs = std::filesystem;

class Export : public ::testing::Test {
 protected:
  void TearDown() override { testing::RemoveTree(dir_); }

  // Mails, then board 1: `threads` NEW messages, each followed by `replies` chained replies.
  void Build(size_t mails, size_t threads, size_t replies) {
    for (size_t i = 0; i < mails; ++i) Add(BoardType::MAIL, -2, MessageKind::Mail, -1);
    int32_t no = 1;
    for (size_t t = 0; t < threads; ++t) {
      Add(BoardType::BBS, no, MessageKind::New, -1);
      for (size_t r = 0; r < replies; ++r, ++no) Add(BoardType::BBS, no + 1, MessageKind::Res, no);
      ++no;
    }
    tree_ = BuildMessageTree(list_);
    WriteTexts([](size_t index) { return "text " + std::to_string(index) + "\r\n"; });
    source_.messages = &list_;
    source_.tree = &tree_;
    source_.log_header = "ABCD";
    source_.years.capture = {2026, 12, 31};
  }
  // The escape-free text: each message's text, then a header line that ends it.
  void WriteTexts(const std::function<std::string(size_t)>& text) {
    std::string noesc;
    for (size_t i = 0; i < list_.Size(); ++i) {
      list_[i].text_offset = noesc.size();
      noesc += text(i) + "#Fc.\r\n";
    }
    testing::WriteFile(dir_ + "NOESC.LOG", noesc);
    reader_ = std::make_unique<MessageTextReader>(dir_ + "NOESC.LOG");
    source_.texts = reader_.get();
  }
  void Add(BoardType type, int32_t no, MessageKind kind, int32_t res_to) {
    MessageEntry e;
    const int32_t board_no = type == BoardType::MAIL ? -100 : 1;
    e.context = list_.Context(
        {.board_list_no = board_no,
         .board_no = board_no,
         .board_name = list_.Intern(type == BoardType::MAIL ? Sjis("新着メール")
                                                            : Sjis("雑談　　 ")),  // padded as the host pads it
         .mark = list_.Intern(type == BoardType::MAIL ? "-" : ""),
         .board_type = type,
         .kind = kind});
    e.message_no = no;
    e.res_to_no = res_to;
    e.writer_handle.Assign("h");
    e.title.Assign("t");
    e.write_date.Assign("12/01");
    list_.Append(e);
  }
  ExportOptions Options(ExportFormat format, const std::string& name) {
    ExportOptions o;
    o.format = format;
    o.out = dir_ + name;
    return o;
  }
  std::vector<std::string> Folder() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  std::string dir_ = testing::MakeTempDir("tobrisk-export") + "/";
  MessageList list_;
  MessageTree tree_;
  ExportSource source_;
  std::unique_ptr<MessageTextReader> reader_;
  testing::FakeProgress progress_;
};

TEST_F(Export, EmptyLogsAndLogsOfOnlyMailsGiveCompleteOutputs) {
  Build(0, 0, 0);
  ExportMessages(source_, Options(ExportFormat::Mbox, "empty.mbox"), progress_);
  ExportMessages(source_, Options(ExportFormat::Text, "empty.txt"), progress_);
  ExportMessages(source_, Options(ExportFormat::Html, "empty"), progress_);
  EXPECT_EQ(ReadWholeFile(dir_ + "empty.mbox"), "");
  EXPECT_EQ(ReadWholeFile(dir_ + "empty.txt"), "");
  EXPECT_NE(ReadWholeFile(dir_ + "empty/index.html").find("新着メール</td><td class=\"n\">0</td>"), std::string::npos);

  list_.Clear();
  Build(3, 0, 0);
  ExportMessages(source_, Options(ExportFormat::Html, "mails"), progress_);
  const std::string index = ReadWholeFile(dir_ + "mails/index.html");
  EXPECT_NE(index.find("<a href=\"mail.html\">新着メール</a></td><td class=\"n\">3</td><td>2026/12/01</td>"),
            std::string::npos)
      << index;
  const std::string mails = ReadWholeFile(dir_ + "mails/mail.html");
  EXPECT_NE(mails.find("<li id=\"n3\" class=\"u\"><a href=\"mail-t1.html#m3\">"), std::string::npos) << mails;
  ExportMessages(source_, Options(ExportFormat::Mbox, "mails.mbox"), progress_);
  const std::string mbox = ReadWholeFile(dir_ + "mails.mbox");
  EXPECT_EQ(mbox.find("In-Reply-To"), std::string::npos);
  EXPECT_NE(mbox.find("Message-ID: <mail.3@abcd.tobrisk.invalid>"), std::string::npos);
}

TEST_F(Export, MessageIdsStayUniqueWhenABoardComesBackUnderAnotherName) {
  // Board 1 listed twice (renamed between captures), board 2 between: number 5 on each.
  const auto add = [this](int32_t list_no, int32_t board_no, const char* name) {
    MessageEntry e;
    e.context = list_.Context({.board_list_no = list_no,
                               .board_no = board_no,
                               .board_name = list_.Intern(name),
                               .board_type = BoardType::BBS,
                               .kind = MessageKind::New});
    e.message_no = 5;
    list_.Append(e);
  };
  add(1, 1, "a");
  add(2, 2, "b");
  add(3, 1, "c");
  add(3, 1, "c");
  tree_ = BuildMessageTree(list_);
  WriteTexts([](size_t) { return std::string("x\r\n"); });
  source_.messages = &list_;
  source_.tree = &tree_;
  source_.log_header = "ABCD";
  source_.years.capture = {2026, 12, 31};
  ExportMessages(source_, Options(ExportFormat::Mbox, "ids.mbox"), progress_);
  const std::string mbox = ReadWholeFile(dir_ + "ids.mbox");
  std::vector<std::string> ids;
  const std::regex id("Message-ID: <([^@]*)@");
  for (auto it = std::sregex_iterator(mbox.begin(), mbox.end(), id); it != std::sregex_iterator(); ++it) {
    ids.push_back((*it)[1]);
  }
  EXPECT_EQ(ids, (std::vector<std::string>{"bbs1.5", "bbs2.5", "bbs1.5.2", "bbs1.5.3"}));
}

TEST_F(Export, CancelledExportLeavesNothingAndAnExistingOutputIsReplacedOnlyWithForce) {
  Build(2, 600, 1);
  fs::create_directory(dir_ + "site");
  testing::WriteFile(dir_ + "site/index.html", "old export");
  testing::WriteFile(dir_ + "out.mbox", "old");
  const std::vector<std::string> before = Folder();
  for (ExportFormat format : {ExportFormat::Mbox, ExportFormat::Text, ExportFormat::Html}) {
    ExportOptions o = Options(format, format == ExportFormat::Html ? "site" : "out.mbox");
    o.force = true;
    o.cancelled = [] { return true; };
    EXPECT_THROW(ExportMessages(source_, o, progress_), ExportCancelled);
    EXPECT_EQ(Folder(), before);
    o.force = false;
    o.cancelled = nullptr;
    EXPECT_THROW(ExportMessages(source_, o, progress_), IoError);
  }
  EXPECT_EQ(ReadWholeFile(dir_ + "site/index.html"), "old export");
  EXPECT_EQ(ReadWholeFile(dir_ + "out.mbox"), "old");
  ExportOptions o = Options(ExportFormat::Html, "site");
  o.force = true;
  ExportMessages(source_, o, progress_);
  EXPECT_EQ(Folder(), before);
  EXPECT_NE(ReadWholeFile(dir_ + "site/index.html").find("<!DOCTYPE html>"), std::string::npos);
  EXPECT_EQ(progress_.positions.back(), 100);
  // A write that fails names the file as the folder will hold it; the old export stays.
  try {
    testing::FileSizeLimit full_disk(4096);
    ExportMessages(source_, o, progress_);
    ADD_FAILURE() << "the write did not fail";
  } catch (const IoError& e) {
    EXPECT_TRUE(e.Path().starts_with(dir_ + "site/")) << e.Path();
  }
  EXPECT_EQ(Folder(), before);
  // Texts are read on a second thread: one that cannot be read fails the export
  // as on the writing thread, and nothing is left behind either.
  fs::remove(dir_ + "NOESC.LOG");
  reader_ = std::make_unique<MessageTextReader>(dir_ + "NOESC.LOG");
  source_.texts = reader_.get();
  const std::vector<std::string> unreadable = Folder();
  for (ExportFormat format : {ExportFormat::Mbox, ExportFormat::Text, ExportFormat::Html}) {
    EXPECT_THROW(ExportMessages(source_, Options(format, "new"), progress_), IoError);
    EXPECT_EQ(Folder(), unreadable);
  }
}

TEST_F(Export, OnlyAFileIsReplacedAndALinkIsWrittenThrough) {
  // As root, "--out /dev/stdout --force" replaced the system's link with a plain file.
  Build(1, 1, 0);
  ASSERT_EQ(::mkfifo((dir_ + "pipe").c_str(), 0600), 0);
  fs::create_symlink(dir_ + "pipe", dir_ + "to-pipe");
  testing::WriteFile(dir_ + "target.txt", "old");
  fs::create_symlink(dir_ + "target.txt", dir_ + "link");
  for (const char* name : {"pipe", "to-pipe"}) {
    ExportOptions o = Options(ExportFormat::Text, name);
    o.force = true;
    try {
      ExportMessages(source_, o, progress_);
      ADD_FAILURE() << name << " was replaced";
    } catch (const IoError& e) {
      EXPECT_NE(std::string(e.what()).find("はファイルではありません。"), std::string::npos) << e.what();
    }
  }
  EXPECT_TRUE(fs::is_fifo(dir_ + "pipe"));
  EXPECT_TRUE(fs::is_symlink(dir_ + "to-pipe"));
  ExportOptions o = Options(ExportFormat::Text, "link");
  o.force = true;
  ExportMessages(source_, o, progress_);
  EXPECT_TRUE(fs::is_symlink(dir_ + "link"));
  EXPECT_NE(ReadWholeFile(dir_ + "target.txt").find("#Fc.00001"), std::string::npos);
}

TEST_F(Export, BigBoardIsCutIntoPagesBetweenThreadsAndSelectionsFollowTheTree) {
  // 3,000 threads of a message and two chained replies: 9,000 messages on one board.
  Build(0, 3000, 2);
  ExportMessages(source_, Options(ExportFormat::Html, "site"), progress_);
  size_t tree_pages = 0;
  size_t entries = 0;
  for (const auto& e : fs::directory_iterator(dir_ + "site")) {
    const std::string name = e.path().filename().string();
    const std::string page = ReadWholeFile(e.path().string());
    EXPECT_LT(page.size(), 1u << 20) << name;
    if (std::regex_match(name, std::regex("b1(-[0-9]+)?\\.html"))) {
      ++tree_pages;
      const size_t here = static_cast<size_t>(std::count(page.begin(), page.end(), '\n'));
      entries += here;
      // A page starts with a thread's first message at the top level.
      const size_t first = page.find("<ul class=\"tree\">\n<li ");
      ASSERT_NE(first, std::string::npos) << name;
      EXPECT_EQ(page.find("\n<ul>\n", first) - page.find("</a>", first) < 80, true) << name;
    }
  }
  EXPECT_GE(tree_pages, 3u);
  // The message with its replies, and the whole thread from any message in it.
  EXPECT_EQ(RepliesSelection(tree_, 4), (std::vector<size_t>{4, 5}));
  EXPECT_EQ(ThreadSelection(tree_, 5), (std::vector<size_t>{3, 4, 5}));
  EXPECT_EQ(BoardSelection(list_, 7).size(), 9000u);
  ExportOptions o = Options(ExportFormat::Mbox, "thread.mbox");
  o.all = false;
  o.selection = ThreadSelection(tree_, 5);
  ExportMessages(source_, o, progress_);
  const std::string mbox = ReadWholeFile(dir_ + "thread.mbox");
  size_t messages = 0;
  for (size_t at = mbox.find("\nFrom: "); at != std::string::npos; at = mbox.find("\nFrom: ", at + 1)) ++messages;
  EXPECT_EQ(messages, 3u);
  EXPECT_NE(mbox.find("Message-ID: <bbs1.5@abcd.tobrisk.invalid>\nIn-Reply-To: <bbs1.4@abcd.tobrisk.invalid>"),
            std::string::npos)
      << mbox;
  EXPECT_NE(mbox.find("\nX-Tobrisk-Board: BBS 1 =?UTF-8?B?6ZuR6KuH?=\n"), std::string::npos) << mbox;  // 雑談, unpadded
}

// The text view's rule read plainly: lines from the offset up to a line that
// starts another screen or header.
std::string ReferenceText(const std::string& path, uint64_t offset) {
  std::string text;
  LineReader reader(path, offset);
  std::string_view line;
  const std::string markers[] = {"#Fc.", Sjis("● ["), "[ AUTO ]", Sjis("● 受け取り"), Sjis("[ Ｍail (")};
  while (reader.Next(line)) {
    for (const std::string& m : markers) {
      if (line.substr(0, m.size()) == m) return text;
    }
    AppendShownLine(line, text);
    text.append("\r\n");
  }
  return text;
}

// The exporter reads texts through one open file, the work folder's or a
// nameless temporary one: exactly what the text view gets, however the texts
// lie in the file (long mails, the end).
TEST_F(Export, ALongReplyChainStopsNestingAndGoesOnOverPagesNamingWhatEachReplyAnswers) {
  Build(0, 1, 4100);  // #Fc.00001 and 4,100 replies, each to the one before
  ExportMessages(source_, Options(ExportFormat::Html, "site"), progress_);
  const std::string page = ReadWholeFile(dir_ + "site/b1.html");
  size_t lists = 0;
  for (size_t at = page.find("<ul>"); at != std::string::npos; at = page.find("<ul>", at + 1)) ++lists;
  EXPECT_EQ(lists, 15u);  // 16 levels
  EXPECT_EQ(page.find("\xE2\x86\xB3#Fc.00015<"), std::string::npos);
  size_t last = 0;
  for (int no = 17; no <= 41; ++no) {
    const std::string answered = "<span class=\"up\">\xE2\x86\xB3#Fc.000" + std::to_string(no - 1) + "</span>";
    const size_t at = page.find(answered + " <a href=\"b1-t1.html#m" + std::to_string(no) + "\">");
    ASSERT_NE(at, std::string::npos) << no;
    EXPECT_GT(at, last);
    last = at;
  }
  // 2,000 entries a page: the next page goes on with the thread.
  EXPECT_NE(
      ReadWholeFile(dir_ + "site/b1-2.html")
          .find("<ul class=\"tree\">\n<li id=\"n2001\" class=\"u\"><span class=\"up\">\xE2\x86\xB3#Fc.02000</span>"),
      std::string::npos);
  EXPECT_TRUE(fs::exists(dir_ + "site/b1-3.html"));
  EXPECT_FALSE(fs::exists(dir_ + "site/b1-4.html"));
}

TEST(ExportTexts, ReaderGivesTheTextViewsTextFromTheFileAndFromATemporaryFile) {
  const std::string dir = testing::MakeTempDir("tobrisk-export-texts") + "/";
  testing::CaptureOptions o = testing::BenchCaptureOptions(1);
  o.ctrl_z = true;
  testing::WriteFile(dir + "capture.LOG", testing::GenerateCapture(o));
  MessageList list;
  std::string noesc;
  ParseLogWhileCuttingEscapes({dir + "capture.LOG"}, CollectInto(&noesc), list);
  testing::WriteFile(dir + "NOESC.LOG", noesc);
  ScratchFile scratch;
  scratch.Append(noesc);
  MessageTextReader from_file(dir + "NOESC.LOG");
  MessageTextReader from_scratch(scratch);
  ASSERT_GT(list.Size(), 1000u);
  for (size_t step : {size_t{1}, size_t{7}}) {  // forwards, and jumping about
    for (size_t k = 0; k < list.Size(); ++k) {
      const uint64_t offset = list[(k * step) % list.Size()].text_offset;
      const std::string expected = ReferenceText(dir + "NOESC.LOG", offset);
      ASSERT_EQ(from_file.Read(offset).bytes, expected) << offset;
      ASSERT_EQ(from_scratch.Read(offset).bytes, expected) << offset;
    }
  }
  EXPECT_TRUE(from_file.Read(noesc.size() + 1).offset_past_end);
  EXPECT_TRUE(from_scratch.Read(noesc.size() + 1).offset_past_end);
  EXPECT_EQ(from_scratch.Read(noesc.size()).bytes, "");
  testing::RemoveTree(dir);
}

// The texts of a mail box run on to its end and share their tails, which are
// read and converted once: the export gives the same bytes as exporting each
// message alone, whose text is read and converted whole, in whatever order the
// list holds the mails.
TEST(ExportTexts, SharedTailsGiveTheSameBytesAsEachTextAlone) {
  const std::string dir = testing::MakeTempDir("tobrisk-export-tails") + "/";
  testing::CaptureOptions o = testing::BenchCaptureOptions(1);
  o.ctrl_z = true;
  testing::WriteFile(dir + "capture.LOG", testing::GenerateCapture(o));
  MessageList list;
  ScratchFile noesc;
  ParseLogWhileCuttingEscapes(
      {dir + "capture.LOG"}, [&](std::string_view b) { noesc.Append(b); }, list);
  testing::FakeProgress progress;
  SortMessages(list, progress);
  size_t mails = 0;
  for (size_t i = 0; i < list.Size(); ++i) mails += list[i].IsMail() ? 1 : 0;
  ASSERT_GT(mails, 20u);
  MessageTextReader reader(noesc);
  // The mails of a box first to last, last to first, and every text in an
  // order that jumps about the file (the texts read ahead of each jump).
  for (const int order : {0, 1, 2}) {
    if (order == 1) {
      for (size_t i = 0; i < list.Size() / 2; ++i) std::swap(list[i], list[list.Size() - 1 - i]);
    }
    if (order == 2) {
      std::mt19937 random(7);
      for (size_t i = list.Size(); i > 1; --i) std::swap(list[i - 1], list[random() % i]);
    }
    const MessageTree tree = BuildMessageTree(list);
    ExportSource source;
    source.messages = &list;
    source.tree = &tree;
    source.texts = &reader;
    source.log_header = "ABCD";
    source.years.capture = {2026, 12, 31};
    for (ExportFormat format : {ExportFormat::Mbox, ExportFormat::Text}) {
      // The mails and some of the board messages.
      ExportOptions all;
      all.format = format;
      all.out = dir + "all";
      all.force = true;
      all.all = false;
      for (size_t i = 0; i < list.Size(); ++i) {
        if (list[i].IsMail() || i % 64 == 0) all.selection.push_back(i);
      }
      ExportMessages(source, all, progress);
      std::string alone;
      for (size_t i : all.selection) {
        ExportOptions one = all;
        one.out = dir + "one";
        one.selection = {i};
        ExportMessages(source, one, progress);
        alone += ReadWholeFile(dir + "one");
      }
      ASSERT_EQ(ReadWholeFile(dir + "all"), alone);
    }
  }
  testing::RemoveTree(dir);
}

TEST_F(Export, LongTextsEndATextPageEarly) {
  Build(300, 0, 0);  // 300 mails of 8 KB each
  WriteTexts([](size_t) { return std::string(8000, 'x') + "\r\n"; });
  ExportMessages(source_, Options(ExportFormat::Html, "site"), progress_);
  size_t pages = 0;
  for (const auto& e : fs::directory_iterator(dir_ + "site")) {
    if (e.path().filename().string().rfind("mail-t", 0) != 0) continue;
    ++pages;
    EXPECT_LT(fs::file_size(e.path()), 512u * 1024) << e.path();
  }
  EXPECT_GE(pages, 5u);
  // Every entry of the tree page links to the text page that holds it.
  const std::string tree = ReadWholeFile(dir_ + "site/mail.html");
  const std::regex link("href=\"(mail-t[0-9]+\\.html)#(m[0-9]+)\"");
  size_t links = 0;
  for (auto it = std::sregex_iterator(tree.begin(), tree.end(), link); it != std::sregex_iterator(); ++it, ++links) {
    EXPECT_NE(ReadWholeFile(dir_ + "site/" + (*it)[1].str()).find("id=\"" + (*it)[2].str() + "\""), std::string::npos);
  }
  EXPECT_EQ(links, 300u);
}

TEST_F(Export, ControlBytesInAFieldLeaveAHeaderLineWhole) {
  // A lone LF inside a capture line ends up in a field, as can other control bytes.
  Build(0, 1, 0);
  list_[0].title.Assign(std::string_view("Re\nnext\x01", 8));
  list_[0].writer_handle.Assign(std::string_view("h\0i", 3));
  ExportMessages(source_, Options(ExportFormat::Text, "out.txt"), progress_);
  EXPECT_EQ(ReadWholeFile(dir_ + "out.txt"), "■ BBS1:雑談 #Fc.00001 【hi】 2026/12/01 Renext\ntext 0\n\n");
  ExportMessages(source_, Options(ExportFormat::Mbox, "out.mbox"), progress_);
  const std::string mbox = ReadWholeFile(dir_ + "out.mbox");
  EXPECT_NE(mbox.find("\nFrom: \"hi\" <unknown@"), std::string::npos) << mbox;
  EXPECT_NE(mbox.find("\nSubject: Renext\n"), std::string::npos) << mbox;
}

TEST(ExportDates, YearsComeFromTheCaptureOrTheYearGiven) {
  ExportYears y;
  y.capture = {2027, 1, 5};
  EXPECT_EQ(DateOfWriteDate("12/30", y).year, 2026);
  EXPECT_EQ(DateOfWriteDate("01/05", y).year, 2027);
  EXPECT_EQ(DateOfWriteDate(" 1/ 6", y).year, 2027);  // unreadable: the capture's date
  EXPECT_EQ(DateOfWriteDate("02/29", y).day, 5);      // not in 2026: the capture's date
  y.fixed_year = true;
  y.year = 1996;
  const ExportDate d = DateOfWriteDate("02/29", y);
  EXPECT_EQ(std::tie(d.year, d.month, d.day), std::make_tuple(1996, 2, 29));
}

}  // namespace
}  // namespace tobrisk
