#include "core/writing/composition_file.h"

#include <ctime>

#include <array>
#include <cerrno>
#include <cstdio>
#include <utility>

#include "core/reading/message_text.h"
#include "core/reading/work_state.h"
#include "core/text/files.h"
#include "core/text/line_reader.h"
#include "core/text/sjis.h"
#include "core/writing/message_templates.h"

namespace tobrisk {
namespace {

std::string_view CutRun(std::string_view line, std::string_view unit) {
  while (line.substr(0, unit.size()) == unit) line.remove_prefix(unit.size());
  return line;
}

}  // namespace

const std::string& TitlePlaceholder() {
  static const std::string text = Sjis("{ここにタイトルを書いて下さい}");
  return text;
}

std::string CompositionFileName(const LocalTime& now) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d%02d%02d%02d%02d.TXT", now.month % 100, now.day % 100, now.hour % 100,
                now.minute % 100, now.second % 100);
  return buf;
}

namespace {

// One second later, with the carries of a calendar (computed as UTC, so no
// daylight-saving jump can repeat a name).
LocalTime NextSecond(const LocalTime& now) {
  std::tm t{};
  t.tm_year = now.year - 1900;
  t.tm_mon = now.month - 1;
  t.tm_mday = now.day;
  t.tm_hour = now.hour;
  t.tm_min = now.minute;
  t.tm_sec = now.second + 1;
  const std::time_t next = timegm(&t);
  std::tm out{};
  gmtime_r(&next, &out);
  return LocalTime{out.tm_year + 1900, out.tm_mon + 1, out.tm_mday, out.tm_hour, out.tm_min, out.tm_sec};
}

bool UsedByWriteList(const WorkState& state, const std::string& name) {
  for (const WriteEntry& e : state.writes) {
    if (e.temp_file_name == name) return true;
  }
  return false;
}

}  // namespace

std::string UnusedCompositionFileName(const WorkState& state, LocalTime now) {
  std::string name = CompositionFileName(now);
  while (UsedByWriteList(state, name)) {
    now = NextSecond(now);
    name = CompositionFileName(now);
  }
  return name;
}

std::string ReserveCompositionFile(const WorkState& state, LocalTime now) {
  // A year of seconds is far more names than a TmpDir ever holds; the bound only
  // keeps a folder that refuses every name from looping for ever.
  for (int tries = 0; tries < 366 * 24 * 60 * 60; ++tries) {
    std::string name = CompositionFileName(now);
    if (!UsedByWriteList(state, name) && CreateFileExclusively(state.tmp_dir + name)) return name;
    now = NextSecond(now);
  }
  errno = EEXIST;
  throw IoError::FromErrno("create", state.tmp_dir + CompositionFileName(now));
}

void ReleaseCompositionFile(const WorkState& state, const std::string& name) noexcept {
  DiscardTemporary(state.tmp_dir + name);
}

void PrepareBlankFile(const WorkState& state, const std::string& name) {
  WriteFileAtomically(state.tmp_dir + name, [](OutputFile& out) { out.WriteLine(TitlePlaceholder()); });
}

std::string_view StripLeadingBlanks(std::string_view line, int cut_space, int cut_tab) {
  static const std::string full_width_blank = Sjis("　");
  for (int pass = 0; pass < 2; ++pass) {
    if (cut_space == 0) {
      line = CutRun(line, " ");
      line = CutRun(line, full_width_blank);
    }
    if (cut_tab == 0) line = CutRun(line, "\t");
  }
  return line;
}

bool EndsQuote(std::string_view line) {
  static const std::array<std::string, 4> markers{Sjis("#Fc."), Sjis("● ["), Sjis("[ AUTO ]"), Sjis("● 受け取り")};
  for (const std::string& m : markers) {
    if (line.substr(0, m.size()) == m) return true;
  }
  return false;
}

