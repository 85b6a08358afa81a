// The program's end when the member does not close it. A real second process
// (this binary started again with --session-child) runs the real frame, the
// writing commands and the session-end handling in a work folder: it opens a
// log, marks a message read with the space bar and answers another through a stand-in
// editor, then waits. It is then sent SIGTERM, SIGINT or SIGHUP (nothing may
// be asked, the marks and the pending reply must be on disk) or SIGKILL two and
// a half seconds later (the marks were saved soon after the change, the reply
// when it entered the write list). The next start offers the reply back.
// Also: a second program on a work folder in use is refused, and a lock left
// by a killed run is taken over.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLockFile>
#include <QProcess>
#include <QTableView>
#include <QtTest>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "helpers/gui_fixture.h"
#include "core/reading/read_marks.h"
#include "platform/qt_editor_runner.h"
#include "gui/reading/TfrmLogMessage.h"
#include "core/settings/app_settings.h"
#include "gui/shell/session_end.h"
#include "core/text/files.h"
#include "core/text/sjis.h"
#include "gui/widgets/list_grid.h"
#include "core/writing/write_journal.h"
#include "gui/writing/writing_commands.h"

using namespace tobrisk;
using namespace tobrisk::testing;

namespace {

constexpr const char* kChildFlag = "--session-child";

// The child: the program as main() builds it, then a mark and a reply.
int RunChild(int argc, char** argv) {
  QApplication app(argc, argv);
  FakePrompter prompter;  // any question would throw: none may be asked
  FixedClock clock;
  QtSettingsStore store;
  QtEditorRunner editor;
  Ports ports;
  ports.prompter = &prompter;
  ports.clock = &clock;
  ports.store = &store;
  ports.editor = &editor;
  const std::unique_ptr<QLockFile> lock = gui::LockWorkFolder(QDir::currentPath(), prompter);
  if (!lock) return 3;
  gui::TfrmMain frame(ports);
  auto* writing = new gui::WritingCommands(frame);
  gui::SessionEnd session_end(frame);
  frame.show();
  frame.OpenLogFiles({QStringLiteral("ABCD0101.LOG")});
  if (frame.State().messages.Size() != 5) return 4;
  auto* grid = frame.findChild<QTableView*>("LogMessageGrid");
  gui::SelectGridRow(grid, 4);  // CUG 3 #11
  QKeyEvent space(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
  QApplication::sendEvent(grid, &space);      // read
  writing->ResMessage(2, ReplyOrigin::List);  // BBS 1 #101
  if (frame.State().pending_count != 1) return 5;
  std::printf("READY\n");
  std::fflush(stdout);
  const int rc = app.exec();
  std::printf("ENDED %d\n", rc);
  std::fflush(stdout);
  return rc;
}

}  // namespace

class TestSessionEnd : public QObject {
  Q_OBJECT

 private slots:
  void signalsAndKillsLoseNothing_data();
  void signalsAndKillsLoseNothing();
  void declinedOfferDropsTheJournalOnly();
  void secondProgramOnTheFolderIsRefused();

