// make-fuzz-seeds DIR: writes seed inputs for every harness into DIR/<harness>/,
// taken from the capture generator and from small hand-made files.
#include <filesystem>
#include <string>

#include "board_capture_generator.h"
#include "capture_generator.h"

using namespace tobrisk::testing;

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  const std::string root = argv[1];
  auto put = [&](const std::string& harness, const std::string& name, const std::string& bytes) {
    std::filesystem::create_directories(root + "/" + harness);
    WriteFile(root + "/" + harness + "/" + name, bytes);
  };
  put("fuzz_net_file", "two", "ABCD\tNetA\tTaro\tUPA\r\nWXYZ\tNetB\t\tUPB\r\n");
  put("fuzz_net_file", "odd",
      "A\tB\tC\tD\tE\tF\r\nONLY\r\n\r\n\x1a"
      "X\tY\r\n");
  put("fuzz_settings", "numbers", "0x10$1F-5abc+12 0X");
  put("fuzz_writing", "template",
      "[ $H\x82\xb3\x82\xf1 $K$B / Fc.$N $$Y $T $D $I ]\r\n>quoted\r\n\r\n  body\r\n#Fc.   12");
  for (unsigned seed = 1; seed <= 4; ++seed) {
    CaptureOptions o;
    o.seed = seed;
    o.boards = 4;
    o.messages_per_board = 4;
    o.mails = 3;
    o.ctrl_z = seed == 4;
    put("fuzz_capture", "capture" + std::to_string(seed), GenerateCapture(o));
    put("fuzz_export", "capture" + std::to_string(seed), GenerateCapture(o));
    put("fuzz_writing", "capture" + std::to_string(seed), GenerateCapture(o).substr(0, 4096));
  }
  for (unsigned seed = 1; seed <= 3; ++seed) {
    BoardCaptureOptions b;
    b.seed = seed;
    b.bbs_boards = 8;
    b.ibbs_boards = 4;
    b.members = 12;
    b.members_per_page = 5;
    b.cut_off = seed == 3;
    put("fuzz_import", "lists" + std::to_string(seed), GenerateBoardCapture(b).bytes);
  }
  return 0;
}
