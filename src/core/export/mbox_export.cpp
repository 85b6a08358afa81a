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

void AppendTwoDigits(int n, char fill, ByteBuilder& out) {
  char* p = out.Room(2);
  p[0] = n >= 10 ? static_cast<char>('0' + n / 10) : fill;
  p[1] = static_cast<char>('0' + n % 10);
  out.End(p + 2);
}

// "Mon, 07 Dec 2026 00:00:00 +0900": the host's zone; a WriteDate has no time.
void AppendRfcDate(const ExportDate& d, ByteBuilder& out) {
  out.Put(kWeekdays[Weekday(d)]);
  out.Put(", "sv);
  AppendTwoDigits(d.day, '0', out);
  out.Put(' ');
  out.Put(kMonths[d.month - 1]);
  out.Put(' ');
  out.PutDecimal(d.year);
  out.Put(" 00:00:00 +0900"sv);
}

// "Mon Dec  7 00:00:00 2026" for the From_ line.
void AppendAscDate(const ExportDate& d, ByteBuilder& out) {
  out.Put(kWeekdays[Weekday(d)]);
  out.Put(' ');
  out.Put(kMonths[d.month - 1]);
  out.Put(' ');
  AppendTwoDigits(d.day, ' ', out);
  out.Put(" 00:00:00 "sv);
  out.PutDecimal(d.year);
}

void Base64(std::string_view bytes, ByteBuilder& out) {
  static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  char* p = out.Room((bytes.size() + 2) / 3 * 4);
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
    *p++ = '=';
  }
  out.End(p);
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
void AppendEncodedWords(std::string_view utf8, ByteBuilder& out) {
  constexpr size_t kMaxBytes = 45;  // 60 base64 characters + 12 of "=?UTF-8?B?" and "?="
  size_t i = 0;
  while (i < utf8.size()) {
    size_t end = std::min(utf8.size(), i + kMaxBytes);
    while (end < utf8.size() && end > i && (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80) --end;
    if (end == i) end = std::min(utf8.size(), i + kMaxBytes);  // not UTF-8: cut anywhere
    if (i > 0) out.Put("\n "sv);
    out.Put("=?UTF-8?B?"sv);
    Base64(utf8.substr(i, end - i), out);
    out.Put("?="sv);
    i = end;
  }
}

void AppendHeaderText(std::string_view utf8, ByteBuilder& out) {
  if (PlainAscii(utf8)) {
    out.Put(utf8);
  } else {
    AppendEncodedWords(utf8, out);
  }
}

// The writer as a display name followed by a blank: a quoted string when it is
// plain ASCII; nothing for an empty one.
void AppendDisplayName(std::string_view utf8, ByteBuilder& out) {
  if (utf8.empty()) return;
  if (!PlainAscii(utf8)) {
    AppendEncodedWords(utf8, out);
    out.Put(' ');
    return;
  }
  out.Put('"');
  for (char c : utf8) {
    if (c == '"' || c == '\\') out.Put('\\');
    out.Put(c);
  }
  out.Put('"');
  out.Put(' ');
}

// mboxrd: a body line that matches ^>*From  gets one more ">". Most texts
// hold no such line and stand as they are (false, nothing appended).
bool AppendBody(std::string_view body, ByteBuilder& out) {
  bool quoted = false;
  size_t copied = 0;
  for (size_t at = body.find("From "); at != std::string_view::npos; at = body.find("From ", at + 1)) {
    size_t start = at;  // the start of its line, when only ">" stand before it there
    while (start > 0 && body[start - 1] == '>') --start;
    if (start > 0 && body[start - 1] != '\n') continue;
    out.Put(body.substr(copied, start - copied));
    out.Put('>');
    copied = start;
    quoted = true;
  }
  if (quoted) out.Put(body.substr(copied));
  return quoted;
}

}  // namespace

void WriteMbox(ExportRun& run, OutputFile& out) {
  run.PrepareTexts(AppendBody, run.Indices());
  ByteBuilder m;
  ByteBuilder address;
  ByteBuilder parent_id;
  FieldUtf8 utf8;
  // Neighbours in the list mostly share their board: its header line is made
  // once for each run of them.
  const MessageEntry* last_board = nullptr;
  ByteBuilder board_line;
  size_t done = 0;
  for (size_t index : run.Indices()) {
    const MessageEntry& e = run.Entry(index);
    const ExportDate date = run.Date(index);
    if (last_board == nullptr || e.board_type() != last_board->board_type() || e.board_no() != last_board->board_no() ||
        e.BoardName() != last_board->BoardName()) {
      last_board = &e;
      board_line.Clear();
      board_line.Put("X-Tobrisk-Board: "sv);
      board_line.Put(BoardTypeText(e.board_type()));
      board_line.Put(' ');
      board_line.PutDecimal(e.board_no());
      const std::string name = BoardNameText(e);
      if (!name.empty()) {
        board_line.Put(' ');
        AppendHeaderText(name, board_line);
      }
      board_line.Put('\n');
    }
    address.Clear();
    if (e.writer_id >= 0) {
      address.Put('w');
      address.PutDecimal(e.writer_id);
    } else {
      address.Put("unknown"sv);
    }
    address.Put('@');
    address.Put(run.Domain());
    m.Clear();
    m.Put("From "sv);
    m.Put(address.View());
    m.Put(' ');
    AppendAscDate(date, m);
    m.Put("\nFrom: "sv);
    AppendDisplayName(utf8.Of(e.writer_handle.View()), m);
    m.Put('<');
    m.Put(address.View());
    m.Put(">\nSubject: "sv);
    AppendHeaderText(utf8.Of(e.title.View()), m);
    m.Put("\nDate: "sv);
    AppendRfcDate(date, m);
    m.Put("\nMessage-ID: "sv);
    run.AppendMessageId(index, m);
    m.Put('\n');
    const int64_t parent = run.ParentMessage(index);
    if (parent >= 0) {
      parent_id.Clear();
      run.AppendMessageId(static_cast<size_t>(parent), parent_id);
      m.Put("In-Reply-To: "sv);
      m.Put(parent_id.View());
      m.Put("\nReferences: "sv);
      m.Put(parent_id.View());
      m.Put('\n');
    }
    m.Put(board_line.View());
    m.Put("X-Tobrisk-Message-No: "sv);
    m.PutDecimal(e.message_no);
    const std::string_view mark = MarkName(e.Mark());
    m.Put("\nX-Tobrisk-Mark: "sv);
    m.Put(mark);
    m.Put('\n');
    // The same marks as mail programs know them: read, answered, flagged.
    if (mark != "unread") m.Put("Status: RO\n"sv);
    if (mark == "replied") m.Put("X-Status: A\n"sv);
    if (mark == "checked") m.Put("X-Status: F\n"sv);
    m.Put("MIME-Version: 1.0\nContent-Type: text/plain; charset=UTF-8\nContent-Transfer-Encoding: 8bit\n\n"sv);
    out.Write(m.View());
    out.Write(run.NextText());
    out.Write("\n");
    run.Done(++done);
  }
}

}  // namespace tobrisk::export_detail
