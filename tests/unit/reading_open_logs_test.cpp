#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

#include "capture_generator.h"
#include "fakes.h"
#include "core/reading/message_text.h"
#include "core/reading/open_logs.h"
#include "core/reading/read_marks.h"
#include "core/text/bytes.h"
#include "core/text/files.h"
#include "core/text/io_error.h"
#include "core/text/sjis.h"

namespace tobrisk {
namespace {

// Records every window step in order.
class FakeView final : public OpenLogsView {
 public:
  void ClearMessageGrid() override { calls.push_back("ClearMessageGrid"); }
  void ClearMessageTree() override { calls.push_back("ClearMessageTree"); }
  void SetMessageTitle(const std::string& sjis) override {
    title = sjis;
    calls.push_back("SetMessageTitle");
  }
  std::string MessageTitle() const override { return title; }
  void FillMessageGrid() override { calls.push_back("FillMessageGrid"); }
  void FillMessageTree() override { calls.push_back("FillMessageTree"); }
  void SetMessageCounters(int64_t all, int64_t now) override {
    calls.push_back("SetMessageCounters " + std::to_string(all) + " " + std::to_string(now));
  }
  void ClearMessageText() override { calls.push_back("ClearMessageText"); }
  void ShowOpenPage(int page) override { calls.push_back("ShowOpenPage " + std::to_string(page)); }
  int SelectedNet() const override { return selected; }
  void SelectNet(int net) override {
    selected = net;
    calls.push_back("SelectNet " + std::to_string(net));
  }
  void EnableNetSelection(bool enabled) override {
    net_selection = enabled;
    calls.push_back(enabled ? "EnableNetSelection" : "DisableNetSelection");
  }
  void ClearBoardUserGrids() override { calls.push_back("ClearBoardUserGrids"); }
  void FillBoardUserGrids() override { calls.push_back("FillBoardUserGrids"); }
  void EnableNavigation(bool enabled) override {
    navigation = enabled;
    calls.push_back(enabled ? "EnableNavigation" : "DisableNavigation");
  }
  void RebuildRecentLogMenu() override { calls.push_back("RebuildRecentLogMenu"); }

  std::vector<std::string> calls;
  std::string title = Sjis("メッセージ");
  int selected = -1;
  bool net_selection = true;
  bool navigation = false;
};

class OpenLogsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = TrailingSeparator(testing::MakeTempDir());
    state_.work_dir = dir_;
    state_.settings = DefaultSettings();
    state_.nets.Append({"ABCD", "net A", "me", "UPA"});
    state_.nets.Append({"wxy", "net W", "me", "UPW"});  // 3 bytes, lower case: matches WXY...
    ports_.prompter = &prompter_;
    ports_.progress = &progress_;
    ports_.clock = &clock_;
    ports_.store = &store_;
  }
  void TearDown() override { testing::RemoveTree(dir_); }

  // A small capture with two messages of board 1 (numbers `first`, first + 1).
  std::string Log(const std::string& name, int first = 1) {
    const std::string lines = testing::MainMenuLine() + "\r\n" + testing::BbsHeader(1, "b") + "\r\n" +
                              testing::NewHeader(first + 1, "two", 5, "h", "01/01") + "\r\nsecond\r\n" +
                              testing::NewHeader(first, "one", 5, "h", "01/01") + "\r\nfirst\r\n";
    testing::WriteFile(dir_ + name, lines);
    return dir_ + name;
  }
  std::string EmptyLog(const std::string& name) {
    testing::WriteFile(dir_ + name, testing::MainMenuLine() + "\r\n");
    return dir_ + name;
  }
  OpenLogsResult Open(const std::vector<std::string>& files) {
    view_.calls.clear();
    prompter_.boxes.clear();
    return OpenLogs(state_, ports_, view_, files);
  }
  std::string OnlyError() const {
    EXPECT_EQ(prompter_.boxes.size(), 1u);
    return prompter_.boxes.empty() ? "" : prompter_.boxes[0].text;
  }

  std::string dir_;
  WorkState state_;
  Ports ports_;
  testing::FakePrompter prompter_;
  testing::FakeProgress progress_;
  testing::FixedClock clock_;
  testing::MemoryStore store_;
  FakeView view_;
};

