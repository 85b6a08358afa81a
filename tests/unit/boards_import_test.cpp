#include <gtest/gtest.h>

#include <optional>

#include "board_capture_generator.h"
#include "core/boards/board_files.h"
#include "core/boards/board_user_import.h"
#include "capture_generator.h"
#include "fakes.h"
#include "core/reading/work_state.h"
#include "core/text/files.h"
#include "core/text/io_error.h"
#include "core/text/sjis.h"

namespace tobrisk {
namespace {

using testing::BoardFileText;
using testing::BoardNumberCell;
using testing::BoardNumberForm;
using testing::UserFileText;

class RecordingImportView final : public ImportView {
 public:
  std::optional<std::string> ChooseCapture() override {
    ++dialogs;
    return capture;
  }
  std::string ShownLogHeader() override { return shown_header; }
  void SelectNet(int net_index) override { selected_net = net_index; }
  void FillBoardGrid() override { ++board_fills; }
  void FillUserGrid() override { ++user_fills; }

  std::optional<std::string> capture;
  std::string shown_header;
  int dialogs = 0;
  int selected_net = -1;
  int board_fills = 0;
  int user_fills = 0;
};

class BoardsImport : public ::testing::Test {
 protected:
  void SetUp() override {
    state_.work_dir = TrailingSeparator(testing::MakeTempDir("boards-import"));
    state_.nets.Append({"WXYZ", "NetB", "", "UPB"});
    state_.nets.Append({"abcd", "NetA", "Taro", "UPA"});
    ports_.prompter = &prompter_;
    ports_.progress = &progress_;
    ports_.clock = &clock_;
    ports_.store = &store_;
  }
  void TearDown() override { testing::RemoveTree(state_.work_dir); }

  // Writes the capture into the work folder under `name` and imports it.
  ImportResult Import(const std::string& name, std::string_view bytes, const ImportOptions& options = {}) {
    view_.capture = state_.work_dir + name;
    testing::WriteFile(*view_.capture, bytes);
    return ImportBoardUserInfo(state_, ports_, view_, options);
  }
  std::string File(const std::string& name) { return ReadWholeFile(state_.work_dir + name); }
  bool Exists(const std::string& name) { return FileExists(state_.work_dir + name); }
  // The info and error boxes shown, in order.
  std::vector<std::string> Boxes(const std::string& kind) {
    std::vector<std::string> texts;
    for (const auto& b : prompter_.boxes) {
      if (b.kind == kind) texts.push_back(b.text);
    }
    return texts;
  }
  // Lists as another net left them, to see what the import does with them.
  void FillListsWithOtherNet() {
    state_.boards = {{"1", "77", "BBS", "other net"}};
    state_.users = {{"1", "77", "other net"}};
  }

