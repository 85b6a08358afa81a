#include "writing/composition_file.h"

#include <ctime>

#include <array>
#include <cstdio>

#include "ingest/message_text.h"
#include "ingest/work_state.h"
#include "text/files.h"
#include "text/line_reader.h"
#include "text/sjis.h"
#include "writing/message_templates.h"

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

std::string UnusedCompositionFileName(const WorkState& state, LocalTime now) {
  auto used = [&](const std::string& name) {
    for (const WriteEntry& e : state.writes) {
      if (e.temp_file_name == name) return true;
    }
    return false;
  };
  std::string name = CompositionFileName(now);
  while (used(name)) {
    // One second later, with the carries of a calendar (computed as UTC, so no
    // daylight-saving jump can repeat a name).
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
    now = LocalTime{out.tm_year + 1900, out.tm_mon + 1, out.tm_mday, out.tm_hour, out.tm_min, out.tm_sec};
    name = CompositionFileName(now);
  }
  return name;
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
  static const std::array<std::string, 4> markers{Sjis("#Fc."), Sjis("● ["), Sjis("[ AUTO ]"),
                                                  Sjis("● 受け取り")};
  for (const std::string& m : markers) {
    if (line.substr(0, m.size()) == m) return true;
  }
  return false;
}

void PrepareQuotedFile(const WorkState& state, const std::string& name, uint64_t text_offset,
                       size_t message_index, HeaderKind kind) {
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

std::string ReadFirstLine(const std::string& path) {
  LineReader reader(path, LineEnds::Any);
  std::string_view line;
  return reader.Next(line) ? std::string(line) : std::string();
}

}  // namespace tobrisk
