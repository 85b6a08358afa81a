#include "core/boards/board_list_parser.h"

#include "core/text/bytes.h"
#include "core/text/line_reader.h"
#include "core/text/sjis.h"

namespace tobrisk {
namespace {

// The host's texts, as they stand in the capture (Shift-JIS; the half-width
// katakana of the two board list titles are single bytes).
struct ListTexts {
  std::string bbs_start = Sjis("[ BBS ﾎﾞｰﾄﾞ一覧 ]");      // bytes 1-17
  std::string ibbs_start = Sjis("[ IBBS ﾎﾞｰﾄﾞ一覧 ]");    // bytes 1-18
  std::string member_start = Sjis("[ MLIST メンバーズ");  // bytes 1-18
  std::string column_header = "[ No ]";
  std::string free_board = Sjis("[ Ｆ ]");
  std::string prompt_list = Sjis(" [Ｌ");
  std::string prompt_again = Sjis(" [Ａ");
  std::string prompt_end = Sjis(" [Ｅ");
  std::string prompt_other = Sjis(" [Ｏ");
  std::string continue_prompt = Sjis("([ 続けて");  // between member pages
  std::string main_menu = Sjis("[ Ｍain");
  std::string member_header = "[     ID";
};

const ListTexts& Texts() {
  static const ListTexts texts;
  return texts;
}

bool IsBoardRow(std::string_view line) {
  return !line.empty() && line[0] == '[' && !MarkerAt(line, 1, Texts().column_header);
}

bool EndsBbsList(std::string_view line) {
  const ListTexts& t = Texts();
  return MarkerAt(line, 1, t.prompt_list) || MarkerAt(line, 1, t.prompt_again) || MarkerAt(line, 1, t.prompt_end);
}

bool EndsIbbsList(std::string_view line) { return MarkerAt(line, 1, Texts().prompt_other) || EndsBbsList(line); }

// The board number of a row: "[ Ｆ ]" is board 0; otherwise bytes 3-4 when the
// row starts with "[ ", else bytes 2-5, full-width digits made ASCII.
int32_t ListedBoardNumber(std::string_view row) {
  if (MarkerAt(row, 1, Texts().free_board)) return 0;
  const std::string_view digits = MarkerAt(row, 1, "[ ") ? FieldAt(row, 3, 2) : FieldAt(row, 2, 4);
  return ConvertListNumber(FullWidthDigitsToAscii(digits));
}

void AppendBoard(BoardList& boards, ImportCounters& counters, int32_t board_no, std::string type,
                 std::string_view row) {
  ++counters.board_counter;
  boards.push_back(
      {DecimalText(counters.board_counter), DecimalText(board_no), std::move(type), std::string(FieldAt(row, 19, 20))});
}

}  // namespace

ConversionError::ConversionError(std::string_view offending_text)
    : std::runtime_error([&] {
        static const std::string not_integer = Sjis("' は整数ではありません");
        return "'" + std::string(offending_text) + not_integer;
      }()),
      text_(offending_text) {}

std::string FullWidthDigitsToAscii(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (b == 0x82 && i + 1 < text.size()) {
      const auto trail = static_cast<unsigned char>(text[i + 1]);
      if (trail >= 0x4F && trail <= 0x58) {
        out.push_back(static_cast<char>('0' + (trail - 0x4F)));
        ++i;
        continue;
      }
    }
    out.push_back(text[i]);
  }
  return out;
}

std::string_view CutLeadingSpaces(std::string_view text) {
  const size_t first = text.find_first_not_of(' ');
  return first == std::string_view::npos ? std::string_view{} : text.substr(first);
}

int32_t ConvertListNumber(std::string_view text) {
  int32_t value = 0;
  if (!ParseDecimal(CutLeadingSpaces(text), value)) throw ConversionError(text);
  return value;
}

void ParseBbsBoardList(LineReader& reader, BoardList& boards, ImportCounters& counters) {
  std::string_view line;
  while (reader.Next(line)) {
    if (IsBoardRow(line)) {
      const std::string_view type = FieldAt(line, 8, 3);
      // A row without one of the three types carries no board type: leave it out.
      if (type == "BBS" || type == "CUG") {
        AppendBoard(boards, counters, ListedBoardNumber(line), std::string(type), line);
      } else if (type == "IBB") {
        // An IBBS board as the BBS list shows it: its IBBS number stands in bytes 13-15.
        const int32_t board_no =
            MarkerAt(line, 1, Texts().free_board) ? 0 : ConvertListNumber(CutLeadingSpaces(FieldAt(line, 13, 3)));
        AppendBoard(boards, counters, board_no, "LBBS", line);
      }
    }
    if (EndsBbsList(line)) return;
  }
}

void ParseIbbsBoardList(LineReader& reader, BoardList& boards, ImportCounters& counters, int32_t get_ibbs_list) {
  std::string_view line;
  while (reader.Next(line)) {
    if (IsBoardRow(line)) {
      if (get_ibbs_list == 0 && MarkerAt(line, 42, "Skip")) continue;
      AppendBoard(boards, counters, ListedBoardNumber(line), "IBBS", line);
    }
    if (EndsIbbsList(line)) return;
  }
}

void ParseMemberList(LineReader& reader, UserList& users, ImportCounters& counters) {
  const ListTexts& t = Texts();
  bool header_seen = false;
  std::string_view line;
  while (reader.Next(line)) {
    if (MarkerAt(line, 1, t.continue_prompt)) continue;
    if (MarkerAt(line, 1, t.main_menu)) return;
    if (line.empty() && header_seen) return;
    if (MarkerAt(line, 1, t.member_header)) {
      header_seen = true;
    } else if (header_seen) {
      const int32_t user_id = ConvertListNumber(FieldAt(line, 11, 4));
      ++counters.member_counter;
      users.push_back({DecimalText(counters.member_counter), DecimalText(user_id), std::string(FieldAt(line, 16, 16))});
    }
  }
}

void ParseBoardUserLists(LineReader& reader, BoardList& boards, UserList& users, ImportCounters& counters,
                         int32_t get_ibbs_list) {
  const ListTexts& t = Texts();
  std::string_view line;
  while (reader.Next(line)) {
    // The three start texts exclude one another, so at most one section starts
    // on a line; a parser leaves the reader after the line it stopped at.
    if (MarkerAt(line, 1, t.bbs_start)) {
      ParseBbsBoardList(reader, boards, counters);
    } else if (MarkerAt(line, 1, t.ibbs_start)) {
      ParseIbbsBoardList(reader, boards, counters, get_ibbs_list);
    } else if (MarkerAt(line, 1, t.member_start)) {
      ParseMemberList(reader, users, counters);
    }
  }
}

}  // namespace tobrisk
