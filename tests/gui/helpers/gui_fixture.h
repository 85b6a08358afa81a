// Shared helpers of the GUI suites: a temporary work folder that is the current
// directory with XDG_CONFIG_HOME pointed at a temporary folder, the real main
// frame built on fake ports (FakePrompter, FixedClock) and the real settings
// store, a file chooser that answers the open dialogs, and small finders.
#pragma once

#include <QApplication>
#include <QStringList>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "fakes.h"
#include "platform/qt_settings_store.h"
#include "gui/shell/TfrmMain.h"
#include "gui/widgets/file_chooser.h"

namespace tobrisk::testing {

// A fresh work folder made the current directory, and a fresh settings folder
// as XDG_CONFIG_HOME; both restored and removed on destruction.
class GuiWorkFolder {
 public:
  GuiWorkFolder();
  ~GuiWorkFolder();
  GuiWorkFolder(const GuiWorkFolder&) = delete;
  GuiWorkFolder& operator=(const GuiWorkFolder&) = delete;

  // The folder with a trailing separator.
  const std::string& Dir() const { return dir_; }
  std::string Path(const std::string& name) const { return dir_ + name; }
  // Writes bytes to a file of the folder (Shift-JIS content as given).
  void Write(const std::string& name, const std::string& bytes) const;
  // NET.TDT with one line per net: "HEADER\tName\tHandle\tUP" (UTF-8, stored Shift-JIS).
  void WriteNets(const std::vector<std::string>& lines_utf8) const;
  std::string Read(const std::string& name) const;

 private:
  std::string dir_;
  std::string config_dir_;
  QByteArray old_cwd_;
  QByteArray old_config_;
  bool had_config_ = false;
};

// Answers the open dialogs in order; records every request.
class FakeFileChooser final : public gui::FileChooser {
 public:
  QStringList OpenFiles(QWidget* parent, const gui::OpenFilesRequest& request) override;
  QString ChooseDirectory(QWidget* parent, const QString& title, const QString& directory) override;
  QString SaveFile(QWidget* parent, const QString& title, const QString& path) override;

  std::deque<QStringList> file_answers;  // an empty list cancels
  std::deque<QString> folder_answers;
  std::deque<QString> save_answers;  // an empty name cancels
  std::vector<gui::OpenFilesRequest> requests;
  int folder_requests = 0;
};

// The real main frame in a GuiWorkFolder. Start() builds it (after the test put
// its files into the folder); Stop() closes and destroys it.
class MainFrameFixture {
 public:
  MainFrameFixture();
  ~MainFrameFixture();

  gui::TfrmMain& Start();
  // Closes the frame (the close check runs; answers must be queued) and destroys it.
  void Stop();
  bool Running() const { return frame_ != nullptr; }
  gui::TfrmMain& Frame() { return *frame_; }
  WorkState& State() { return frame_->State(); }

  GuiWorkFolder& Folder() { return folder_; }
  FakePrompter& Prompter() { return prompter_; }
  FakeFileChooser& Chooser() { return chooser_; }
  // The clock the frame reads (composition file names, UpFile date, footer).
  FixedClock& TestClock() { return clock_; }
  SettingsStore& Store() { return *store_; }
  // A store on the same INI file, read afresh (what the next start would see).
  std::unique_ptr<QtSettingsStore> ReopenStore() const;

  // The children of the frame by objectName.
  template <typename T>
  T* Find(const QString& name) const {
    return frame_->findChild<T*>(name);
  }
  QAction* Action(const QString& name) const;
  // Triggers an action by name (fails the test when it is missing or disabled).
  void Trigger(const QString& name);

  // Error/info texts shown since the start, as UTF-8.
  QStringList BoxTexts() const;
  void ClearBoxes() { prompter_.boxes.clear(); }

 private:
  GuiWorkFolder folder_;
  FakePrompter prompter_;
  FixedClock clock_;
  FakeFileChooser chooser_;
  gui::ScopedFileChooser chooser_scope_;
  std::unique_ptr<QtSettingsStore> store_;
  std::unique_ptr<gui::TfrmMain> frame_;
};

// Runs `act` on the next modal dialog once it is shown (polled every 10 ms for
// up to 5 s). Use before the call that opens the dialog.
void WhenModalShown(std::function<void(QWidget*)> act);

// Closes every top-level window still open (cleanup).
void CloseAllWindows();

// A small capture (CR LF lines, Shift-JIS): two mails; board BBS 1 "雑談ボード"
// with messages 101 and 102 (a reply); board CUG 3 "プログラム同好会" with
// message 11. Five messages in all.
std::string FrameCapture();
// The matching board file: 1 BBS 1, 2 CUG 3 (names padded to 20 bytes).
std::string FrameBoardFile();
// A capture with no message header at all.
std::string FrameCaptureWithoutMessages();

// UTF-8 view of Shift-JIS bytes, for comparisons.
QString Text(const std::string& sjis);

}  // namespace tobrisk::testing