 private:
  // NET.TDT, the capture, and an editor that writes a title and a line.
  static void PrepareFolder(MainFrameFixture& f) {
    f.Folder().WriteNets({"ABCD\tネットA\tたろう\tUPA"});
    f.Folder().Write("ABCD0101.LOG", FrameCapture());
    f.Folder().Write("editor.sh",
                     "#!/bin/sh\nprintf '" + Sjis("お返事") + "\\r\\n" + Sjis("よろしく") + "\\r\\n' > \"$1\"\n");
    QFile::setPermissions(QString::fromStdString(f.Folder().Path("editor.sh")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QtSettingsStore store;
    AppSettings s = DefaultSettings();
    s.editor = f.Folder().Path("editor.sh");
    s.up_dir = f.Folder().Dir();
    SaveSettings(s, store);
  }
  static std::unique_ptr<QProcess> StartChild() {
    auto child = std::make_unique<QProcess>();
    child->setProcessChannelMode(QProcess::SeparateChannels);
    child->start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(kChildFlag)});
    return child;
  }
  static bool WaitReady(QProcess& child) {
    QByteArray out;
    for (int i = 0; i < 300 && !out.contains("READY"); ++i) {
      if (child.state() == QProcess::NotRunning) break;
      child.waitForReadyRead(100);
      out += child.readAllStandardOutput();
    }
    if (!out.contains("READY")) qWarning("child: %s %s", out.constData(), child.readAllStandardError().constData());
    return out.contains("READY");
  }
};

void TestSessionEnd::signalsAndKillsLoseNothing_data() {
  QTest::addColumn<int>("signo");
  QTest::addColumn<int>("wait_ms");
  QTest::newRow("SIGTERM") << int(SIGTERM) << 0;
  QTest::newRow("SIGINT") << int(SIGINT) << 0;
  QTest::newRow("SIGHUP") << int(SIGHUP) << 0;
  QTest::newRow("SIGKILL after 2.5 s") << int(SIGKILL) << 2500;
}

void TestSessionEnd::signalsAndKillsLoseNothing() {
  QFETCH(int, signo);
  QFETCH(int, wait_ms);
  MainFrameFixture f;
  PrepareFolder(f);
  std::unique_ptr<QProcess> child = StartChild();
  QVERIFY(WaitReady(*child));
  QTest::qWait(wait_ms);
  QVERIFY(::kill(static_cast<pid_t>(child->processId()), signo) == 0);
  QVERIFY(child->waitForFinished(10000));
  if (signo != SIGKILL) {
    // Ended on its own, at once, without a question.
    QCOMPARE(child->exitStatus(), QProcess::NormalExit);
    QCOMPARE(child->exitCode(), 0);
    QVERIFY(child->readAllStandardOutput().contains("ENDED 0"));
  }
  // The marks: read with the space bar, replied by the reply.
  QVERIFY(FileExists(f.Folder().Path("ABCD.RAD")));
  std::vector<ReadMarkRecord> marks;
  ReadReadMarkFile(f.Folder().Path("ABCD.RAD"), marks);
  const std::vector<ReadMarkRecord> expected{{"CUG", "3", "11", Sjis("○")}, {"BBS", "1", "101", Sjis("●")}};
  QString got;
  for (const ReadMarkRecord& r : marks)
    got += Text(r.board_type + " " + r.board_no + " " + r.message_no + " " + r.mark) + "; ";
  QVERIFY2(marks == expected, qPrintable(got));
  // The reply is in the journal, for net ABCD; no upload file was written.
  const std::optional<WriteJournal> journal = LoadWriteJournal(f.Folder().Path("tmp/"));
  QVERIFY(journal);
  QCOMPARE(journal->log_header, std::string("ABCD"));
  QCOMPARE(journal->entries.size(), size_t(1));
  QCOMPARE(Text(journal->entries[0].title), QStringLiteral("お返事"));
  QCOMPARE(journal->entries[0].res_to_no, std::string("101"));
  QVERIFY(!FileExists(f.Folder().Path("UPA0305.TXT")));

  // The next start offers it back: pending again, for its net, on the write page.
  f.Prompter().answers.push_back(Answer::Yes);
  f.Start();
  new gui::WritingCommands(f.Frame());
  f.Frame().OfferPreviousWrites();
  QCOMPARE(Text(f.Prompter().boxes.back().text),
           QStringLiteral(
               "前回の書き込みが 1 件残っています。\n書き込み一覧に戻しますか？\n"
               "「いいえ」の場合、書き込み一覧には戻しませんが、メッセージのファイルは tmp フォルダに残ります。"));
  QCOMPARE(f.State().writes.size(), size_t(1));
  QCOMPARE(f.State().pending_count, 1);
  QCOMPARE(f.State().settings.default_net, 0);
  QVERIFY(f.Action("UpTextButton")->isEnabled());
  QVERIFY(!f.Find<QComboBox>("ComboBox1")->isEnabled());
  QCOMPARE(f.Find<QTableView>("WriteGrid")->model()->rowCount(), 1);
  // Closing outputs it as any pending message, and nothing is left to offer.
  f.Stop();
  QVERIFY(FileExists(f.Folder().Path("UPA0305.TXT")));
  QVERIFY(!FileExists(WriteJournalPath(f.Folder().Path("tmp/"))));
}

void TestSessionEnd::declinedOfferDropsTheJournalOnly() {
  MainFrameFixture f;
  f.Folder().WriteNets({"ABCD\tネットA\tたろう\tUPA"});
  QDir().mkdir(QStringLiteral("tmp"));
  f.Folder().Write("tmp/0305123456.TXT", Sjis("題\r\n本文\r\n"));
  const WriteJournal journal{"ABCD",
                             {{"1", "BBS", "1", "x", "0", Sjis("題"), "NEW", "0305123456.TXT", "0"},
                              {"2", "BBS", "1", "x", "0", Sjis("消"), "NEW", "0305123457.TXT", "1"}}};
  f.Folder().Write("tmp/WRITES.JNL", WriteJournalText(journal));
  f.Prompter().answers.push_back(Answer::No);
  f.Start();
  f.Frame().OfferPreviousWrites();
  QVERIFY(Text(f.Prompter().boxes.back().text).startsWith(QStringLiteral("前回の書き込みが 1 件")));
  QVERIFY(f.State().writes.empty());
  QCOMPARE(f.State().pending_count, 0);
  QVERIFY(!FileExists(f.Folder().Path("tmp/WRITES.JNL")));
  QVERIFY(FileExists(f.Folder().Path("tmp/0305123456.TXT")));
  f.Stop();
}

void TestSessionEnd::secondProgramOnTheFolderIsRefused() {
  MainFrameFixture f;
  PrepareFolder(f);
  std::unique_ptr<QProcess> child = StartChild();
  QVERIFY(WaitReady(*child));
  FakePrompter prompter;
  QVERIFY(gui::WorkFolderInUse(QDir::currentPath()));  // so the logs given are not read ahead
  QVERIFY(!gui::LockWorkFolder(QDir::currentPath(), prompter));
  QCOMPARE(prompter.boxes.size(), size_t(1));
  QVERIFY(Text(prompter.boxes[0].text).contains(QStringLiteral("は他の Tobrisk で使用中です。")));
  // Killed, it leaves its lock file behind; the next program takes it over.
  ::kill(static_cast<pid_t>(child->processId()), SIGKILL);
  QVERIFY(child->waitForFinished(10000));
  QVERIFY(FileExists(f.Folder().Path("TOBRISK.LCK")));
  QVERIFY(!gui::WorkFolderInUse(QDir::currentPath()));
  FakePrompter next;
  QVERIFY(gui::LockWorkFolder(QDir::currentPath(), next) != nullptr);
  QVERIFY(next.boxes.empty());
}

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], kChildFlag) == 0) return RunChild(argc, argv);
  QApplication app(argc, argv);
  TestSessionEnd test;
  return QTest::qExec(&test, argc, argv);
}

#include "test_session_end.moc"
