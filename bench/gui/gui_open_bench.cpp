// gui-open-bench: the desktop program's main frame opening a big capture, next
// to `tobrisk-cli list` on the same capture; then scrolling, selecting and
// switching pages in the full list.
//   QT_QPA_PLATFORM=offscreen build/bin/gui-open-bench [LOG...]
// Without LOG a capture is generated: TOBRISK_BENCH_MB sets its size (default
// 100), TOBRISK_BENCH_SHAPE its shape ("long", the default, or "short"). Logs
// given must be of the net BENC (file names BENC*.LOG). TOBRISK_BENCH_OLD_TEXT=1
// starts in a work folder that holds the escape-free text of an earlier open
// (a NOESC.LOG as big as the logs, written out to the disk), as a folder in daily
// use does: the open replaces it. TOBRISK_BENCH_READ_MARKS=N starts with N read
// marks stored for the net (the default ReadTypeMax keeps 1000).
//
// "start to list" runs from before the application object is made to the list
// painted after the first open; as in the program started with a log, the log
// starts being read (LogsReadAhead) before the application object is made; "peak memory" is the process's peak resident
// size over that span (the generated capture is written out and freed before).
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QProcess>
#include <QScrollBar>
#include <QTabWidget>
#include <QTableView>
#include <QTreeView>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "capture_generator.h"
#include "gui_fixture.h"

using namespace tobrisk;

namespace {

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

double Ms(const QElapsedTimer& t) { return static_cast<double>(t.nsecsElapsed()) / 1e6; }

// A value in kB from /proc/self/status ("VmHWM", "VmRSS"); -1 when unknown.
long StatusKb(const std::string& field) {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind(field + ":", 0) == 0) return std::atol(line.c_str() + field.size() + 1);
  }
  return -1;
}

// Starts a new peak: the kernel sets VmHWM back to the current resident size.
void ResetPeak() {
  std::ofstream clear("/proc/self/clear_refs");
  clear << "5";
}

}  // namespace