void PrepareQuotedFile(const WorkState& state, const std::string& name, uint64_t text_offset, size_t message_index,
                       HeaderKind kind) {
  const AppSettings& s = state.settings;
  // Open the log first: when it is missing, nothing is created.
  const std::unique_ptr<LineReader> log = OpenEscapeFreeText(state, text_offset);
  // The header line, when the kind has one and its template is not empty.
  bool with_header = false;
  std::string header;
  if (kind != HeaderKind::None && message_index < state.messages.Size()) {
    const bool res = kind == HeaderKind::Res;
    const std::string& templ = res ? s.res_message_header : s.mv_res_message_header;
    const int position = res ? s.res_message_header_pos : s.mv_res_message_header_pos;
    with_header = !templ.empty();
    if (with_header) {
      header = AlignLine(ExpandHeader(templ, state.messages[message_index]), kTemplateLineWidth, position);
    }
  }
  const bool keep_empty = s.cut_ret != 0;  // any value but 0 keeps empty lines
  WriteFileAtomically(state.tmp_dir + name, [&](OutputFile& out) {
    out.WriteLine(TitlePlaceholder());
    if (with_header) {
      out.WriteLine(header);
      out.WriteLine("");
    }
    std::string_view line;
    while (log->Next(line)) {
      if (EndsQuote(line)) break;
      const std::string_view text = StripLeadingBlanks(line, s.cut_space, s.cut_tab);
      if (text.empty() && !keep_empty) continue;
      out.Write(s.quotation_marks);
      out.WriteLine(text);
    }
  });
}

CompositionText DecideCompositionText(std::string_view bytes) {
  CompositionText result;
  bool multi_byte = false;
  if (IsValidUtf8(bytes, &multi_byte) && multi_byte) {
    static constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    if (bytes.substr(0, kByteOrderMark.size()) == kByteOrderMark) bytes.remove_prefix(kByteOrderMark.size());
    StrictSjis converted = Utf8ToSjisStrict(bytes);
    if (converted.ok) {
      result.kind = CompositionText::Kind::Utf8;
      result.sjis = std::move(converted.sjis);
      return result;
    }
    result.kind = CompositionText::Kind::Unmappable;
    result.bad_char = converted.bad_char;
    result.bad_line = 1;
    for (size_t i = 0; i < converted.bad_offset; ++i) {
      if (bytes[i] == '\n' || (bytes[i] == '\r' && (i + 1 >= bytes.size() || bytes[i + 1] != '\n'))) {
        ++result.bad_line;
      }
    }
    return result;
  }
  if (IsValidSjis(bytes)) {
    result.kind = CompositionText::Kind::ShiftJis;
    result.sjis = std::string(bytes);
  }
  return result;
}

CompositionText ReadCompositionFile(const std::string& path) { return DecideCompositionText(ReadWholeFile(path)); }

std::string CompositionRefusalText(const std::string& temp_file_name, const CompositionText& text) {
  static const std::string head = Sjis("メッセージテンポファイル[");
  switch (text.kind) {
    case CompositionText::Kind::ShiftJis:
    case CompositionText::Kind::Utf8: return std::string();
    case CompositionText::Kind::Neither: {
      static const std::string tail = Sjis("]はShift-JISでもUTF-8でもありません。");
      return head + temp_file_name + tail;
    }
    case CompositionText::Kind::Unmappable: {
      static const std::string middle = Sjis("]の");
      static const std::string tail = Sjis("行目にShift-JISで書けない文字");
      static const std::string end = Sjis("があります。");
      char code[16];
      std::snprintf(code, sizeof code, "(U+%04X)", static_cast<unsigned>(text.bad_char));
      return head + temp_file_name + middle + std::to_string(text.bad_line) + tail + code + end;
    }
  }
  return std::string();
}

std::string ReadFirstLine(const std::string& path) {
  LineReader reader(path, LineEnds::Any);
  std::string_view line;
  return reader.Next(line) ? std::string(line) : std::string();
}

}  // namespace tobrisk
