#include "cli/line_output.h"

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <exception>
#include <mutex>
#include <thread>

#include "core/text/io_error.h"
#include "core/text/sjis.h"

namespace tobrisk::cli {

void WriteLinesInOrder(size_t count, bool sjis, const LineFormatter& format) {
  constexpr size_t kRun = 1024;  // items per run: about 100 KB of list lines
  const size_t runs = (count + kRun - 1) / kRun;
  std::atomic<size_t> next_run{0};
  std::mutex mutex;
  std::condition_variable turn;
  size_t runs_written = 0;     // under `mutex`
  int write_errno = 0;         // the first failed write's errno, under `mutex`
  std::exception_ptr failure;  // what the first failed formatting threw, under `mutex`
  auto work = [&] {
    std::string text;
    Utf8Buffer utf8;
    for (;;) {
      const size_t run = next_run.fetch_add(1);
      if (run >= runs) return;
      std::string_view bytes;
      std::exception_ptr error;
      try {
        text.clear();
        format(run * kRun, std::min(count, (run + 1) * kRun), text);
        bytes = sjis ? std::string_view(text) : utf8.Of(text);
      } catch (...) {
        // Thrown out of a thread it would end the program: it goes to the caller.
        error = std::current_exception();
        next_run.store(runs);  // no more runs are taken
      }
      // A failed run still takes its turn: the runs taken after it wait for it.
      std::unique_lock lock(mutex);
      turn.wait(lock, [&] { return runs_written == run; });
      if (error && !failure) failure = error;
      // An empty run may have no buffer at all: fwrite is given none.
      if (!failure && write_errno == 0 && !bytes.empty() &&
          std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size()) {
        write_errno = errno != 0 ? errno : EIO;
        next_run.store(runs);  // the command fails anyway: no more runs are taken
      }
      ++runs_written;
      turn.notify_all();
    }
  };
  {
    std::thread helper;
    if (runs > 1) helper = std::thread(work);
    work();
    if (helper.joinable()) helper.join();
  }
  if (failure) std::rethrow_exception(failure);
  if (write_errno == 0 && std::fflush(stdout) != 0) write_errno = errno != 0 ? errno : EIO;
  if (write_errno != 0) {
    errno = write_errno;
    throw IoError::FromErrno("write", "standard output");
  }
}

}  // namespace tobrisk::cli
