// A capture of any bytes through everything a log open does: escape removal,
// parsing, read marks, the sort, the tree and the text of every message.
#include <cstdlib>

#include "fuzz_support.h"
#include "core/reading/escape_filter.h"
#include "core/reading/log_parser.h"
#include "core/reading/message_entry.h"
#include "core/reading/message_sort.h"
#include "core/reading/message_text.h"
#include "core/reading/message_tree.h"
#include "core/reading/read_marks.h"
#include "core/text/files.h"
#include "core/text/sjis.h"

using namespace tobrisk;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  NullProgress progress;
  const std::string capture = fuzz::WriteInput("FUZZ0101.LOG", data, size);
  const std::string noesc = fuzz::WorkDir() + "NOESC.LOG";
  CutEscapes({capture}, noesc, progress);
  MessageList messages;
  ParseLog(noesc, messages, progress);
  // The command-line tool's one-pass path gives the same text and entries.
  MessageList one_pass;
  std::string one_pass_text;
  ParseLogWhileCuttingEscapes({capture}, CollectInto(&one_pass_text), one_pass);
  if (one_pass_text != ReadWholeFile(noesc)) std::abort();
  if (one_pass.Size() != messages.Size()) std::abort();
  for (size_t i = 0; i < messages.Size(); ++i) {
    if (one_pass.Fields(i) != messages.Fields(i)) std::abort();
  }
  // Display conversion: the table decoder agrees with iconv on any bytes.
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  if (SjisToUtf8(bytes) != SjisToUtf8ByIconv(bytes)) std::abort();
  // The same bytes as a read-mark file: whatever it holds applies without harm.
  std::vector<ReadMarkRecord> marks;
  ReadReadMarkFile(capture, marks);
  ApplyReadMarks(messages, marks);
  SortMessages(messages, progress);
  for (size_t i = 0; i < messages.Size(); ++i) {
    const MessageText text = ReadMessageText(noesc, messages[i].text_offset);
    if (text.offset_past_end) std::abort();  // offsets come from this very file
  }
  const MessageTree tree = BuildMessageTree(messages);
  for (size_t i = 0; i < messages.Size(); ++i) {
    const TreeNodeId node = tree.NodeOfMessage(i);
    if (node != kNoNode && tree.MessageIndex(node) != static_cast<int32_t>(i)) std::abort();
  }
  ReadMessageText(noesc, UINT64_MAX / 2);  // an offset beyond the end is reported, not read
  return 0;
}
