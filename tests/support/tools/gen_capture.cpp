// gen-capture OUT.LOG [MEGABYTES] [SEED]: writes a generated capture of about
// the given size (default 10 MB).
#include <cstdio>
#include <cstdlib>
#include <string>

#include "capture_generator.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: gen-capture OUT.LOG [MEGABYTES] [SEED]\n");
    return 2;
  }
  const double mb = argc > 2 ? std::atof(argv[2]) : 10.0;
  const uint32_t seed = argc > 3 ? static_cast<uint32_t>(std::atoi(argv[3])) : 1;
  const tobrisk::testing::CaptureOptions o = tobrisk::testing::BenchCaptureOptions(mb, seed);
  tobrisk::testing::WriteFile(argv[1], tobrisk::testing::GenerateCapture(o));
  return 0;
}