TEST_F(OpenLogsTest, SuccessfulOpenRunsEveryStepInOrder) {
  testing::WriteFile(dir_ + "ABCD.BRD", "1\t1\tBBS\tb\r\n");
  testing::WriteFile(dir_ + "ABCD.RAD", "BBS\t1\t2\t" + Sjis("○") + "\r\n");
  state_.settings.open_page = 1;
  EXPECT_EQ(Open({Log("abcd0101.log")}), OpenLogsResult::Opened);
  EXPECT_TRUE(prompter_.boxes.empty());
  EXPECT_EQ(view_.calls,
            (std::vector<std::string>{"ClearMessageTree", "SetMessageTitle", "SelectNet 0", "DisableNetSelection",
                                      "ClearBoardUserGrids", "FillMessageGrid", "FillMessageTree",
                                      "SetMessageCounters 2 0", "ClearMessageText", "ShowOpenPage 1",
                                      "FillBoardUserGrids", "EnableNavigation", "RebuildRecentLogMenu"}));
  EXPECT_EQ(view_.title, Sjis("メッセージ [ ") + "abcd0101.log ]");
  EXPECT_EQ(state_.current_log_header, "ABCD");
  EXPECT_EQ(state_.settings.default_net, 0);
  EXPECT_EQ(state_.boards.size(), 1u);
  // Parsed, marked and sorted; the tree follows the sorted list.
  ASSERT_EQ(state_.messages.Size(), 2u);
  EXPECT_EQ(state_.messages[0].message_no, 1);
  EXPECT_EQ(state_.messages[1].Mark(), Sjis("○"));
  EXPECT_EQ(state_.message_tree.Size(), 5u);
  EXPECT_EQ(ReadMessageText(state_, 0).bytes, "first\r\n");
  EXPECT_EQ(state_.settings.paths[0], dir_ + "abcd0101.log");
  EXPECT_FALSE(progress_.visible);
  EXPECT_EQ(progress_.labels.back(), "");
  EXPECT_GE(store_.flushes, 2);  // settings saved, then again for the recent list

  // A second open clears the previous grid first.
  EXPECT_EQ(Open({Log("ABCD0102.LOG", 10)}), OpenLogsResult::Opened);
  EXPECT_EQ(view_.calls[0], "ClearMessageGrid");
}

TEST_F(OpenLogsTest, LogsOfDifferentNetsAreRefusedUntouched) {
  EXPECT_EQ(Open({Log("abcd0101.log"), Log("WXYZ0101.LOG")}), OpenLogsResult::Refused);
  EXPECT_EQ(OnlyError(), Sjis("全て同じネットのログファイルを選択して下さい。"));
  EXPECT_TRUE(view_.calls.empty());
  EXPECT_FALSE(FileExists(dir_ + "NOESC.LOG"));

  // Headers compare after upper-casing: both are read as one log.
  EXPECT_EQ(Open({Log("abcd0101.log"), Log("ABCD0102.LOG", 10)}), OpenLogsResult::Opened);
  EXPECT_EQ(state_.messages.Size(), 4u);
  EXPECT_EQ(view_.title, Sjis("メッセージ [ ") + "abcd0101.log ABCD0102.LOG ]");
}

TEST_F(OpenLogsTest, PendingMessagesPinTheNet) {
  ASSERT_EQ(Open({Log("ABCD0101.LOG")}), OpenLogsResult::Opened);
  state_.pending_count = 1;
  EXPECT_EQ(Open({Log("ABCD0102.LOG")}), OpenLogsResult::Opened);
  EXPECT_EQ(Open({Log("WXYZ0101.LOG")}), OpenLogsResult::Refused);
  EXPECT_EQ(OnlyError(), Sjis("現在書き込み中のネット以外のログファイルは読み込み出来ません。") + "\n\r" +
                             Sjis("アップファイルを出力後、読み込みを行って下さい。"));
  EXPECT_TRUE(view_.calls.empty());
  EXPECT_EQ(state_.messages.Size(), 2u);  // nothing changed but the current header
  EXPECT_EQ(state_.current_log_header, "WXYZ");

  // With no log shown the pending messages' net is DefaultNet, whose upload
  // file they go to: its logs open, another net's do not.
  view_.title = NoLogMessageTitle();
  EXPECT_EQ(Open({Log("WXYZ0102.LOG")}), OpenLogsResult::Refused);
  EXPECT_EQ(Open({Log("ABCD0103.LOG")}), OpenLogsResult::Opened);
}