  WorkState state_;
  testing::FakePrompter prompter_;
  testing::FakeProgress progress_;
  testing::FixedClock clock_;
  testing::MemoryStore store_;
  Ports ports_;
  RecordingImportView view_;
};

std::string Lines(const std::vector<std::string>& lines) {
  std::string out;
  for (const auto& l : lines) out += l + "\r\n";
  return out;
}

TEST_F(BoardsImport, ImportsBothListsIntoTheCapturesNet) {
  testing::BoardCaptureOptions o;
  o.members = 23;
  o.members_per_page = 8;
  const auto capture = testing::GenerateBoardCapture(o);
  FillListsWithOtherNet();
  const ImportResult r = Import("abcd0101.log", capture.bytes);

  ASSERT_EQ(r.outcome, ImportOutcome::Imported);
  const std::string report = Sjis("ボード情報を更新しました。") + "\r\n" + Sjis("ユーザ情報を更新しました。");
  EXPECT_EQ(r.report, report);
  EXPECT_EQ(Boxes("info"), std::vector<std::string>{report});
  EXPECT_TRUE(Boxes("error").empty());

  EXPECT_EQ(state_.current_log_header, "ABCD");
  EXPECT_EQ(view_.selected_net, 1);
  EXPECT_EQ(view_.board_fills, 1);
  EXPECT_EQ(view_.user_fills, 1);
  EXPECT_EQ(state_.boards, testing::ExpectedBoards(capture, 0));
  EXPECT_EQ(state_.users, testing::ExpectedUsers(capture));
  // The files are named by the upper-cased header of the capture.
  EXPECT_EQ(File("ABCD.BRD"), BoardFileText(state_.boards));
  EXPECT_EQ(File("ABCD.USR"), UserFileText(state_.users));
  // The escape-free copy stays in the work folder.
  EXPECT_EQ(File("BDNOESC.LOG").find('\x1b'), std::string::npos);
  // The bar is never shown; the label keeps the escape removal's text.
  EXPECT_FALSE(progress_.visible);
  ASSERT_FALSE(progress_.labels.empty());
  EXPECT_EQ(progress_.labels.back(), Sjis("エスケープシーケンスカット中..."));
  EXPECT_EQ(state_.settings.default_net, AppSettings{}.default_net);
}

TEST_F(BoardsImport, SecondImportNumbersFromOneAgain) {
  testing::BoardCaptureOptions o;
  o.bbs_boards = 30;
  o.ibbs_boards = 10;
  o.skip_share = 0;
  const auto capture = testing::GenerateBoardCapture(o);
  for (int run = 0; run < 2; ++run) {
    ASSERT_EQ(Import("ABCD0101.LOG", capture.bytes).outcome, ImportOutcome::Imported);
    ASSERT_EQ(state_.boards.size(), 40u);
    for (size_t i = 0; i < state_.boards.size(); ++i) EXPECT_EQ(state_.boards[i].seq_no, std::to_string(i + 1));
    EXPECT_EQ(state_.users.front().seq_no, "1");
  }
}

TEST_F(BoardsImport, GetIBbsListDecidesOnSkipRows) {
  testing::BoardCaptureOptions o;
  o.skip_share = 0.5;
  const auto capture = testing::GenerateBoardCapture(o);
  ASSERT_NE(testing::ExpectedBoards(capture, 0).size(), testing::ExpectedBoards(capture, 1).size());
  for (int get_ibbs_list : {0, 1}) {
    state_.settings.get_ibbs_list = get_ibbs_list;
    ASSERT_EQ(Import("ABCD0101.LOG", capture.bytes).outcome, ImportOutcome::Imported);
    EXPECT_EQ(state_.boards, testing::ExpectedBoards(capture, get_ibbs_list));
    EXPECT_EQ(File("ABCD.BRD"), BoardFileText(state_.boards));
  }
}

TEST_F(BoardsImport, CaptureWithoutListsKeepsTheFiles) {
  const std::string old_boards = "1\t3\tBBS\told board\r\n2\t4\tCUG\told club\r\n";
  const std::string old_users = "1\t42\told member\r\n";
  testing::WriteFile(state_.work_dir + "ABCD.BRD", old_boards);
  testing::WriteFile(state_.work_dir + "ABCD.USR", old_users);
  FillListsWithOtherNet();
  testing::CaptureOptions messages;
  messages.boards = 3;
  messages.messages_per_board = 4;
  const ImportResult r = Import("ABCD0102.LOG", testing::GenerateCapture(messages));

  ASSERT_EQ(r.outcome, ImportOutcome::Imported);
  EXPECT_EQ(r.report, Sjis("ボード情報は見つかりませんでした。") + "\r\n" + Sjis("ユーザ情報は見つかりませんでした。"));
  EXPECT_EQ(File("ABCD.BRD"), old_boards);
  EXPECT_EQ(File("ABCD.USR"), old_users);
  EXPECT_EQ(BoardFileText(state_.boards), old_boards);
  EXPECT_EQ(UserFileText(state_.users), old_users);
  EXPECT_EQ(view_.board_fills, 0);
  EXPECT_EQ(view_.user_fills, 0);

  // Without files the lists end empty and no file appears.
  testing::RemoveTree(state_.work_dir + "ABCD.BRD");
  testing::RemoveTree(state_.work_dir + "ABCD.USR");
  ASSERT_EQ(Import("ABCD0102.LOG", "").outcome, ImportOutcome::Imported);
  EXPECT_TRUE(state_.boards.empty());
  EXPECT_TRUE(state_.users.empty());
  EXPECT_FALSE(Exists("ABCD.BRD"));
  EXPECT_FALSE(Exists("ABCD.USR"));
  EXPECT_TRUE(Boxes("error").empty());
}

TEST_F(BoardsImport, OnlyOneListFoundKeepsTheOtherFile) {
  testing::WriteFile(state_.work_dir + "ABCD.USR", "1\t42\told member\r\n");
  testing::BoardCaptureOptions o;
  o.member_list = false;
  const ImportResult r = Import("ABCD0103.LOG", testing::GenerateBoardCapture(o).bytes);
  EXPECT_EQ(r.report, Sjis("ボード情報を更新しました。") + "\r\n" + Sjis("ユーザ情報は見つかりませんでした。"));
  EXPECT_EQ(File("ABCD.USR"), "1\t42\told member\r\n");
  EXPECT_EQ(UserFileText(state_.users), "1\t42\told member\r\n");
  EXPECT_EQ(view_.board_fills, 1);
  EXPECT_EQ(view_.user_fills, 0);
}

TEST_F(BoardsImport, BadNumberHalfwayWritesNothing) {
  const std::string old_boards = "1\t3\tBBS\told board\r\n";
  testing::WriteFile(state_.work_dir + "ABCD.BRD", old_boards);  // no .USR file
  FillListsWithOtherNet();
  const std::string capture = Lines({
      testing::BbsListStartLine(),
      testing::BbsBoardRow(BoardNumberCell(1, BoardNumberForm::Ascii), "BBS", "one"),
      testing::BoardListPrompt("Ｌ"),
      testing::MemberListStartLine(),
      testing::MemberColumnHeader(),
      testing::MemberRow(5, "five"),
      testing::PadRight("", 10) + " 1x2 broken",
      testing::MemberRow(6, "six"),
      "",
  });
  const ImportResult r = Import("ABCD0104.LOG", capture);

  EXPECT_EQ(r.outcome, ImportOutcome::ConversionFailed);
  EXPECT_EQ(Boxes("error"), std::vector<std::string>{Sjis("' 1x2' は整数ではありません")});
  EXPECT_TRUE(Boxes("info").empty());
  EXPECT_EQ(File("ABCD.BRD"), old_boards);
  EXPECT_FALSE(Exists("ABCD.USR"));
  // The lists hold what the net's files hold.
  EXPECT_EQ(BoardFileText(state_.boards), old_boards);
  EXPECT_TRUE(state_.users.empty());
  EXPECT_EQ(view_.board_fills, 0);
  EXPECT_EQ(view_.user_fills, 0);
}

TEST_F(BoardsImport, NoNetsRefusesBeforeTheDialog) {
  state_.nets.Clear();
  FillListsWithOtherNet();
  view_.capture = state_.work_dir + "ABCD0101.LOG";
  EXPECT_EQ(ImportBoardUserInfo(state_, ports_, view_).outcome, ImportOutcome::Refused);
  EXPECT_EQ(Boxes("error"), std::vector<std::string>{Sjis("ネット設定を先に行って下さい。")});
  EXPECT_EQ(view_.dialogs, 0);
  EXPECT_EQ(state_.boards.size(), 1u);
}

TEST_F(BoardsImport, CancelledDialogDoesNothing) {
  FillListsWithOtherNet();
  EXPECT_EQ(ImportBoardUserInfo(state_, ports_, view_).outcome, ImportOutcome::Cancelled);
  EXPECT_TRUE(prompter_.boxes.empty());
  EXPECT_EQ(state_.boards.size(), 1u);
  EXPECT_FALSE(Exists("BDNOESC.LOG"));
}

TEST_F(BoardsImport, PendingMessagesOfAnotherNetRefuse) {
  const auto capture = testing::GenerateBoardCapture({});
  state_.pending_count = 2;
  view_.shown_header = "WXYZ";
  FillListsWithOtherNet();
  EXPECT_EQ(Import("abcd0105.log", capture.bytes).outcome, ImportOutcome::Refused);
  EXPECT_EQ(Boxes("error"),
            std::vector<std::string>{Sjis("現在書き込み中のネット以外のログファイルは読み込み出来ません。") + "\n\r" +
                                     Sjis("アップファイルを出力後、読み込みを行って下さい。")});
  EXPECT_EQ(state_.current_log_header, "ABCD");  // already set when refused
  EXPECT_EQ(state_.boards.size(), 1u);
  EXPECT_FALSE(Exists("BDNOESC.LOG"));
  EXPECT_EQ(view_.selected_net, -1);

  // The same net as the shown log may be imported; so may any net without the rule.
  view_.shown_header = "ABCD";
  EXPECT_EQ(Import("abcd0105.log", capture.bytes).outcome, ImportOutcome::Imported);
  view_.shown_header = "WXYZ";
  ImportOptions without_rule;
  without_rule.refuse_other_net_while_pending = false;
  EXPECT_EQ(Import("abcd0105.log", capture.bytes, without_rule).outcome, ImportOutcome::Imported);
}

TEST_F(BoardsImport, CaptureOfNoNetRefusesAfterEscapeRemoval) {
  FillListsWithOtherNet();
  EXPECT_EQ(Import("QQQQ0101.LOG", testing::GenerateBoardCapture({}).bytes).outcome, ImportOutcome::Refused);
  EXPECT_EQ(Boxes("error"), std::vector<std::string>{Sjis("ログファイル[QQQQ0101.LOG]はネット設定がされていません。")});
  EXPECT_TRUE(Exists("BDNOESC.LOG"));
  EXPECT_EQ(state_.boards.size(), 1u);
  EXPECT_EQ(view_.selected_net, -1);
  EXPECT_FALSE(Exists("QQQQ.BRD"));
}

TEST_F(BoardsImport, ReportCanBeLeftToTheCaller) {
  ImportOptions quiet;
  quiet.show_report = false;
  const ImportResult r = Import("ABCD0101.LOG", testing::GenerateBoardCapture({}).bytes, quiet);
  EXPECT_EQ(r.outcome, ImportOutcome::Imported);
  EXPECT_FALSE(r.report.empty());
  EXPECT_TRUE(prompter_.boxes.empty());
}

TEST_F(BoardsImport, FileErrorsKeepListsAndFilesInStep) {
  // A missing capture stops before anything changed.
  FillListsWithOtherNet();
  view_.capture = state_.work_dir + "ABCD-missing.LOG";
  EXPECT_THROW(ImportBoardUserInfo(state_, ports_, view_), IoError);
  EXPECT_EQ(state_.boards.size(), 1u);

  // A .BRD that cannot be replaced (a folder stands there): the lists go back
  // to what the files hold, the user file untouched.
  CreateDirectory(state_.work_dir + "ABCD.BRD");
  testing::WriteFile(state_.work_dir + "ABCD.USR", "1\t42\told member\r\n");
  EXPECT_THROW(Import("ABCD0101.LOG", testing::GenerateBoardCapture({}).bytes), IoError);
  EXPECT_TRUE(state_.boards.empty());
  EXPECT_EQ(UserFileText(state_.users), "1\t42\told member\r\n");
  EXPECT_EQ(File("ABCD.USR"), "1\t42\told member\r\n");
  EXPECT_TRUE(Boxes("info").empty());
}

}  // namespace
}  // namespace tobrisk
