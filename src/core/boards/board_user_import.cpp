#include "core/boards/board_user_import.h"

#include "core/boards/board_files.h"
#include "core/boards/board_list_parser.h"
#include "core/reading/escape_filter.h"
#include "core/reading/open_logs.h"
#include "core/reading/work_state.h"
#include "core/ports/ports.h"
#include "core/settings/net_definitions.h"
#include "core/text/files.h"
#include "core/text/io_error.h"
#include "core/text/line_reader.h"
#include "core/text/sjis.h"

namespace tobrisk {
namespace {

constexpr std::string_view kImportWorkFile = "BDNOESC.LOG";

// Empties both lists and reads back the net's files that exist, so that the
// lists hold what the files hold.
void ReloadListsFromFiles(WorkState& state, Prompter& prompter) {
  state.boards.clear();
  state.users.clear();
  ReadExistingBoardUserFiles(state.boards, state.users, state.work_dir, state.current_log_header, prompter);
}

// Stores the imported lists, or reads the previous ones back when the capture
// held none, and returns the report.
std::string StoreImportedLists(WorkState& state, Prompter& prompter, ImportView& view) {
  static const std::string boards_updated = Sjis("ボード情報を更新しました。");
  static const std::string boards_missing = Sjis("ボード情報は見つかりませんでした。");
  static const std::string users_updated = Sjis("ユーザ情報を更新しました。");
  static const std::string users_missing = Sjis("ユーザ情報は見つかりませんでした。");
  const std::string& header = state.current_log_header;

  std::string report;
  if (!state.boards.empty()) {
    report += boards_updated + "\r\n";
    WriteBoardFile(state.boards, state.work_dir, header);
    view.FillBoardGrid();
  } else {
    report += boards_missing + "\r\n";
    if (FileExists(BoardFilePath(state.work_dir, header)))
      ReadBoardFile(state.boards, state.work_dir, header, prompter);
  }
  if (!state.users.empty()) {
    report += users_updated;
    WriteUserFile(state.users, state.work_dir, header);
    view.FillUserGrid();
  } else {
    report += users_missing;
    if (FileExists(UserFilePath(state.work_dir, header))) ReadUserFile(state.users, state.work_dir, header, prompter);
  }
  return report;
}

}  // namespace

const std::string& ImportDialogTitle() {
  static const std::string title = Sjis("ボード・ユーザ情報取得");
  return title;
}

ImportResult ImportBoardUserInfo(WorkState& state, const Ports& ports, ImportView& view, const ImportOptions& options) {
  static const std::string other_net_pending = Sjis(
      "現在書き込み中のネット以外のログファイルは読み込み出来ません。\n\rアップファイルを出力後、読み込みを行って下さい。");
  static const std::string unknown_net_head = Sjis("ログファイル[");
  static const std::string unknown_net_tail = Sjis("]はネット設定がされていません。");
  Prompter& prompter = *ports.prompter;

  if (RefusedWithoutNets(state.nets, prompter)) return {ImportOutcome::Refused, {}};
  const std::optional<std::string> capture = view.ChooseCapture();
  if (!capture) return {ImportOutcome::Cancelled, {}};

  state.current_log_header = LogHeaderOf(*capture);
  if (options.refuse_other_net_while_pending && state.pending_count > 0 &&
      !BelongsToWritingNet(state, state.current_log_header, view.ShownLogHeader())) {
    prompter.Error(other_net_pending);
    return {ImportOutcome::Refused, {}};
  }

  // The label keeps the escape removal's text; the bar is not shown for an import.
  const std::string work_file = state.WorkFile(kImportWorkFile);
  CutEscapes({*capture}, work_file, *ports.progress);

  const int net = FindNetByLogHeader(state.nets, state.current_log_header);
  if (net < 0) {
    prompter.Error(unknown_net_head + FileNameInSjis(*capture) + unknown_net_tail);
    return {ImportOutcome::Refused, {}};
  }
  view.SelectNet(net);

  state.boards.clear();
  state.users.clear();
  ImportCounters counters;
  std::string report;
  try {
    {
      LineReader reader(work_file);
      ParseBoardUserLists(reader, state.boards, state.users, counters, state.settings.get_ibbs_list);
    }
    report = StoreImportedLists(state, prompter, view);
  } catch (const ConversionError& e) {
    // Nothing was written: the lists go back to what the net's files hold.
    ReloadListsFromFiles(state, prompter);
    prompter.Error(e.what());
    return {ImportOutcome::ConversionFailed, {}};
  } catch (const IoError&) {
    try {
      ReloadListsFromFiles(state, prompter);
    } catch (const IoError&) {
      state.boards.clear();
      state.users.clear();
    }
    throw;
  }

  if (options.show_report) prompter.Info(report);
  return {ImportOutcome::Imported, std::move(report)};
}

}  // namespace tobrisk
