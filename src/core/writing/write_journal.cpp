#include "core/writing/write_journal.h"

#include <cerrno>
#include <cstdio>

#include "core/reading/work_state.h"
#include "core/text/bytes.h"
#include "core/text/files.h"
#include "core/text/sjis.h"
#include "core/writing/write_list.h"

namespace tobrisk {
namespace {

constexpr std::string_view kFirstLine = "Tobrisk write list 1";
constexpr std::string_view kNetTag = "NET";

void AppendEscaped(std::string& out, std::string_view field) {
  static const char hex[] = "0123456789ABCDEF";
  for (const char c : field) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x20 || c == '%') {
      out += '%';
      out += hex[b >> 4];
      out += hex[b & 0x0F];
    } else {
      out += c;
    }
  }
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::string Unescaped(std::string_view field) {
  std::string out;
  out.reserve(field.size());
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '%' && i + 2 < field.size() && HexValue(field[i + 1]) >= 0 && HexValue(field[i + 2]) >= 0) {
      out += static_cast<char>(HexValue(field[i + 1]) * 16 + HexValue(field[i + 2]));
      i += 2;
    } else {
      out += field[i];
    }
  }
  return out;
}

std::vector<std::string_view> SplitTabs(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t start = 0;
  for (;;) {
    const size_t tab = line.find('\t', start);
    if (tab == std::string_view::npos) {
      fields.push_back(line.substr(start));
      return fields;
    }
    fields.push_back(line.substr(start, tab - start));
    start = tab + 1;
  }
}

std::string NetHeaderOf(const WorkState& state) {
  const int net = state.settings.default_net;
  return state.nets.Contains(net) ? state.nets.At(net).log_header : std::string();
}

}  // namespace

std::string WriteJournalPath(const std::string& tmp_dir) { return tmp_dir + std::string(kWriteJournalName); }

std::string WriteJournalText(const WriteJournal& journal) {
  std::string out(kFirstLine);
  out += "\r\n";
  out += kNetTag;
  out += '\t';
  AppendEscaped(out, journal.log_header);
  out += "\r\n";
  for (const WriteEntry& e : journal.entries) {
    const std::string* fields[] = {&e.serial_no, &e.board_type, &e.target_no,      &e.target_name, &e.res_to_no,
                                   &e.title,     &e.kind,       &e.temp_file_name, &e.deleted};
    for (size_t i = 0; i < std::size(fields); ++i) {
      if (i > 0) out += '\t';
      AppendEscaped(out, *fields[i]);
    }
    out += "\r\n";
  }
  return out;
}

std::optional<WriteJournal> ParseWriteJournal(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    start = end + 1;
  }
  if (lines.empty() || lines[0] != kFirstLine) return std::nullopt;
  WriteJournal journal;
  for (size_t n = 1; n < lines.size(); ++n) {
    const std::vector<std::string_view> fields = SplitTabs(lines[n]);
    if (fields.size() == 2 && fields[0] == kNetTag) {
      journal.log_header = Unescaped(fields[1]);
      continue;
    }
    if (fields.size() != 9) continue;
    WriteEntry e;
    std::string* out[] = {&e.serial_no, &e.board_type, &e.target_no,      &e.target_name, &e.res_to_no,
                          &e.title,     &e.kind,       &e.temp_file_name, &e.deleted};
    for (size_t i = 0; i < 9; ++i) *out[i] = Unescaped(fields[i]);
    // A composition file name is a plain name in TmpDir, never a path.
    if (e.temp_file_name.empty() || e.temp_file_name.find('/') != std::string::npos ||
        e.temp_file_name.find('\\') != std::string::npos || e.temp_file_name == "." || e.temp_file_name == "..") {
      continue;
    }
    if (e.deleted != "1") e.deleted = "0";
    journal.entries.push_back(std::move(e));
  }
  return journal;
}

void SaveWriteJournal(const WorkState& state) {
  if (state.writes.empty()) {
    RemoveWriteJournal(state.tmp_dir);
    return;
  }
  const std::string text = WriteJournalText(WriteJournal{NetHeaderOf(state), state.writes});
  WriteFileAtomically(WriteJournalPath(state.tmp_dir), [&](OutputFile& out) { out.Write(text); });
}

std::optional<WriteJournal> LoadWriteJournal(const std::string& tmp_dir) {
  const std::string path = WriteJournalPath(tmp_dir);
  if (!FileExists(path)) return std::nullopt;
  return ParseWriteJournal(ReadWholeFile(path));
}

void RemoveWriteJournal(const std::string& tmp_dir) {
  const std::string path = WriteJournalPath(tmp_dir);
  if (std::remove(path.c_str()) != 0 && errno != ENOENT) throw IoError::FromErrno("remove", path);
}

int RestoreWriteList(WorkState& state, const WriteJournal& journal) {
  const int net = journal.log_header.empty() ? -1 : FindNetByLogHeader(state.nets, journal.log_header);
  if (net < 0) return -1;
  state.writes = journal.entries;
  for (size_t i = 0; i < state.writes.size(); ++i) state.writes[i].serial_no = DecimalText(static_cast<int64_t>(i) + 1);
  state.pending_count = CountLiveEntries(state.writes);
  state.settings.default_net = net;
  return net;
}

std::string PreviousWritesQuestion(int live_count) {
  return Sjis("前回の書き込みが ") + DecimalText(live_count) + Sjis(" 件残っています。") + "\n\r" +
         Sjis("書き込み一覧に戻しますか？") + "\n\r" +
         Sjis("「いいえ」の場合、書き込み一覧には戻しませんが、メッセージのファイルは tmp フォルダに残ります。");
}

std::string PreviousWritesNetMissing(const std::string& log_header, int live_count) {
  return Sjis("前回の書き込み ") + DecimalText(live_count) + Sjis(" 件のネット [") + log_header +
         Sjis("] はネット設定がされていません。") + "\n\r" + Sjis("ネット設定を行った後、再度起動して下さい。");
}

}  // namespace tobrisk