TEST_F(OpenLogsTest, HeaderWithoutNet) {
  ASSERT_EQ(Open({Log("ABCD0101.LOG")}), OpenLogsResult::Opened);
  SetReadMark(state_, 0, Sjis("★"));
  testing::WriteFile(dir_ + "QQQQ.RAD", "BBS\t1\t1\tq\r\n");
  EXPECT_EQ(Open({Log("qqqq0101.log")}), OpenLogsResult::NoNet);
  EXPECT_EQ(OnlyError(), Sjis("ログファイルヘッダ [QQQQ] はネット設定がされていません。") + "\n\r" +
                             Sjis("ログファイルヘッダは必ず４文字で設定して下さい。"));
  EXPECT_EQ(view_.title, NoLogMessageTitle());
  EXPECT_TRUE(state_.messages.Empty());
  EXPECT_FALSE(progress_.visible);
  EXPECT_EQ(progress_.labels.back(), "");
  // The marks of net A were saved before switching.
  EXPECT_EQ(ReadWholeFile(dir_ + "ABCD.RAD"), "BBS\t1\t1\t" + Sjis("★") + "\r\n");
  // The store now holds QQQQ's marks while the window still shows net A: the
  // next open must not write them over net A's file.
  EXPECT_EQ(view_.selected, 0);
  state_.read_marks.push_back({"BBS", "9", "9", "z"});
  EXPECT_EQ(Open({Log("ABCD0102.LOG")}), OpenLogsResult::Opened);
  EXPECT_EQ(ReadWholeFile(dir_ + "ABCD.RAD"), "BBS\t1\t1\t" + Sjis("★") + "\r\n");
  EXPECT_EQ(ReadWholeFile(dir_ + "QQQQ.RAD"), "BBS\t1\t1\tq\r\n");
  EXPECT_EQ(state_.messages[0].Mark(), Sjis("★"));
}

TEST_F(OpenLogsTest, ShortNetHeaderAndMarksOfTwoNets) {
  ASSERT_EQ(Open({Log("ABCD0101.LOG")}), OpenLogsResult::Opened);
  SetReadMark(state_, 1, Sjis("○"));
  // "wxy" matches WXYZ...: its marks live in the file of the log header.
  ASSERT_EQ(Open({Log("wxyz0101.log")}), OpenLogsResult::Opened);
  EXPECT_EQ(state_.settings.default_net, 1);
  EXPECT_EQ(state_.read_marks_header, "WXYZ");
  SetReadMark(state_, 0, Sjis("●"));
  ASSERT_EQ(Open({Log("ABCD0102.LOG")}), OpenLogsResult::Opened);
  EXPECT_EQ(ReadWholeFile(dir_ + "WXYZ.RAD"), "BBS\t1\t1\t" + Sjis("●") + "\r\n");
  EXPECT_EQ(state_.messages[1].Mark(), Sjis("○"));
  EXPECT_EQ(state_.messages[0].Mark(), "");
}

TEST_F(OpenLogsTest, LogWithoutMessages) {
  EXPECT_EQ(Open({EmptyLog("ABCD0101.LOG")}), OpenLogsResult::NoMessages);
  EXPECT_EQ(OnlyError(), Sjis("読み込んだログにメッセージは有りませんでした。"));
  EXPECT_TRUE(view_.net_selection);
  EXPECT_FALSE(view_.navigation);
  EXPECT_EQ(view_.title, NoLogMessageTitle());
  EXPECT_EQ(view_.selected, 0);
  EXPECT_EQ(state_.settings.paths[0], dir_ + "ABCD0101.LOG");
  EXPECT_FALSE(progress_.visible);
}

TEST_F(OpenLogsTest, RecentLogList) {
  const std::string a = Log("ABCD0001.LOG"), b = Log("ABCD0002.LOG");
  Open({a});
  Open({a});
  EXPECT_EQ(state_.settings.paths[1], "");
  EXPECT_EQ(std::count(view_.calls.begin(), view_.calls.end(), "RebuildRecentLogMenu"), 0);
  Open({b});
  Open({a});
  EXPECT_EQ(state_.settings.paths[0], a);
  EXPECT_EQ(state_.settings.paths[1], b);
  EXPECT_EQ(state_.settings.paths[2], a);

  AppSettings s;
  for (int i = 0; i < 11; ++i) PushRecentLog(s, "log" + std::to_string(i));
  EXPECT_EQ(s.paths[0], "log10");
  EXPECT_EQ(s.paths[9], "log1");

  const auto none = RecentLogMenuItems(AppSettings{});
  ASSERT_EQ(none.size(), 1u);
  EXPECT_EQ(none[0].caption, Sjis("(なし)"));
  EXPECT_FALSE(none[0].enabled);
  AppSettings some;
  some.paths[0] = "/x/a.LOG";
  some.paths[3] = "/x/b.LOG";
  const auto items = RecentLogMenuItems(some);
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].caption, "&0 : /x/a.LOG");
  EXPECT_EQ(items[1].caption, "&3 : /x/b.LOG");
  EXPECT_EQ(items[1].slot, 3);
}

