#include "bench_support.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "capture_generator.h"

namespace tobrisk::bench {
namespace {

struct Data {
  std::string dir;
  std::string capture;
  double mb = 0;
  Data() {
    const char* env = std::getenv("TOBRISK_BENCH_MB");
    const char* shape = std::getenv("TOBRISK_BENCH_SHAPE");
    const double want = env ? std::atof(env) : 100.0;
    dir = testing::MakeTempDir("tobrisk-bench") + "/";
    capture = dir + "capture.LOG";
    testing::CaptureOptions o;
    if (!testing::CaptureOptionsForShape(shape ? shape : "", want, 1, o)) {
      std::fprintf(stderr, "unknown TOBRISK_BENCH_SHAPE %s (long, short)\n", shape);
      std::exit(2);
    }
    const std::string bytes = testing::GenerateCapture(o);
    testing::WriteFile(capture, bytes);
    mb = static_cast<double>(bytes.size()) / (1024.0 * 1024.0);
  }
  ~Data() { testing::RemoveTree(dir); }
};

Data& Get() {
  static Data data;
  return data;
}

}  // namespace

const std::string& BenchDir() { return Get().dir; }
const std::string& CapturePath() { return Get().capture; }
double CaptureMegabytes() { return Get().mb; }

void PlainCopy(const std::string& from, const std::string& to) {
  std::FILE* in = std::fopen(from.c_str(), "rb");
  std::FILE* out = std::fopen(to.c_str(), "wb");
  std::vector<char> buf(1 << 20);
  size_t n;
  while ((n = std::fread(buf.data(), 1, buf.size(), in)) > 0) std::fwrite(buf.data(), 1, n, out);
  std::fclose(in);
  std::fclose(out);
}

}  // namespace tobrisk::bench
