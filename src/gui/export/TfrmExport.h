// The export dialog (ファイル → "エクスポート..."): the format, the destination
// and which messages; a progress bar and a cancel button. A cancelled export
// leaves nothing behind. Also "テキストで保存..." of the message pop-up menus.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "core/export/message_export.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace tobrisk {
struct Ports;
struct WorkState;
}  // namespace tobrisk

namespace tobrisk::gui {

class TfrmExport : public QDialog {
  Q_OBJECT

 public:
  // `logs`: the open logs' paths; `selected`: the message shown (0-based), or -1.
  TfrmExport(QWidget* parent, WorkState& state, Ports& ports, std::vector<std::string> logs, int selected);

  QRadioButton* MboxRadioButton = nullptr;
  QRadioButton* HtmlRadioButton = nullptr;
  QRadioButton* TextRadioButton = nullptr;
  QLineEdit* OutEdit = nullptr;
  QPushButton* BrowseButton = nullptr;
  QRadioButton* AllRadioButton = nullptr;
  QRadioButton* BoardRadioButton = nullptr;
  QRadioButton* RepliesRadioButton = nullptr;
  QProgressBar* ExportProgressBar = nullptr;
  QLabel* ExportLabel = nullptr;
  QPushButton* ExportButton = nullptr;
  QPushButton* CancelButton = nullptr;

 public slots:
  void reject() override;  // during an export: cancels it

 private:
  void ExportButtonClick();
  void BrowseButtonClick();
  void FormatChanged();
  ExportFormat Format() const;

  WorkState& state_;
  Ports& ports_;
  std::vector<std::string> logs_;
  int selected_;
  bool running_ = false;
  bool cancel_requested_ = false;
};

// "テキストで保存...": asks for a file and writes `selection` (message indices)
// of the open logs as UTF-8 text. Refusals and errors go through the prompter.
void SaveMessagesAsText(QWidget* parent, WorkState& state, Ports& ports, const std::vector<std::string>& logs,
                        std::vector<size_t> selection);

// Writes an export of the open logs with `progress`; true when it was written,
// false when the user cancelled or it failed (reported). Asks before replacing
// an existing output.
bool RunExport(WorkState& state, Ports& ports, const std::vector<std::string>& logs, ExportOptions options,
               Progress& progress);

}  // namespace tobrisk::gui