TEST_F(OpenLogsTest, MissingLogIsAnIoErrorAfterTheChecks) {
  ASSERT_EQ(Open({Log("ABCD0101.LOG")}), OpenLogsResult::Opened);
  EXPECT_THROW(Open({dir_ + "ABCD0199.LOG"}), IoError);
  EXPECT_FALSE(progress_.visible);
  EXPECT_TRUE(state_.messages.Empty());
  // The old NOESC.LOG stays when the single input is missing.
  EXPECT_TRUE(FileExists(dir_ + "NOESC.LOG"));
}

// Everything an open leaves for the windows: the entries with their marks, the
// tree with its icons, and NOESC.LOG.
std::string OpenedState(const WorkState& state) {
  std::string out;
  for (size_t i = 0; i < state.messages.Size(); ++i) {
    const MessageEntry& e = state.messages[i];
    out += std::string(BoardTypeText(e.board_type())) + DecimalText(e.board_no()) + " " + DecimalText(e.message_no) +
           " " + std::string(e.Mark()) + " " + DecimalText(static_cast<int64_t>(e.text_offset)) + "\n";
  }
  const MessageTree& tree = state.message_tree;
  for (TreeNodeId id = 0; id < static_cast<TreeNodeId>(tree.Size()); ++id) {
    out += DecimalText(tree.Parent(id)) + " " + DecimalText(tree.Icon(id)) + " " + tree.Text(id) + "\n";
  }
  state.AwaitEscapeFreeText();
  return out + ReadWholeFile(state.WorkFile("NOESC.LOG"));
}

TEST_F(OpenLogsTest, ReadAheadOpensTheSameAndLeavesNothingUntaken) {
  testing::CaptureOptions options;
  options.boards = 12;
  options.messages_per_board = 30;
  const std::string log = dir_ + "ABCD0201.LOG";
  testing::WriteFile(log, testing::GenerateCapture(options));
  ASSERT_EQ(Open({log}), OpenLogsResult::Opened);
  for (size_t i = 0; i < state_.messages.Size(); i += 3) SetReadMark(state_, i, Sjis(i % 2 == 0 ? "○" : "★"));
  ASSERT_EQ(Open({log}), OpenLogsResult::Opened);  // the marks saved and read back
  const std::string expected = OpenedState(state_);
  const std::vector<std::string> calls = view_.calls;

  // Read ahead of the open, which hands the reading its marks: right away, or
  // long after the reading has sorted the messages and waits for them.
  for (const int pause_ms : {0, 300}) {
    LogsReadAhead ahead({log}, dir_);
    std::this_thread::sleep_for(std::chrono::milliseconds(pause_ms));
    ASSERT_TRUE(ahead.IsFor({log}, dir_ + "NOESC.LOG"));
    view_.calls.clear();
    ASSERT_EQ(OpenLogs(state_, ports_, view_, {log}, &ahead), OpenLogsResult::Opened);
    EXPECT_EQ(OpenedState(state_), expected) << pause_ms;
    EXPECT_EQ(view_.calls, calls);
    EXPECT_FALSE(ahead.IsFor({log}, dir_ + "NOESC.LOG"));  // taken
  }

  // Other logs, or a log changed since: not taken, and gone without a trace.
  {
    LogsReadAhead other({Log("ABCD0101.LOG")}, dir_);
    EXPECT_FALSE(other.IsFor({log}, dir_ + "NOESC.LOG"));
    LogsReadAhead changed({log}, dir_);
    testing::WriteFile(log, testing::GenerateCapture(options) + "\r\n");
    EXPECT_FALSE(changed.IsFor({log}, dir_ + "NOESC.LOG"));
  }
  for (const auto& entry : std::filesystem::directory_iterator(dir_)) {
    EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos) << entry.path();
  }
  // A folder where NOESC.LOG belongs is not renamed away: the open reads the logs and reports it.
  std::filesystem::remove(dir_ + "NOESC.LOG");
  std::filesystem::create_directory(dir_ + "NOESC.LOG");
  LogsReadAhead blocked({log}, dir_);
  EXPECT_FALSE(blocked.IsFor({log}, dir_ + "NOESC.LOG"));
}

