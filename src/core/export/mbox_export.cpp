// mbox (mboxrd): one message per entry, headers in RFC 5322 with RFC 2047
// encoded words, the body in UTF-8, 8bit.
#include <string>
#include <string_view>

#include "core/export/export_writers.h"
#include "core/text/bytes.h"
#include "core/text/files.h"
#include "core/text/sjis.h"

namespace tobrisk::export_detail {
namespace {

using namespace std::string_view_literals;

constexpr std::string_view kWeekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr std::string_view kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

int Weekday(const ExportDate& d) {  // 0 Sunday
  // Days from the civil date (H. Hinnant's algorithm); 1970-01-01 was a Thursday.
  const int y = d.month <= 2 ? d.year - 1 : d.year;
  const int era = (y >= 0 ? y : y - 399) / 400;
  const int yoe = y - era * 400;
  const int doy = (153 * (d.month + (d.month > 2 ? -3 : 9)) + 2) / 5 + d.day - 1;
  const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  const long days = static_cast<long>(era) * 146097 + doe - 719468;
  return static_cast<int>(((days % 7) + 11) % 7);
}

void AppendTwoDigits(int n, char fill, std::string& out) {
  out += n >= 10 ? static_cast<char>('0' + n / 10) : fill;
  out += static_cast<char>('0' + n % 10);
}

// "Mon, 07 Dec 2026 00:00:00 +0900": the host's zone; a WriteDate has no time.
void AppendRfcDate(const ExportDate& d, std::string& out) {
  out.append(kWeekdays[Weekday(d)]).append(", "sv);
  AppendTwoDigits(d.day, '0', out);
  out.append(" "sv).append(kMonths[d.month - 1]).append(" "sv);
  AppendDecimal(d.year, out);
  out += " 00:00:00 +0900"sv;
}

// "Mon Dec  7 00:00:00 2026" for the From_ line.
void AppendAscDate(const ExportDate& d, std::string& out) {
  out.append(kWeekdays[Weekday(d)]).append(" "sv).append(kMonths[d.month - 1]).append(" "sv);
  AppendTwoDigits(d.day, ' ', out);
  out += " 00:00:00 "sv;
  AppendDecimal(d.year, out);
}

void Base64(std::string_view bytes, std::string& out) {
  static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  const size_t at = out.size();
  out.resize(at + (bytes.size() + 2) / 3 * 4);
  char* p = out.data() + at;
  size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const uint32_t v = (uint32_t{static_cast<unsigned char>(bytes[i])} << 16) |
                       (uint32_t{static_cast<unsigned char>(bytes[i + 1])} << 8) |
                       static_cast<unsigned char>(bytes[i + 2]);
    *p++ = kAlphabet[v >> 18];
    *p++ = kAlphabet[(v >> 12) & 63];
    *p++ = kAlphabet[(v >> 6) & 63];
    *p++ = kAlphabet[v & 63];
  }
  if (i < bytes.size()) {
    uint32_t v = uint32_t{static_cast<unsigned char>(bytes[i])} << 16;
    if (i + 1 < bytes.size()) v |= uint32_t{static_cast<unsigned char>(bytes[i + 1])} << 8;
    *p++ = kAlphabet[v >> 18];
    *p++ = kAlphabet[(v >> 12) & 63];
    *p++ = i + 1 < bytes.size() ? kAlphabet[(v >> 6) & 63] : '=';
    *p = '=';
  }
}

// Printable ASCII without the start of an encoded word: can stand as it is.
bool PlainAscii(std::string_view text) {
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x20 || c > 0x7E) return false;
  }
  return text.find("=?") == std::string_view::npos;
}

