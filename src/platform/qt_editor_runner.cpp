#include "platform/qt_editor_runner.h"

#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

namespace tobrisk {

void QtEditorRunner::CommandFor(const QString& editor, const QString& file, QString& program, QStringList& arguments) {
  if (QFileInfo(editor).isFile()) {
    program = editor;
    arguments = {file};
    return;
  }
  arguments = QProcess::splitCommand(editor);
  if (arguments.isEmpty()) {
    program.clear();
    return;
  }
  program = arguments.takeFirst();
  arguments.append(file);
}

bool QtEditorRunner::Run(const std::string& editor, const std::string& file, std::string& error) {
  QString program;
  QStringList arguments;
  CommandFor(QFile::decodeName(QByteArray::fromStdString(editor)), QFile::decodeName(QByteArray::fromStdString(file)),
             program, arguments);
  if (program.isEmpty()) {
    error = "no editor is set";
    return false;
  }

  QProcess process;
  process.setProcessChannelMode(QProcess::ForwardedChannels);
  process.setInputChannelMode(QProcess::ForwardedInputChannel);
  QEventLoop loop;
  bool done = false;
  bool failed = false;
  QObject::connect(&process, &QProcess::finished, &loop, [&] {
    done = true;
    loop.quit();
  });
  QObject::connect(&process, &QProcess::errorOccurred, &loop, [&](QProcess::ProcessError e) {
    if (e != QProcess::FailedToStart) return;  // a crash is followed by finished
    failed = true;
    done = true;
    loop.quit();
  });
  process.start(program, arguments);
  if (!done) loop.exec();
  if (failed) {
    error = process.errorString().toStdString();
    return false;
  }
  // The loop can also end because the application is quitting: the user's
  // editor is never killed, so wait for it.
  if (process.state() != QProcess::NotRunning) process.waitForFinished(-1);
  return true;
}

}  // namespace tobrisk
