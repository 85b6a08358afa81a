#include "gui/export/TfrmExport.h"

#include <QButtonGroup>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "core/reading/message_text.h"
#include "core/reading/work_state.h"
#include "core/ports/ports.h"
#include "core/text/sjis.h"
#include "gui/widgets/error_report.h"
#include "gui/widgets/file_chooser.h"
#include "gui/widgets/gui_progress.h"
#include "gui/widgets/gui_prompter.h"

namespace tobrisk::gui {
namespace {

std::string NativePath(const QString& path) { return QFile::encodeName(path).toStdString(); }

const char* Suffix(ExportFormat format) {
  switch (format) {
    case ExportFormat::Mbox: return ".mbox";
    case ExportFormat::Text: return ".txt";
    case ExportFormat::Html: return "";
  }
  return "";
}

// The path with the suffix of `format` in place of another format's.
QString WithSuffix(QString path, ExportFormat format) {
  for (const char* s : {".mbox", ".txt"}) {
    if (path.endsWith(QLatin1String(s))) path.chop(static_cast<int>(qstrlen(s)));
  }
  return path + QLatin1String(Suffix(format));
}

}  // namespace

bool RunExport(WorkState& state, Ports& ports, const std::vector<std::string>& logs, ExportOptions options,
               Progress& progress) {
  Prompter& prompter = *ports.prompter;
  if (state.messages.Empty() || logs.empty()) {
    prompter.Error(Sjis("エクスポートするメッセージが有りません。"));
    return false;
  }
  if (!options.all && options.selection.empty()) return false;
  if (const std::string refusal = OutputRefusal(options, logs); !refusal.empty()) {
    ExportOptions replacing = options;
    replacing.force = true;
    if (!OutputRefusal(replacing, logs).empty()) {
      prompter.Error(Utf8ToSjis(refusal));
      return false;
    }
    if (prompter.Confirm(Utf8ToSjis(refusal) + Sjis("\n\r上書きしますか？")) != Answer::Yes) return false;
    options.force = true;
  }
  progress.Show();
  bool written = false;
  try {
    MessageTextReader reader(state);
    ExportSource source = OpenLogsSource(state, state.message_tree, logs, reader);
    source.years.capture = CaptureDate(logs);
    ExportMessages(source, options, progress);
    written = true;
  } catch (const ExportCancelled&) {
  } catch (const std::exception& e) {
    progress.Hide();
    progress.SetLabel({});
    ReportError(prompter, e);
    return false;
  }
  progress.Hide();
  progress.SetLabel({});
  return written;
}

TfrmExport::TfrmExport(QWidget* parent, WorkState& state, Ports& ports, std::vector<std::string> logs, int selected)
    : QDialog(parent), state_(state), ports_(ports), logs_(std::move(logs)), selected_(selected) {
  setObjectName("TfrmExport");
  setWindowTitle(Utf("エクスポート"));
  auto* layout = new QVBoxLayout(this);

  auto* format_box = new QGroupBox(Utf("形式"), this);
  auto* format_layout = new QVBoxLayout(format_box);
  MboxRadioButton = new QRadioButton(Utf("mbox (メールソフトで読む)(&M)"), format_box);
  HtmlRadioButton = new QRadioButton(Utf("HTML (ブラウザで読む)(&H)"), format_box);
  TextRadioButton = new QRadioButton(Utf("テキスト(&T)"), format_box);
  MboxRadioButton->setObjectName("MboxRadioButton");
  HtmlRadioButton->setObjectName("HtmlRadioButton");
  TextRadioButton->setObjectName("TextRadioButton");
  for (QRadioButton* b : {MboxRadioButton, HtmlRadioButton, TextRadioButton}) {
    format_layout->addWidget(b);
    connect(b, &QRadioButton::toggled, this, [this](bool on) {
      if (on) FormatChanged();
    });
  }
  layout->addWidget(format_box);

  auto* out_row = new QHBoxLayout;
  auto* out_label = new QLabel(Utf("出力先(&O):"), this);
  OutEdit = new QLineEdit(this);
  OutEdit->setObjectName("OutEdit");
  OutEdit->setMinimumWidth(360);
  out_label->setBuddy(OutEdit);
  BrowseButton = new QPushButton(Utf("参照(&B)..."), this);
  BrowseButton->setObjectName("BrowseButton");
  out_row->addWidget(out_label);
  out_row->addWidget(OutEdit, 1);
  out_row->addWidget(BrowseButton);
  layout->addLayout(out_row);

  auto* scope_box = new QGroupBox(Utf("メッセージ"), this);
  auto* scope_layout = new QVBoxLayout(scope_box);
  AllRadioButton = new QRadioButton(Utf("全てのメッセージ(&A)"), scope_box);
  BoardRadioButton = new QRadioButton(Utf("表示中のボード(&D)"), scope_box);
  RepliesRadioButton = new QRadioButton(Utf("選択したメッセージとそのレス(&S)"), scope_box);
  AllRadioButton->setObjectName("AllRadioButton");
  BoardRadioButton->setObjectName("BoardRadioButton");
  RepliesRadioButton->setObjectName("RepliesRadioButton");
  for (QRadioButton* b : {AllRadioButton, BoardRadioButton, RepliesRadioButton}) scope_layout->addWidget(b);
  const bool has_selection = selected_ >= 0 && static_cast<size_t>(selected_) < state_.messages.Size();
  BoardRadioButton->setEnabled(has_selection);
  RepliesRadioButton->setEnabled(has_selection);
  AllRadioButton->setChecked(true);
  layout->addWidget(scope_box);

  ExportLabel = new QLabel(this);
  ExportLabel->setObjectName("ExportLabel");
  ExportProgressBar = new QProgressBar(this);
  ExportProgressBar->setObjectName("ExportProgressBar");
  ExportProgressBar->setRange(0, 100);
  ExportProgressBar->setVisible(false);
  layout->addWidget(ExportLabel);
  layout->addWidget(ExportProgressBar);

  auto* buttons = new QHBoxLayout;
  ExportButton = new QPushButton(Utf("エクスポート(&E)"), this);
  ExportButton->setObjectName("ExportButton");
  ExportButton->setDefault(true);
  CancelButton = new QPushButton(Utf("ｷｬﾝｾﾙ"), this);
  CancelButton->setObjectName("CancelButton");
  buttons->addStretch(1);
  buttons->addWidget(ExportButton);
  buttons->addWidget(CancelButton);
  layout->addLayout(buttons);

  const QString name = QString::fromLatin1(state_.current_log_header.c_str()).toLower();
  OutEdit->setText(
      QDir::home().filePath((name.isEmpty() ? QStringLiteral("tobrisk") : name) + QStringLiteral("-export")));
  MboxRadioButton->setChecked(true);

  connect(BrowseButton, &QPushButton::clicked, this, &TfrmExport::BrowseButtonClick);
  connect(ExportButton, &QPushButton::clicked, this, &TfrmExport::ExportButtonClick);
  connect(CancelButton, &QPushButton::clicked, this, &TfrmExport::reject);
}

ExportFormat TfrmExport::Format() const {
  if (HtmlRadioButton->isChecked()) return ExportFormat::Html;
  if (TextRadioButton->isChecked()) return ExportFormat::Text;
  return ExportFormat::Mbox;
}

void TfrmExport::FormatChanged() { OutEdit->setText(WithSuffix(OutEdit->text(), Format())); }

void TfrmExport::BrowseButtonClick() {
  const QString chosen = ActiveFileChooser().SaveFile(this, Utf("出力先"), OutEdit->text());
  if (!chosen.isEmpty()) OutEdit->setText(chosen);
}

void TfrmExport::reject() {
  if (running_) {
    cancel_requested_ = true;  // the export stops at its next step and removes what it wrote
    return;
  }
  QDialog::reject();
}

void TfrmExport::ExportButtonClick() {
  if (running_ || OutEdit->text().trimmed().isEmpty()) return;
  ExportOptions options;
  options.format = Format();
  options.out = NativePath(QDir::cleanPath(QDir::current().absoluteFilePath(OutEdit->text().trimmed())));
  if (!AllRadioButton->isChecked() && selected_ >= 0) {
    options.all = false;
    const size_t index = static_cast<size_t>(selected_);
    options.selection = BoardRadioButton->isChecked() ? BoardSelection(state_.messages, index)
                                                      : RepliesSelection(state_.message_tree, index);
  }
  QElapsedTimer since_pump;
  since_pump.start();
  // The dialog is modal: only its own buttons answer while the export runs.
  options.cancelled = [this, &since_pump] {
    if (since_pump.elapsed() >= GuiProgress::kPumpIntervalMs) {
      QCoreApplication::processEvents();
      since_pump.restart();
    }
    return cancel_requested_;
  };
  for (QWidget* w :
       std::initializer_list<QWidget*>{MboxRadioButton, HtmlRadioButton, TextRadioButton, OutEdit, BrowseButton,
                                       AllRadioButton, BoardRadioButton, RepliesRadioButton, ExportButton}) {
    w->setEnabled(false);
  }
  running_ = true;
  cancel_requested_ = false;
  GuiProgress progress(ExportProgressBar, ExportLabel);
  const bool written = RunExport(state_, ports_, logs_, options, progress);
  running_ = false;
  if (written) {
    accept();
    return;
  }
  for (QWidget* w : std::initializer_list<QWidget*>{MboxRadioButton, HtmlRadioButton, TextRadioButton, OutEdit,
                                                    BrowseButton, AllRadioButton, ExportButton}) {
    w->setEnabled(true);
  }
  const bool has_selection = selected_ >= 0;
  BoardRadioButton->setEnabled(has_selection);
  RepliesRadioButton->setEnabled(has_selection);
}

void SaveMessagesAsText(QWidget* parent, WorkState& state, Ports& ports, const std::vector<std::string>& logs,
                        std::vector<size_t> selection) {
  if (selection.empty()) return;
  const QString name = QString::fromLatin1(state.current_log_header.c_str()).toLower();
  const QString chosen =
      ActiveFileChooser().SaveFile(parent, Utf("テキストで保存"), QDir::home().filePath(name + QStringLiteral(".txt")));
  if (chosen.isEmpty()) return;
  ExportOptions options;
  options.format = ExportFormat::Text;
  options.out = NativePath(chosen);
  options.all = false;
  options.selection = std::move(selection);
  RunExport(state, ports, logs, std::move(options), *ports.progress);
}

}  // namespace tobrisk::gui
