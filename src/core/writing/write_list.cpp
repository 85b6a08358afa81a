#include "writing/write_list.h"

#include "ingest/work_state.h"
#include "text/line_reader.h"
#include "writing/write_journal.h"
#include "writing/writing_view.h"

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
  LineReader reader(state.tmp_dir + state.writes[write_index].temp_file_name, LineEnds::Any);
  std::string text;
  std::string_view line;
  while (reader.Next(line)) {
    text += line;
    text += "\r\n";
  }
  return text;
}

}  // namespace tobrisk