int main(int argc, char** argv) {
  const char* mb_env = std::getenv("TOBRISK_BENCH_MB");
  const char* shape_env = std::getenv("TOBRISK_BENCH_SHAPE");
  const double mb = mb_env ? std::atof(mb_env) : 100.0;
  const std::string shape = shape_env ? shape_env : "long";
  const int runs = 3;

  // The logs: given, or generated into a folder of their own and freed.
  std::vector<std::string> log_paths;
  std::string generated_dir;
  for (int i = 1; i < argc; ++i) {
    if (argv[i][0] != '-') log_paths.push_back(argv[i]);
  }
  double capture_mb = 0;
  if (log_paths.empty()) {
    testing::CaptureOptions options;
    if (!testing::CaptureOptionsForShape(shape, mb, 1, options)) {
      std::fprintf(stderr, "gui-open-bench: unknown shape %s\n", shape.c_str());
      return 2;
    }
    generated_dir = testing::MakeTempDir("tobrisk-gui-bench");
    log_paths.push_back(generated_dir + "/BENC0101.LOG");
    std::string capture = testing::GenerateCapture(options);
    testing::WriteFile(log_paths[0], capture);
    capture_mb = static_cast<double>(capture.size()) / (1024.0 * 1024.0);
    std::string().swap(capture);
  } else {
    for (const std::string& p : log_paths) {
      std::ifstream f(p, std::ios::binary | std::ios::ate);
      capture_mb += static_cast<double>(f.tellg()) / (1024.0 * 1024.0);
    }
  }

  // The work folder is made before the clock starts: the program's exists when it starts.
  testing::MainFrameFixture fixture;
  fixture.Folder().WriteNets({"BENC\tBench\tme\tUP"});
  if (const char* marks = std::getenv("TOBRISK_BENCH_READ_MARKS"); marks != nullptr && std::atoi(marks) > 0) {
    // A net in daily use has read marks: the first messages of board BBS 1 read.
    std::ofstream rad(fixture.Folder().Dir() + "BENC.RAD", std::ios::binary);
    for (int number = 1; number <= std::atoi(marks); ++number) rad << "BBS\t1\t" << number << "\t\x81\x9B\r\n";
  }
  if (const char* old_text = std::getenv("TOBRISK_BENCH_OLD_TEXT"); old_text != nullptr && old_text[0] == '1') {
    const std::string block(size_t{1} << 20, 'x');
    std::ofstream old(fixture.Folder().Dir() + "NOESC.LOG", std::ios::binary);
    for (int mb_written = 0; mb_written < capture_mb; ++mb_written) {
      old.write(block.data(), static_cast<std::streamsize>(block.size()));
    }
    old.close();
    ::sync();
    ::sleep(3);  // the memory freed meanwhile goes back to the host, as before any start after a pause
  }

  ResetPeak();
  const long rss_before_kb = StatusKb("VmRSS");
  QElapsedTimer from_start;
  from_start.start();
  // As the program does when started with logs: they are read while the toolkit starts.
  auto read_ahead = std::make_unique<LogsReadAhead>(log_paths, fixture.Folder().Dir());
  QApplication app(argc, argv);
  QStringList logs;
  for (const std::string& p : log_paths) logs << QString::fromStdString(p);

  gui::TfrmMain& frame = fixture.Start();
  frame.SetReadAhead(std::move(read_ahead));
  std::vector<double> open;
  double start_to_list = 0;
  double start_to_tree = 0;
  long peak_kb = 0;
  for (int i = 0; i < runs; ++i) {
    QElapsedTimer t;
    t.start();
    frame.OpenLogFiles(logs);
    QApplication::processEvents();  // the list is painted
    open.push_back(Ms(t));
    if (i == 0) start_to_list = Ms(from_start);
    if (i == 0) {
      // A long list's tree is whole a little after the painting (its rest is built meanwhile).
      while (fixture.State().message_tree_rest) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
      start_to_tree = Ms(from_start);
    }
    // The tree page lays out the rest of its rows in batches after the first
    // paint: the peak and the next open count once they all are.
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 300) QApplication::processEvents(QEventLoop::AllEvents, 50);
    if (i == 0) peak_kb = StatusKb("VmHWM");
  }
  const long rss_open_kb = StatusKb("VmRSS");
  const size_t messages = fixture.State().messages.Size();

  auto* grid = frame.findChild<QTableView*>("LogMessageGrid");
  // The pages of the message window that holds the grid.
  QTabWidget* pages = nullptr;
  for (QWidget* w = grid; w != nullptr && pages == nullptr; w = w->parentWidget()) pages = qobject_cast<QTabWidget*>(w);
  double scroll_ms = -1, select_ms = -1, page_ms = -1, page_median_ms = -1;
  if (grid != nullptr) {
    if (pages != nullptr && !grid->isVisible()) {  // the list page, shown
      pages->setCurrentIndex(1);
      pages->setCurrentIndex(0);
      QApplication::processEvents();
    }
    std::printf("list page shown: %s, %d rows on screen\n", grid->isVisible() ? "yes" : "no",
                grid->viewport()->height() / std::max(1, grid->verticalHeader()->defaultSectionSize()));
    QElapsedTimer t;
    t.start();
    for (int step = 0; step < 50; ++step) {
      grid->verticalScrollBar()->setValue(grid->verticalScrollBar()->maximum() * step / 49);
      grid->viewport()->repaint();
    }
    scroll_ms = Ms(t) / 50;
    t.restart();
    for (int step = 0; step < 50; ++step) {
      grid->selectRow(static_cast<int>(messages) * step / 50);
      QApplication::processEvents();
    }
    select_ms = Ms(t) / 50;
  }
  if (pages != nullptr) {
    // List page -> tree page -> list page, each shown and painted.
    std::vector<double> switches;
    for (int step = 0; step < 10; ++step) {
      QElapsedTimer t;
      t.start();
      pages->setCurrentIndex(step % 2 == 0 ? 1 : 0);
      QApplication::processEvents();
      switches.push_back(Ms(t));
    }
    page_ms = *std::max_element(switches.begin(), switches.end());
    page_median_ms = Median(switches);
  }

  // The command-line tool on the same logs, from the same folder.
  std::vector<double> cli;
  for (int i = 0; i < runs; ++i) {
    QProcess p;
    p.setWorkingDirectory(QString::fromStdString(fixture.Folder().Dir()));
    p.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer t;
    t.start();
    p.start(QCoreApplication::applicationDirPath() + "/tobrisk-cli", QStringList{"list"} + logs);
    p.waitForFinished(-1);
    cli.push_back(Ms(t));
  }

  std::printf("capture: %.1f MB in %zu log(s)\n", capture_mb, log_paths.size());
  std::printf("messages: %zu\n", messages);
  std::printf("tobrisk-cli list (process, median of %d): %.0f ms\n", runs, Median(cli));
  std::printf(
      "start to list (application made, frame built, log opened, list painted): %.0f ms (%.2fx of the command)\n",
      start_to_list, start_to_list / Median(cli));
  std::printf("start to whole tree (its last boards built after the painting): %.0f ms\n", start_to_tree);
  std::printf("window open to painted list (median of %d): %.0f ms (%.2fx of the command)\n", runs, Median(open),
              Median(open) / Median(cli));
  std::printf(
      "peak memory from start to list: %.1f MB (%.2fx of the capture; %.1f MB before start); "
      "resident after the opens: %.1f MB\n",
      peak_kb / 1024.0, peak_kb / 1024.0 / capture_mb, rss_before_kb / 1024.0, rss_open_kb / 1024.0);
  std::printf(
      "scroll step with repaint: %.2f ms; selecting a message (text shown): %.2f ms; "
      "switching pages: %.2f ms (slowest of 10: %.2f ms)\n",
      scroll_ms, select_ms, page_median_ms, page_ms);
  fixture.Prompter().answers.push_back(Answer::Yes);
  fixture.Stop();
  if (!generated_dir.empty()) testing::RemoveTree(generated_dir);
  return 0;
}
