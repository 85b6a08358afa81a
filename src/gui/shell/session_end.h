// How the desktop program ends when the member does not close it: SIGTERM,
// SIGINT and SIGHUP, the end of the desktop session, and a lost display. In
// each case the frame saves the read marks and the write list's journal and the
// program ends without questions; messages still pending are offered back at
// the next start. Also the work folder's lock: one desktop program per folder.
#pragma once

#include <QObject>
#include <QString>
#include <memory>

class QLockFile;
class QSocketNotifier;

namespace tobrisk {
class Prompter;
}

namespace tobrisk::gui {

class TfrmMain;

class SessionEnd final : public QObject {
  Q_OBJECT

 public:
  // Installs the signal handlers (a self-pipe read on the event loop), follows
  // the session manager's commit request and the application's last moments,
  // and registers a last save at process exit (a lost display ends the process
  // from inside the toolkit). One at a time.
  explicit SessionEnd(TfrmMain& frame);
  ~SessionEnd() override;
  SessionEnd(const SessionEnd&) = delete;
  SessionEnd& operator=(const SessionEnd&) = delete;

 private:
  void SignalArrived();

  TfrmMain& frame_;
  QSocketNotifier* notifier_ = nullptr;
};

// The name of the lock file in the work folder.
inline constexpr const char* kWorkFolderLockName = "TOBRISK.LCK";

// Takes the lock of the work folder `folder`. When another desktop program
// holds it, says so (Shift-JIS box through the prompter, and on stderr) and
// returns nullptr: the program must not start. A lock left by a run that was
// killed is taken over. A folder where no lock can be made (read-only) is
// used without one.
std::unique_ptr<QLockFile> LockWorkFolder(const QString& folder, Prompter& prompter);

// Whether another desktop program holds the lock of `folder` now (a lock left
// by a killed run does not count). Usable before the application object exists.
bool WorkFolderInUse(const QString& folder);

}  // namespace tobrisk::gui
