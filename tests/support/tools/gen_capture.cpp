// gen-capture [--short] OUT.LOG [MEGABYTES] [SEED]: writes a generated capture
// of about the given size (default 10 MB); --short makes the short-message shape.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "capture_generator.h"

int main(int argc, char** argv) {
  const char* shape = "long";
  if (argc > 1 && std::strcmp(argv[1], "--short") == 0) {
    shape = "short";
    --argc;
    ++argv;
  }
  if (argc < 2) {
    std::fprintf(stderr, "usage: gen-capture [--short] OUT.LOG [MEGABYTES] [SEED]\n");
    return 2;
  }
  const double mb = argc > 2 ? std::atof(argv[2]) : 10.0;
  const uint32_t seed = argc > 3 ? static_cast<uint32_t>(std::atoi(argv[3])) : 1;
  tobrisk::testing::CaptureOptions o;
  tobrisk::testing::CaptureOptionsForShape(shape, mb, seed, o);
  tobrisk::testing::WriteFile(argv[1], tobrisk::testing::GenerateCapture(o));
  return 0;
}
