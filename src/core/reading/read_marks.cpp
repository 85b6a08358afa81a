#include "core/reading/read_marks.h"

#include <bitset>
#include <unordered_map>

#include "core/reading/message_entry.h"
#include "core/reading/work_state.h"
#include "core/ports/prompter.h"
#include "core/settings/net_definitions.h"
#include "core/text/bytes.h"
#include "core/text/files.h"
#include "core/text/io_error.h"
#include "core/text/line_reader.h"
#include "core/text/sjis.h"

namespace tobrisk {
namespace {

// An entry's read-mark key, for matching stored records against the list.
struct Triple {
  BoardType type;
  int32_t board_no;
  int32_t message_no;
  bool operator==(const Triple&) const = default;
};

struct TripleHash {
  size_t operator()(const Triple& t) const {
    const uint64_t a = static_cast<uint32_t>(t.board_no);
    const uint64_t b = static_cast<uint32_t>(t.message_no);
    return std::hash<uint64_t>{}((a << 32 | b) ^ (static_cast<uint64_t>(t.type) << 62));
  }
};

bool BoardTypeFromText(std::string_view text, BoardType& type) {
  for (BoardType t : {BoardType::BBS, BoardType::IBBS, BoardType::CUG, BoardType::MAIL}) {
    if (BoardTypeText(t) == text) {
      type = t;
      return true;
    }
  }
  return false;
}

// Entries carry their numbers as canonical decimal text, so a record can only
// match when its number texts are canonical too ("012" matches nothing).
bool CanonicalNumber(std::string_view text, int32_t& value) {
  return ParseDecimal(text, value) && DecimalText(value) == text;
}

bool RecordKey(const ReadMarkRecord& r, Triple& key) {
  return BoardTypeFromText(r.board_type, key.type) && CanonicalNumber(r.board_no, key.board_no) &&
         CanonicalNumber(r.message_no, key.message_no);
}

}  // namespace

std::string ReadMarkFilePath(const std::string& work_dir, std::string_view log_header) {
  return WorkFilePath(work_dir, std::string(log_header) + ".RAD");
}

void ReadReadMarkFile(const std::string& path, std::vector<ReadMarkRecord>& records) {
  LineReader reader(path);
  std::string_view line;
  while (reader.Next(line)) {
    size_t tabs[3];
    size_t found = 0;
    for (size_t at = line.find('\t'); at != std::string_view::npos && found < 3; at = line.find('\t', at + 1)) {
      tabs[found++] = at;
    }
    if (found < 3) continue;  // no complete record
    ReadMarkRecord r;
    r.board_type = line.substr(0, tabs[0]);
    r.board_no = line.substr(tabs[0] + 1, tabs[1] - tabs[0] - 1);
    r.message_no = line.substr(tabs[1] + 1, tabs[2] - tabs[1] - 1);
    r.mark = line.substr(line.rfind('\t') + 1);
    records.push_back(std::move(r));
  }
}

void WriteReadMarkFile(const std::string& path, const std::vector<ReadMarkRecord>& records) {
  WriteFileAtomically(path, [&](OutputFile& out) {
    std::string line;
    for (const ReadMarkRecord& r : records) {
      line.clear();
      line.append(r.board_type).append("\t").append(r.board_no).append("\t");
      line.append(r.message_no).append("\t").append(r.mark);
      out.WriteLine(line);
    }
  });
}

void LoadReadMarks(WorkState& state, std::string_view log_header, Prompter& prompter) {
  static const std::string unread_head = Sjis("[");
  static const std::string unread_tail = Sjis("] ファイルを最後まで読み込めませんでした。");
  static const std::string not_saved = Sjis("ファイルを壊さないよう、このネットの既読マークは今回保存しません。");
  state.read_marks.clear();
  state.read_marks_header.clear();
  const std::string path = ReadMarkFilePath(state.work_dir, log_header);
  if (FileExists(path)) {
    try {
      ReadReadMarkFile(path, state.read_marks);
    } catch (const IoError& e) {
      // The marks read so far are shown, but a store that is not the whole
      // file never goes back over it: it stays bound to no net.
      prompter.Error(unread_head + std::string(log_header) + ".RAD" + unread_tail + " (" +
                     Utf8ToSjis(e.SystemMessage()) + ")\n\r" + not_saved);
      return;
    }
  }
  // The store belongs to a net only when the header names one.
  if (FindNetByLogHeader(state.nets, log_header) >= 0) state.read_marks_header = std::string(log_header);
}

void SaveReadMarks(WorkState& state) {
  if (state.read_marks_header.empty()) return;
  auto& store = state.read_marks;
  const std::string path = ReadMarkFilePath(state.work_dir, state.read_marks_header);
  // An empty store empties the file (the last mark was cleared); with no file
  // there is nothing to empty.
  if (store.empty() && !FileExists(path)) return;
  const int32_t max = state.settings.read_type_max;
  const size_t keep = max > 0 ? static_cast<size_t>(max) : 0;
  if (store.size() > keep) store.erase(store.begin(), store.end() - static_cast<ptrdiff_t>(keep));
  WriteReadMarkFile(path, store);
}

void SetReadMark(WorkState& state, size_t index, std::string_view mark) {
  const MessageEntry& e = state.messages[index];
  ReadMarkRecord record{std::string(BoardTypeText(e.board_type())), DecimalText(e.board_no()),
                        DecimalText(e.message_no), std::string(mark)};
  auto& store = state.read_marks;
  for (auto it = store.begin(); it != store.end(); ++it) {
    if (it->board_no == record.board_no && it->board_type == record.board_type && it->message_no == record.message_no) {
      store.erase(it);
      break;
    }
  }
  if (!mark.empty()) store.push_back(std::move(record));
  state.messages.SetMark(index, mark);
}

bool ApplyReadMarks(MessageList& messages, const std::vector<ReadMarkRecord>& store) {
  // The first record of each triple wins; every mark text is interned once.
  std::unordered_map<Triple, const std::string*, TripleHash> first;
  first.reserve(store.size());
  // The message numbers' low 16 bits, a bit each: most entries carry a number
  // no record has, and are passed over without a look-up.
  constexpr uint32_t kNumberBits = 1u << 16;
  std::bitset<kNumberBits> numbers;
  auto number_bit = [](int32_t no) { return static_cast<uint32_t>(no) & (kNumberBits - 1); };
  for (const ReadMarkRecord& r : store) {
    Triple key{};
    if (RecordKey(r, key) && first.find(key) == first.end()) {
      first.emplace(key, messages.Intern(r.mark));
      numbers.set(number_bit(key.message_no));
    }
  }
  const std::string* mail_mark = messages.Intern("-");
  // Neighbours mostly share their context and mark: the last change is reused.
  bool any_last = false;
  ContextId last_from = kNoContext;
  const std::string* last_mark = nullptr;
  ContextId last_to = kNoContext;
  auto set_mark = [&](MessageEntry& e, const std::string* mark) {
    if (!any_last || e.context != last_from || mark != last_mark) {
      any_last = true;
      last_from = e.context;
      last_mark = mark;
      last_to = messages.WithMark(e.context, mark);
    }
    e.context = last_to;
  };
  bool board_mark_changed = false;
  for (MessageEntry& e : messages.Entries()) {
    const bool mail = e.IsMail();
    if (mail) set_mark(e, mail_mark);
    if (first.empty()) continue;
    if (!numbers.test(number_bit(e.message_no))) continue;
    const auto it = first.find(Triple{e.board_type(), e.board_no(), e.message_no});
    if (it == first.end()) continue;
    const ContextId before = e.context;
    set_mark(e, it->second);
    board_mark_changed = board_mark_changed || (!mail && e.context != before);
  }
  return board_mark_changed;
}

}  // namespace tobrisk
