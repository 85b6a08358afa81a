#include "helpers/gui_fixture.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <unistd.h>

#include "capture_generator.h"
#include "core/text/files.h"
#include "core/text/sjis.h"

namespace tobrisk::testing {

GuiWorkFolder::GuiWorkFolder() {
  dir_ = TrailingSeparator(MakeTempDir("tobrisk-gui"));
  config_dir_ = MakeTempDir("tobrisk-gui-config");
  old_cwd_ = QDir::currentPath().toLocal8Bit();
  had_config_ = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
  old_config_ = qgetenv("XDG_CONFIG_HOME");
  qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config_dir_));
  if (::chdir(dir_.c_str()) != 0) qFatal("cannot enter the work folder");
}

GuiWorkFolder::~GuiWorkFolder() {
  if (::chdir(old_cwd_.constData()) != 0) qWarning("cannot return to the previous folder");
  if (had_config_) qputenv("XDG_CONFIG_HOME", old_config_);
  else qunsetenv("XDG_CONFIG_HOME");
  RemoveTree(dir_);
  RemoveTree(config_dir_);
}

void GuiWorkFolder::Write(const std::string& name, const std::string& bytes) const { WriteFile(dir_ + name, bytes); }

void GuiWorkFolder::WriteNets(const std::vector<std::string>& lines_utf8) const {
  std::string text;
  for (const std::string& line : lines_utf8) text += Sjis(line) + "\r\n";
  Write("NET.TDT", text);
}

std::string GuiWorkFolder::Read(const std::string& name) const { return ReadWholeFile(dir_ + name); }

QStringList FakeFileChooser::OpenFiles(QWidget*, const gui::OpenFilesRequest& request) {
  requests.push_back(request);
  if (file_answers.empty()) throw std::logic_error("unanswered open dialog");
  QStringList answer = file_answers.front();
  file_answers.pop_front();
  return answer;
}

QString FakeFileChooser::ChooseDirectory(QWidget*, const QString&, const QString&) {
  ++folder_requests;
  if (folder_answers.empty()) throw std::logic_error("unanswered folder dialog");
  QString answer = folder_answers.front();
  folder_answers.pop_front();
  return answer;
}

QString FakeFileChooser::SaveFile(QWidget*, const QString&, const QString&) {
  if (save_answers.empty()) throw std::logic_error("unanswered save dialog");
  QString answer = save_answers.front();
  save_answers.pop_front();
  return answer;
}

MainFrameFixture::MainFrameFixture() : chooser_scope_(chooser_) {}

MainFrameFixture::~MainFrameFixture() {
  if (frame_) {
    frame_->hide();
    frame_.reset();
  }
  CloseAllWindows();
}

gui::TfrmMain& MainFrameFixture::Start() {
  store_ = std::make_unique<QtSettingsStore>();
  Ports ports;
  ports.prompter = &prompter_;
  ports.clock = &clock_;
  ports.store = store_.get();
  frame_ = std::make_unique<gui::TfrmMain>(ports);
  frame_->show();
  return *frame_;
}

void MainFrameFixture::Stop() {
  if (!frame_) return;
  frame_->close();
  frame_.reset();
  store_.reset();
}

std::unique_ptr<QtSettingsStore> MainFrameFixture::ReopenStore() const {
  return std::make_unique<QtSettingsStore>(QtSettingsStore::DefaultIniPath());
}

QAction* MainFrameFixture::Action(const QString& name) const { return frame_->findChild<QAction*>(name); }

void MainFrameFixture::Trigger(const QString& name) {
  QAction* a = Action(name);
  if (!a) qFatal("no action %s", qPrintable(name));
  if (!a->isEnabled()) qFatal("action %s is disabled", qPrintable(name));
  a->trigger();
}

QStringList MainFrameFixture::BoxTexts() const {
  QStringList texts;
  for (const FakePrompter::Box& b : prompter_.boxes) texts << Text(b.text);
  return texts;
}

void WhenModalShown(std::function<void(QWidget*)> act) {
  auto* timer = new QTimer;
  auto deadline = std::make_shared<int>(500);
  QObject::connect(timer, &QTimer::timeout, [timer, deadline, act] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && modal->isVisible()) {
      timer->stop();
      timer->deleteLater();
      act(modal);
    } else if (--*deadline <= 0) {
      timer->stop();
      timer->deleteLater();
    }
  });
  timer->start(10);
}

void CloseAllWindows() {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w->isVisible()) w->close();
  }
}

std::string FrameCapture() {
  const std::vector<std::string> lines = {
      MainMenuLine(),
      MailScreenLine(),
      MailHeader(Sjis("オフ会について"), 123, Sjis("はなこ"), "12/05"),
      "------------------------------------------------------------",
      Sjis("こんにちは。"),
      MailHeader(Sjis("ソフトありがとう"), 456, Sjis("じろう"), "12/06"),
      Sjis("動きました。"),
      MailSendLine(),
      MainMenuLine(),
      BbsHeader(1, Sjis("雑談ボード　　　　")),
      NewHeader(101, Sjis("はじめまして"), 123, Sjis("はなこ"), "12/01"),
      Sjis("よろしくお願いします。"),
      "",
      ResHeaderLine(102, 101),
      ResFieldsLine(Sjis("Re:はじめまして"), 7, Sjis("たろう"), "12/02"),
      Sjis("こちらこそ。"),
      CugHeader(3, Sjis("プログラム同好会　")),
      NewHeader(11, Sjis("C 言語の質問"), 7, Sjis("たろう"), "12/05"),
      Sjis("ポインタがわかりません。"),
      MainMenuLine(),
  };
  std::string out;
  for (const std::string& l : lines) out += l + "\r\n";
  return out;
}

std::string FrameBoardFile() {
  return "1\t1\tBBS\t" + PadRight(Sjis("雑談ボード"), 20) + "\r\n" + "2\t3\tCUG\t" +
         PadRight(Sjis("プログラム同好会"), 20) + "\r\n";
}

std::string FrameCaptureWithoutMessages() { return MainMenuLine() + "\r\n" + Sjis("さようなら") + "\r\n"; }

QString Text(const std::string& sjis) { return QString::fromStdString(SjisToUtf8(sjis)).replace("\n\r", "\n"); }

}  // namespace tobrisk::testing
