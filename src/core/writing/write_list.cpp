#include "core/writing/write_list.h"

#include "core/reading/work_state.h"
#include "core/text/files.h"
#include "core/text/line_reader.h"
#include "core/writing/composition_file.h"
#include "core/writing/write_journal.h"
#include "core/writing/writing_view.h"

namespace tobrisk {

void DeleteMessage(WorkState& state, WritingView& view, size_t write_index) {
  if (write_index >= state.writes.size() || state.writes[write_index].IsDeleted()) return;
  state.writes[write_index].deleted = "1";
  view.ShowDeletedMark(write_index, true);
  --state.pending_count;
  if (state.pending_count <= 0) view.SetUpTextEnabled(false);
  SaveWriteJournal(state);
}

void ReversMessage(WorkState& state, WritingView& view, size_t write_index) {
  if (write_index >= state.writes.size() || !state.writes[write_index].IsDeleted()) return;
  state.writes[write_index].deleted = "0";
  view.ShowDeletedMark(write_index, false);
  ++state.pending_count;
  view.SetUpTextEnabled(true);
  SaveWriteJournal(state);
}

int CountLiveEntries(const WriteList& writes) {
  int live = 0;
  for (const WriteEntry& e : writes) live += e.IsDeleted() ? 0 : 1;
  return live;
}

std::string WrittenMessageText(const WorkState& state, size_t write_index) {
  if (write_index >= state.writes.size()) return {};
  // Shown as the upload file would get it: a file an editor saved in UTF-8 is
  // shown converted; a refused file shows its bytes as they are.
  const std::string bytes = ReadWholeFile(state.tmp_dir + state.writes[write_index].temp_file_name);
  const CompositionText read_back = DecideCompositionText(bytes);
  LineReader reader(kInMemory, read_back.Usable() ? read_back.sjis : bytes, LineEnds::Any);
  std::string text;
  std::string_view line;
  while (reader.Next(line)) {
    text += line;
    text += "\r\n";
  }
  return text;
}

}  // namespace tobrisk
