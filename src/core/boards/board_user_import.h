// The board and member import: rebuilds the board list and the user list of the
// capture's net from the host's list screens in a capture, stores them in the
// net's .BRD / .USR files and reports what was found.
#pragma once

#include <optional>
#include <string>

namespace tobrisk {

struct Ports;
struct WorkState;

// What the import needs of the windows. The desktop program implements it on the
// main frame and the board/user window; the command-line tool answers from its
// arguments; tests record the calls.
class ImportView {
 public:
  virtual ~ImportView() = default;
  // The capture to import: the open-log dialog titled "ボード・ユーザ情報取得"
  // (when several files are chosen, the first). Nothing when it was cancelled.
  virtual std::optional<std::string> ChooseCapture() = 0;
  // The log header of the log the message window shows (upper-cased), empty
  // when none is shown. Only asked when the pending-count rule applies.
  virtual std::string ShownLogHeader() = 0;
  // Makes the net the selected entry of the board/user window's net selector
  // without loading that net's lists.
  virtual void SelectNet(int net_index) = 0;
  // The board list and the user list were replaced: show them.
  virtual void FillBoardGrid() = 0;
  virtual void FillUserGrid() = 0;
};

// The title of the import's open-log dialog (Shift-JIS).
const std::string& ImportDialogTitle();

struct ImportOptions {
  // The window command refuses a capture of another net while written messages
  // are pending; the command-line tool has no pending messages.
  bool refuse_other_net_while_pending = true;
  // Show the report in an information box (the command-line tool prints it).
  bool show_report = true;
};

enum class ImportOutcome {
  Cancelled,         // the capture was not chosen
  Refused,           // no net, another net pending, or a capture of no net
  ConversionFailed,  // a listed number was not an integer; no file was written
  Imported,          // the report was built (lists and files replaced or kept)
};

struct ImportResult {
  ImportOutcome outcome = ImportOutcome::Cancelled;
  std::string report;  // Shift-JIS, its two lines separated by CR LF
};

// ImportBoardUserInfo: the menu command "ボード・ユーザデータ取込(&I)".
// Refusals and the conversion error are shown through the prompter. On a
// conversion error, and on an IoError after the lists were emptied, the board
// and user lists are read back from the net's files (empty when a file is
// missing), so that they again hold what the files hold; IoError is rethrown.
ImportResult ImportBoardUserInfo(WorkState& state, const Ports& ports, ImportView& view,
                                 const ImportOptions& options = {});

}  // namespace tobrisk