// RFC 2047 "B" encoded words of at most 75 characters, never splitting a
// UTF-8 character, folded onto continuation lines.
void AppendEncodedWords(std::string_view utf8, std::string& out) {
  constexpr size_t kMaxBytes = 45;  // 60 base64 characters + 12 of "=?UTF-8?B?" and "?="
  size_t i = 0;
  while (i < utf8.size()) {
    size_t end = std::min(utf8.size(), i + kMaxBytes);
    while (end < utf8.size() && end > i && (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80) --end;
    if (end == i) end = std::min(utf8.size(), i + kMaxBytes);  // not UTF-8: cut anywhere
    if (i > 0) out += "\n "sv;
    out += "=?UTF-8?B?"sv;
    Base64(utf8.substr(i, end - i), out);
    out += "?="sv;
    i = end;
  }
}

void AppendHeaderText(std::string_view utf8, std::string& out) {
  if (PlainAscii(utf8)) {
    out.append(utf8);
  } else {
    AppendEncodedWords(utf8, out);
  }
}

// The writer as a display name followed by a blank: a quoted string when it is
// plain ASCII; nothing for an empty one.
void AppendDisplayName(std::string_view utf8, std::string& out) {
  if (utf8.empty()) return;
  if (!PlainAscii(utf8)) {
    AppendEncodedWords(utf8, out);
    out += ' ';
    return;
  }
  out += '"';
  for (char c : utf8) {
    if (c == '"' || c == '\\') out.push_back('\\');
    out.push_back(c);
  }
  out += "\" ";
}

// mboxrd: a body line that matches ^>*From  gets one more ">".
void AppendBody(std::string_view body, std::string& out) {
  size_t start = 0;
  while (start < body.size()) {
    size_t end = body.find('\n', start);
    if (end == std::string_view::npos) end = body.size();
    const std::string_view line = body.substr(start, end - start);
    const size_t quotes = line.find_first_not_of('>');
    if (quotes != std::string_view::npos && line.substr(quotes, 5) == "From ") out.push_back('>');
    out.append(line).push_back('\n');
    start = end + 1;
  }
}

}  // namespace

void WriteMbox(ExportRun& run, OutputFile& out) {
  run.PrepareTexts(AppendBody, run.Indices());
  std::string m;
  std::string address;
  std::string parent_id;
  FieldUtf8 utf8;
  // Neighbours in the list mostly share their board: its header line is made
  // once for each run of them.
  const MessageEntry* last_board = nullptr;
  std::string board_line;
  size_t done = 0;
  for (size_t index : run.Indices()) {
    const MessageEntry& e = run.Entry(index);
    const ExportDate date = run.Date(index);
    if (last_board == nullptr || e.board_type() != last_board->board_type() || e.board_no() != last_board->board_no() ||
        e.BoardName() != last_board->BoardName()) {
      last_board = &e;
      board_line.assign("X-Tobrisk-Board: ").append(BoardTypeText(e.board_type())).append(" "sv);
      AppendDecimal(e.board_no(), board_line);
      const std::string name = BoardNameText(e);
      if (!name.empty()) AppendHeaderText(name, board_line.append(" "sv));
      board_line.append("\n"sv);
    }
    address.clear();
    if (e.writer_id >= 0) {
      address += 'w';
      AppendDecimal(e.writer_id, address);
    } else {
      address.append("unknown"sv);
    }
    address.append("@"sv).append(run.Domain());
    m.clear();
    m.append("From "sv).append(address).append(" "sv);
    AppendAscDate(date, m);
    m += '\n';
    AppendDisplayName(utf8.Of(e.writer_handle.View()), m.append("From: "sv));
    m.append("<"sv).append(address).append(">\n"sv);
    AppendHeaderText(utf8.Of(e.title.View()), m.append("Subject: "sv));
    m.append("\n"sv);
    m += "Date: "sv;
    AppendRfcDate(date, m);
    m += '\n';
    m.append("Message-ID: "sv);
    run.AppendMessageId(index, m);
    m.append("\n"sv);
    const int64_t parent = run.ParentMessage(index);
    if (parent >= 0) {
      parent_id.clear();
      run.AppendMessageId(static_cast<size_t>(parent), parent_id);
      m.append("In-Reply-To: "sv).append(parent_id).append("\nReferences: "sv).append(parent_id).append("\n"sv);
    }
    m.append(board_line);
    m += "X-Tobrisk-Message-No: "sv;
    AppendDecimal(e.message_no, m);
    m += '\n';
    const std::string_view mark = MarkName(e.Mark());
    m.append("X-Tobrisk-Mark: "sv).append(mark).append("\n"sv);
    // The same marks as mail programs know them: read, answered, flagged.
    if (mark != "unread") m += "Status: RO\n"sv;
    if (mark == "replied") m += "X-Status: A\n"sv;
    if (mark == "checked") m += "X-Status: F\n"sv;
    m += "MIME-Version: 1.0\nContent-Type: text/plain; charset=UTF-8\nContent-Transfer-Encoding: 8bit\n\n"sv;
    out.Write(m);
    out.Write(run.NextText());
    out.Write("\n");
    run.Done(++done);
  }
}

}  // namespace tobrisk::export_detail
