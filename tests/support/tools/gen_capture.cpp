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
  tobrisk::testing::CaptureOptions o;
  const double mb = argc > 2 ? std::atof(argv[2]) : 10.0;
  o.seed = argc > 3 ? static_cast<uint32_t>(std::atoi(argv[3])) : 1;
  o.boards = 40;
  o.messages_per_board = 60;
  o.mails = 40;
  o.reread_share = 0.1;
  o.target_bytes = static_cast<size_t>(mb * 1024 * 1024);
  tobrisk::testing::WriteFile(argv[1], tobrisk::testing::GenerateCapture(o));
  return 0;
}
