// gui-open-bench: opening a big generated capture in the real main frame next to
// `tobrisk-cli list` on the same capture, then scrolling and selecting in the
// full list. TOBRISK_BENCH_MB sets the capture size (default 100).
//   QT_QPA_PLATFORM=offscreen build/bin/gui-open-bench
#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QScrollBar>
#include <QTableView>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "capture_generator.h"
#include "gui_fixture.h"

using namespace tobrisk;

namespace {

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const char* env = std::getenv("TOBRISK_BENCH_MB");
  const double mb = env ? std::atof(env) : 100.0;
  const int runs = 3;

  testing::MainFrameFixture fixture;
  fixture.Folder().WriteNets({"BENC\tBench\tme\tUP"});
  const std::string capture = testing::GenerateCapture(testing::BenchCaptureOptions(mb));
  fixture.Folder().Write("BENC0101.LOG", capture);
  const QString log = QString::fromStdString(fixture.Folder().Path("BENC0101.LOG"));
  std::printf("capture: %.1f MB\n", static_cast<double>(capture.size()) / (1024.0 * 1024.0));

  std::vector<double> cli;
  for (int i = 0; i < runs; ++i) {
    QProcess p;
    p.setWorkingDirectory(QString::fromStdString(fixture.Folder().Dir()));
    p.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer t;
    t.start();
    p.start(QCoreApplication::applicationDirPath() + "/tobrisk-cli", {"list", log});
    p.waitForFinished(-1);
    cli.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
  }

  gui::TfrmMain& frame = fixture.Start();
  std::vector<double> open;
  for (int i = 0; i < runs; ++i) {
    QElapsedTimer t;
    t.start();
    frame.OpenLogFiles({log});
    QApplication::processEvents();  // the list is painted
    open.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
  }
  const size_t messages = fixture.State().messages.Size();

  auto* grid = frame.findChild<QTableView*>("LogMessageGrid");
  double scroll_ms = -1;
  double select_ms = -1;
  if (grid != nullptr) {
    QElapsedTimer t;
    t.start();
    for (int step = 0; step < 50; ++step) {
      grid->verticalScrollBar()->setValue(grid->verticalScrollBar()->maximum() * step / 49);
      grid->viewport()->repaint();
    }
    scroll_ms = static_cast<double>(t.nsecsElapsed()) / 1e6 / 50;
    t.restart();
    for (int step = 0; step < 50; ++step) {
      grid->selectRow(static_cast<int>(messages) * step / 50);
      QApplication::processEvents();
    }
    select_ms = static_cast<double>(t.nsecsElapsed()) / 1e6 / 50;
  }
  std::printf("messages: %zu\n", messages);
  std::printf("tobrisk-cli list (process, median of %d): %.0f ms\n", runs, Median(cli));
  std::printf("window open to painted list (median of %d): %.0f ms (%.2fx of the command)\n", runs, Median(open),
              Median(open) / Median(cli));
  std::printf("scroll step with repaint: %.2f ms; selecting a message (text shown): %.2f ms\n", scroll_ms,
              select_ms);
  fixture.Prompter().answers.push_back(Answer::Yes);
  fixture.Stop();
  return 0;
}
