// A capture of any bytes through everything a log open does: escape removal
// (also as the text written after a read ahead), parsing, read marks, the sort,
// the tree and the text of every message; the sort and the tree also as they
// run on two threads for long lists.
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
  fuzz::ReadCapture read(data, size);
  const std::string& capture = read.capture;
  const std::string& noesc = read.noesc;
  MessageList& messages = read.messages;
  // The command-line tool's one-pass path gives the same text and entries.
  MessageList one_pass;
  std::string one_pass_text;
  ParseLogWhileCuttingEscapes({capture}, CollectInto(&one_pass_text), one_pass);
  if (one_pass_text != ReadWholeFile(noesc)) std::abort();
  // So does the text written in the background after a read ahead.
  std::string in_pieces;
  CutEscapesInPieces({capture}, [&in_pieces](std::string_view block) { in_pieces.append(block); });
  if (in_pieces != one_pass_text) std::abort();
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
  // The sort and the tree of a long list go on two threads: made to do so on
  // this short one, they give what one thread gives.
  MessageList in_two;
  ParseLog(noesc, in_two, progress);
  ApplyReadMarks(in_two, marks);
  SortMessages(in_two, progress, SortOptions{.in_two_from = 2});
  for (size_t i = 0; i < messages.Size(); ++i) {
    if (in_two.Fields(i) != messages.Fields(i)) std::abort();
  }
  const MessageTree tree_in_two = BuildMessageTree(messages, TreeBuildOptions{.parallel_from = 2});
  if (tree_in_two.Size() != tree.Size()) std::abort();
  for (TreeNodeId id = 0; id < static_cast<TreeNodeId>(tree.Size()); ++id) {
    if (tree_in_two.MessageIndex(id) != tree.MessageIndex(id) || tree_in_two.Parent(id) != tree.Parent(id) ||
        tree_in_two.Depth(id) != tree.Depth(id) || tree_in_two.SubtreeEnd(id) != tree.SubtreeEnd(id) ||
        tree_in_two.Icon(id) != tree.Icon(id) || tree_in_two.Text(id) != tree.Text(id)) {
      std::abort();
    }
  }
  ReadMessageText(noesc, UINT64_MAX / 2);  // an offset beyond the end is reported, not read
  return 0;
}
