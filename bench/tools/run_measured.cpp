// run-measured: wall time and peak memory of a command, or of copying a file
// and reading the copy, as the side-by-side benchmark (scripts/bench.sh) needs.
//   run-measured [-n RUNS] [--pause MS] [--remove PATH] -- COMMAND [ARGS...]   stdout of the command to /dev/null
//   run-measured [-n RUNS] [--pause MS] --copy-read FILE        copy FILE to FILE.copy, read the copy
// --remove removes PATH (a file, or a folder with everything in it) before each
// run and its pause, outside the time: an export measured as written anew, not
// as replacing the run before's (freeing 300 MB of output took 30 to 50 ms).
// --pause waits MS milliseconds before each run, as a person starts the program
// after a pause: on a virtual machine that takes back free memory, what a run
// frees is taken back within a few seconds, and the next run's fresh memory
// costs more than in runs one after the other (see the README).
// Prints "MEDIAN_MS MIN_MS PEAK_KB CPU_MS USER_MS": wall times, the peak resident
// size (largest of the runs) and the median processor time (user + system, all
// threads), which other work on a busy machine disturbs less than wall time,
// and the median user time alone. On a virtual machine the system time swings
// with the first touch of fresh memory (see the README's Performance section);
// the user time is what a change to the program's own work moves.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

double NowMs() {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double Ms(const timeval& t) { return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) / 1e3; }
double CpuMs(const rusage& u) { return Ms(u.ru_utime) + Ms(u.ru_stime); }

// One run of the command; its peak resident size in kB, -1 on failure.
long RunOnce(char** command, double& cpu_ms, double& user_ms) {
  const pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    const int null = open("/dev/null", O_WRONLY);
    if (null >= 0) dup2(null, STDOUT_FILENO);
    execvp(command[0], command);
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) < 0) return -1;
  cpu_ms = CpuMs(usage);
  user_ms = Ms(usage.ru_utime);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "run-measured: %s failed (status %d)\n", command[0], status);
    return -1;
  }
  return usage.ru_maxrss;
}

// A plain read/write copy to a new file, then reading the copy; both in 1 MB blocks.
bool CopyAndRead(const std::string& from) {
  const std::string to = from + ".copy";
  std::remove(to.c_str());  // a new file each time: overwriting makes the file system flush first
  std::FILE* in = std::fopen(from.c_str(), "rb");
  std::FILE* out = std::fopen(to.c_str(), "wb");
  if (in == nullptr || out == nullptr) return false;
  std::vector<char> buf(1 << 20);
  size_t n;
  while ((n = std::fread(buf.data(), 1, buf.size(), in)) > 0) std::fwrite(buf.data(), 1, n, out);
  std::fclose(in);
  if (std::fclose(out) != 0) return false;
  std::FILE* copy = std::fopen(to.c_str(), "rb");
  if (copy == nullptr) return false;
  size_t sum = 0;
  while ((n = std::fread(buf.data(), 1, buf.size(), copy)) > 0) sum += static_cast<unsigned char>(buf[n - 1]);
  std::fclose(copy);
  std::remove(to.c_str());
  return sum != static_cast<size_t>(-1);
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 5;
  int i = 1;
  if (i + 1 < argc && std::strcmp(argv[i], "-n") == 0) {
    runs = std::max(1, std::atoi(argv[i + 1]));
    i += 2;
  }
  int pause_ms = 0;
  if (i + 1 < argc && std::strcmp(argv[i], "--pause") == 0) {
    pause_ms = std::max(0, std::atoi(argv[i + 1]));
    i += 2;
  }
  const char* remove = nullptr;
  if (i + 1 < argc && std::strcmp(argv[i], "--remove") == 0) {
    remove = argv[i + 1];
    i += 2;
  }
  const bool copy_read = i + 1 < argc && std::strcmp(argv[i], "--copy-read") == 0;
  if (!copy_read && (i >= argc || std::strcmp(argv[i], "--") != 0 || i + 1 >= argc)) {
    std::fprintf(stderr,
                 "usage: run-measured [-n RUNS] [--pause MS] [--remove PATH] -- COMMAND [ARGS...]\n"
                 "       run-measured [-n RUNS] [--pause MS] --copy-read FILE\n");
    return 2;
  }
  std::vector<double> times, cpu, user;
  long peak = 0;
  for (int r = 0; r < runs; ++r) {
    if (remove != nullptr) {
      std::error_code ignored;
      std::filesystem::remove_all(remove, ignored);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(pause_ms));
    const double start = NowMs();
    double cpu_ms = 0;
    double user_ms = 0;
    if (copy_read) {
      rusage before{}, after{};
      getrusage(RUSAGE_SELF, &before);
      if (!CopyAndRead(argv[i + 1])) return 1;
      getrusage(RUSAGE_SELF, &after);
      cpu_ms = CpuMs(after) - CpuMs(before);
      user_ms = Ms(after.ru_utime) - Ms(before.ru_utime);
    } else {
      const long kb = RunOnce(argv + i + 1, cpu_ms, user_ms);
      if (kb < 0) return 1;
      peak = std::max(peak, kb);
    }
    times.push_back(NowMs() - start);
    cpu.push_back(cpu_ms);
    user.push_back(user_ms);
  }
  if (copy_read) {
    rusage self{};
    getrusage(RUSAGE_SELF, &self);
    peak = self.ru_maxrss;
  }
  std::sort(times.begin(), times.end());
  std::sort(cpu.begin(), cpu.end());
  std::sort(user.begin(), user.end());
  std::printf("%.1f %.1f %ld %.1f %.1f\n", times[times.size() / 2], times.front(), peak, cpu[cpu.size() / 2],
              user[user.size() / 2]);
  return 0;
}