// An open of other logs stops a read ahead it does not take before it reads
// them, and leaves no file of it, though the caller keeps the read ahead.
TEST_F(OpenLogsTest, ReadAheadOfOtherLogsStopsBeforeTheOpenReads) {
  testing::CaptureOptions options;
  options.target_bytes = 4 << 20;
  const std::string big = dir_ + "ABCD0201.LOG";
  testing::WriteFile(big, testing::GenerateCapture(options));
  auto temporaries = [this] {
    size_t n = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir_)) {
      if (entry.path().filename().string().find("NOESC.LOG.tmp") != std::string::npos) ++n;
    }
    return n;
  };
  LogsReadAhead ahead({big}, dir_);
  ASSERT_EQ(OpenLogs(state_, ports_, view_, {Log("ABCD0101.LOG")}, &ahead), OpenLogsResult::Opened);
  EXPECT_FALSE(ahead.Taken());
  EXPECT_FALSE(ahead.IsFor({big}, dir_ + "NOESC.LOG"));  // stopped
  EXPECT_EQ(temporaries(), 0u);
}

// The open of logs read ahead hands out the messages while their text is still
// being written into NOESC.LOG: a text read at once is the one a plain open
// gives, and the text is written as read, unless a log changed since.
TEST_F(OpenLogsTest, TextOfLogsReadAheadIsReadAsItIsWritten) {
  testing::CaptureOptions options;
  options.target_bytes = 4 << 20;
  const std::string log = dir_ + "ABCD0201.LOG";
  testing::WriteFile(log, testing::GenerateCapture(options));
  ASSERT_EQ(Open({log}), OpenLogsResult::Opened);
  const size_t last = state_.messages.Size() - 1;
  const std::string last_text = ReadMessageText(state_, last).bytes;
  const std::string text = ReadWholeFile(dir_ + "NOESC.LOG");

  LogsReadAhead ahead({log}, dir_);
  ASSERT_EQ(OpenLogs(state_, ports_, view_, {log}, &ahead), OpenLogsResult::Opened);
  EXPECT_EQ(ReadMessageText(state_, last).bytes, last_text);
  state_.AwaitEscapeFreeText();
  EXPECT_EQ(ReadWholeFile(dir_ + "NOESC.LOG"), text);

  FileIdentity before;
  ASSERT_TRUE(IdentityOf(log, before));
  before.modified_ns -= 1;
  const int fd = ::open((dir_ + "NOESC.LOG").c_str(), O_RDWR | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  EscapeFreeWriting changed({log}, {before}, fd, text.size(), dir_ + "NOESC.LOG");
  try {
    changed.AwaitBefore(1);
    ADD_FAILURE() << "a log changed since was taken as read";
  } catch (const IoError& e) {
    EXPECT_EQ(e.Path(), log);
  }
}

TEST_F(OpenLogsTest, ReadAheadLeavesNoFileWhenItFailsOrItsProgramIsGone) {
  testing::CaptureOptions options;
  options.boards = 40;
  options.messages_per_board = 100;
  const std::string log = dir_ + "ABCD0201.LOG";
  testing::WriteFile(log, testing::GenerateCapture(options));
  testing::WriteFile(dir_ + "NOESC.LOG", "before");
  {
    const testing::FileSizeLimit full_disk(64 * 1024);
    LogsReadAhead ahead({log}, dir_);
    std::string failed;
    try {
      OpenLogs(state_, ports_, view_, {log}, &ahead);
    } catch (const IoError& e) {
      failed = e.Path();
    }
    EXPECT_EQ(failed, dir_ + "NOESC.LOG");
    // As the window shows the failure: the read ahead is still there, its file is not.
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir_))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"ABCD0201.LOG", "NOESC.LOG"}));
  }
  EXPECT_EQ(ReadWholeFile(dir_ + "NOESC.LOG"), "before");

  // What a killed program left goes with the next open; a running program's file stays.
  const pid_t gone = fork();
  if (gone == 0) _exit(0);
  ASSERT_GT(gone, 0);
  waitpid(gone, nullptr, 0);
  const std::string left = dir_ + "NOESC.LOG.tmp" + std::to_string(gone) + "_0";
  const std::string running = dir_ + "NOESC.LOG.tmp" + std::to_string(getpid()) + "_99";
  testing::WriteFile(left, "text");
  testing::WriteFile(running, "text");
  ASSERT_EQ(Open({log}), OpenLogsResult::Opened);
  EXPECT_FALSE(FileExists(left));
  EXPECT_TRUE(FileExists(running));
}

TEST(ReferenceHeader, FromTheTitle) {
  EXPECT_EQ(ReferenceHeader(Sjis("メッセージ [ abcd0101.log ]")), "ABCD");
  EXPECT_EQ(ReferenceHeader(Sjis("メッセージ")), "");
  EXPECT_EQ(MessageTitleFor({"/a/b/x.log"}), Sjis("メッセージ [ x.log ]"));
}

}  // namespace
}  // namespace tobrisk
