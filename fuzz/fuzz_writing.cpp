// Templates, quoted composition files and up-text blocks from any bytes: the
// template text, the quoted log and the composition file read back.
#include <cstdlib>

#include "fuzz_support.h"
#include "core/reading/work_state.h"
#include "core/text/files.h"
#include "core/writing/composition_file.h"
#include "core/writing/message_templates.h"
#include "core/writing/up_text.h"

using namespace tobrisk;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  testing::FixedClock clock;
  WorkState state;
  state.work_dir = fuzz::WorkDir();
  state.tmp_dir = state.work_dir;
  state.nets.Append({"FUZZ", "net", std::string(bytes.substr(0, 16)), "UP"});
  state.settings.default_net = 0;
  state.settings.quotation_marks = std::string(bytes.substr(0, 3));
  state.settings.res_message_header = std::string(bytes.substr(0, 200));
  state.settings.message_footer = std::string(bytes.substr(0, 200));
  state.settings.cut_space = size > 1 ? data[1] % 3 : 0;
  state.settings.cut_tab = size > 2 ? data[2] % 3 : 0;
  state.settings.cut_ret = size > 3 ? data[3] % 3 : 0;

  MessageEntry entry;
  entry.title.Assign(bytes.substr(0, 32));
  entry.writer_handle.Assign(bytes.substr(0, 16));
  entry.context = state.messages.Context({.board_name = state.messages.Intern(bytes.substr(0, 40))});
  entry.message_no = size > 4 ? data[4] - 128 : -1;
  state.messages.Append(entry);

  const std::string header = ExpandHeader(bytes, entry);
  const std::string footer = ExpandFooter(bytes, state.nets, 0, clock);
  for (int position = -1; position <= 3; ++position) {
    if (AlignLine(header, kTemplateLineWidth, position).size() < header.size()) std::abort();
  }
  (void)footer;

  fuzz::WriteInput("NOESC.LOG", data, size);
  const uint64_t offset = size > 5 ? data[5] % (size + 2) : 0;
  PrepareQuotedFile(state, "0101000000.TXT", offset, 0, HeaderKind::Res);
  ReadFirstLine(state.tmp_dir + "0101000000.TXT");
  // The same bytes as a composition file that came back from the editor.
  fuzz::WriteInput("0102000000.TXT", data, size);
  ReadFirstLine(state.tmp_dir + "0102000000.TXT");
  WriteEntry written{"1", "BBS", "1", "board", "0", "t", "NEW", "0102000000.TXT", "0"};
  // Read back by the one rule (UTF-8 converted, Shift-JIS as is, else refused).
  const CompositionText text = ReadCompositionFile(state.tmp_dir + "0102000000.TXT");
  if (text.Usable()) UpFileBlock(state, written, text.sjis, clock);
  (void)CompositionRefusalText("0102000000.TXT", text);
  return 0;
}
