#include "gui/shell/session_end.h"

#include <QDir>
#include <QGuiApplication>
#include <QLockFile>
#include <QSessionManager>
#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <iostream>

#include "core/ports/prompter.h"
#include "gui/shell/TfrmMain.h"
#include "core/text/sjis.h"
#include "gui/widgets/gui_prompter.h"

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

namespace tobrisk::gui {
namespace {

TfrmMain* g_frame = nullptr;  // the frame saved at process exit
bool g_exit_save_registered = false;

#ifndef _WIN32
constexpr int kEndSignals[] = {SIGTERM, SIGINT, SIGHUP};
int g_signal_pipe[2] = {-1, -1};

extern "C" void OnEndSignal(int signo) {
  const int saved_errno = errno;
  const char byte = static_cast<char>(signo);
  [[maybe_unused]] const ssize_t n = ::write(g_signal_pipe[1], &byte, 1);
  errno = saved_errno;
}

void SetHandlers(void (*handler)(int)) {
  for (const int signo : kEndSignals) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(signo, &action, nullptr);
  }
}
#endif

// The toolkit ends the process with exit() when the display connection breaks;
// the journal is already current, the marks may be a moment behind.
void SaveAtExit() {
  if (g_frame) g_frame->SaveSessionQuietly();
}

}  // namespace

SessionEnd::SessionEnd(TfrmMain& frame) : frame_(frame) {
  setObjectName("SessionEnd");
#ifndef _WIN32
  if (g_signal_pipe[0] < 0 && ::pipe2(g_signal_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
    g_signal_pipe[0] = g_signal_pipe[1] = -1;
  }
  if (g_signal_pipe[0] >= 0) {
    notifier_ = new QSocketNotifier(g_signal_pipe[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &SessionEnd::SignalArrived);
    SetHandlers(OnEndSignal);
  }
#endif
  if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
    // The session manager asks to save before logging out: no questions then,
    // and the close that follows asks nothing either.
    connect(app, &QGuiApplication::commitDataRequest, &frame_, [this](QSessionManager&) {
      frame_.SetSessionEnding();
      frame_.SaveSessionQuietly();
    });
  }
  connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, &frame_,
          [this] { frame_.SaveSessionQuietly(); });
  g_frame = &frame_;
  if (!g_exit_save_registered) {
    g_exit_save_registered = true;
    std::atexit(SaveAtExit);
  }
}

SessionEnd::~SessionEnd() {
  g_frame = nullptr;
#ifndef _WIN32
  if (notifier_) SetHandlers(SIG_DFL);
#endif
}

void SessionEnd::SignalArrived() {
#ifndef _WIN32
  char bytes[16];
  while (::read(g_signal_pipe[0], bytes, sizeof bytes) > 0) {
  }
  // A second signal ends the program at once: everything is saved by now.
  SetHandlers(SIG_DFL);
  notifier_->setEnabled(false);
#endif
  frame_.EndSession();
}

std::unique_ptr<QLockFile> LockWorkFolder(const QString& folder, Prompter& prompter) {
  auto lock = std::make_unique<QLockFile>(QDir(folder).filePath(QString::fromLatin1(kWorkFolderLockName)));
  // Never stale by age, only when the process that holds it is gone.
  lock->setStaleLockTime(0);
  if (lock->tryLock(0)) return lock;
  if (lock->error() != QLockFile::LockFailedError) {
    std::cerr << "tobrisk: the work folder cannot be locked; going on without the lock\n";
    return lock;
  }
  const std::string text = Sjis("作業フォルダ [") + ToSjis(QDir::toNativeSeparators(folder)) +
                           Sjis("] は他の Tobrisk で使用中です。") + "\n\r" +
                           Sjis("同じフォルダで二つの Tobrisk を同時に使うことは出来ません。");
  QString line = FromSjis(text);
  std::cerr << "tobrisk: " << line.replace(QLatin1Char('\r'), QString()).toLocal8Bit().constData() << '\n';
  prompter.Error(text);
  return nullptr;
}

bool WorkFolderInUse(const QString& folder) {
  QLockFile probe(QDir(folder).filePath(QString::fromLatin1(kWorkFolderLockName)));
  probe.setStaleLockTime(0);
  if (!probe.tryLock(0)) return probe.error() == QLockFile::LockFailedError;
  probe.unlock();
  return false;
}

}  // namespace tobrisk::gui
