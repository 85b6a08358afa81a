// A capture of any bytes read as a log and exported in every format: the whole
// list, and the thread of one message picked by the input. Every output must be
// UTF-8, the text export's lines end in LF alone, and the mbox holds one "From "
// line per message (a text line that starts so is quoted).
#include <cstdlib>
#include <filesystem>

#include "fuzz_support.h"
#include "core/export/message_export.h"
#include "core/reading/message_entry.h"
#include "core/reading/message_sort.h"
#include "core/reading/message_text.h"
#include "core/reading/message_tree.h"
#include "core/text/files.h"
#include "core/text/sjis.h"

using namespace tobrisk;

namespace {

void CheckUtf8(const std::string& path) {
  if (!IsValidUtf8(ReadWholeFile(path))) std::abort();
}

size_t FromLines(const std::string& mbox) {
  size_t count = 0;
  for (size_t at = 0; at < mbox.size(); at = mbox.find('\n', at) + 1) {
    if (mbox.compare(at, 5, "From ") == 0) ++count;
    if (mbox.find('\n', at) == std::string::npos) break;
  }
  return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  NullProgress progress;
  fuzz::ReadCapture read(data, size);
  MessageList& messages = read.messages;
  SortMessages(messages, progress);
  const MessageTree tree = BuildMessageTree(messages);
  MessageTextReader reader(read.noesc);

  ExportSource source;
  source.messages = &messages;
  source.tree = &tree;
  source.texts = &reader;
  // The net's name and the log header as a capture could hold them: any bytes.
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  source.net_name = std::string(bytes.substr(0, 6));
  source.log_header = std::string(bytes.substr(bytes.size() > 6 ? 6 : bytes.size(), 4));
  source.log_names = {"FUZZ0101.LOG"};
  source.years.capture = {2026, 12, 31};

  std::vector<size_t> thread;
  if (!messages.Empty()) thread = ThreadSelection(tree, size % messages.Size());
  for (int pass = 0; pass < 2; ++pass) {
    const bool all = pass == 0;
    const size_t count = all ? messages.Size() : thread.size();
    ExportOptions options;
    options.force = true;
    options.all = all;
    options.selection = thread;

    options.format = ExportFormat::Mbox;
    options.out = fuzz::WorkDir() + "out.mbox";
    ExportMessages(source, options, progress);
    const std::string mbox = ReadWholeFile(options.out);
    if (!IsValidUtf8(mbox) || FromLines(mbox) != count) std::abort();

    options.format = ExportFormat::Text;
    options.out = fuzz::WorkDir() + "out.txt";
    ExportMessages(source, options, progress);
    const std::string text = ReadWholeFile(options.out);
    if (!IsValidUtf8(text) || text.find('\r') != std::string::npos) std::abort();

    options.format = ExportFormat::Html;
    options.out = fuzz::WorkDir() + "html";
    ExportMessages(source, options, progress);
    for (const auto& page : std::filesystem::directory_iterator(options.out)) CheckUtf8(page.path().string());
  }
  return 0;
}
