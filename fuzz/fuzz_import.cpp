// A board/member list capture of any bytes through the import: parsing, number
// conversion, the .BRD/.USR files written or read back.
#include "core/boards/board_user_import.h"
#include "fuzz_support.h"
#include "core/reading/work_state.h"

using namespace tobrisk;

namespace {

class View final : public ImportView {
 public:
  std::optional<std::string> ChooseCapture() override { return capture; }
  std::string ShownLogHeader() override { return "FUZZ"; }
  void SelectNet(int) override {}
  void FillBoardGrid() override {}
  void FillUserGrid() override {}
  std::string capture;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::AnyPrompter prompter;
  NullProgress progress;
  testing::MemoryStore store;
  testing::FixedClock clock;
  Ports ports;
  ports.prompter = &prompter;
  ports.progress = &progress;
  ports.store = &store;
  ports.clock = &clock;
  WorkState state;
  state.work_dir = fuzz::WorkDir();
  state.tmp_dir = state.work_dir;
  state.nets.Append({"FUZZ", "net", "me", "UP"});
  state.settings.get_ibbs_list = size > 0 ? data[0] & 1 : 0;
  View view;
  view.capture = fuzz::WriteInput("FUZZ0101.LOG", data, size);
  ImportOptions options;
  options.show_report = false;
  ImportBoardUserInfo(state, ports, view, options);
  return 0;
}
