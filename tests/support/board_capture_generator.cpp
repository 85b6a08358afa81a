#include "board_capture_generator.h"

#include <cstdio>
#include <random>

#include "capture_generator.h"
#include "core/text/bytes.h"
#include "core/text/sjis.h"

namespace tobrisk::testing {
namespace {

std::string Num(int value, int width) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%*d", width, value);
  return buf;
}

std::string FullWidthDigit(int digit) { return std::string{'\x82', static_cast<char>(0x4F + digit)}; }

}  // namespace

std::string BbsListStartLine() { return Sjis("[ BBS ﾎﾞｰﾄﾞ一覧 ]  ＮＯＲＵ ホスト"); }
std::string IbbsListStartLine() { return Sjis("[ IBBS ﾎﾞｰﾄﾞ一覧 ]  ＮＯＲＵ ネット"); }
std::string MemberListStartLine() { return Sjis("[ MLIST メンバーズリスト ]"); }
std::string BoardListColumnHeader() { return Sjis("[ No ] Type       ボード名             Mes"); }

std::string BoardNumberCell(int board_no, BoardNumberForm form) {
  switch (form) {
    case BoardNumberForm::Free: return Sjis("[ Ｆ ]");
    case BoardNumberForm::FullWidth:
      if (board_no < 10) return "[ " + FullWidthDigit(board_no) + " ]";
      return "[" + FullWidthDigit(board_no / 10 % 10) + FullWidthDigit(board_no % 10) + "]";
    case BoardNumberForm::Ascii: break;
  }
  return "[ " + Num(board_no, 2) + " ]";
}

std::string BbsBoardRow(std::string_view number_cell, std::string_view type, std::string_view name_sjis) {
  return std::string(number_cell) + " " + PadRight(type, 11) + PadRight(name_sjis, 20) + "  " + Num(120, 4);
}

std::string IbbAmongBbsRow(std::string_view number_cell, int ibbs_no, std::string_view name_sjis) {
  return std::string(number_cell) + " IBBS(" + Num(ibbs_no, 3) + ")  " + PadRight(name_sjis, 20) + "  " + Num(45, 4);
}

std::string IbbsBoardRow(std::string_view number_cell, std::string_view name_sjis, bool skip) {
  return std::string(number_cell) + " " + PadRight("NORU-NET", 11) + PadRight(name_sjis, 20) + "   " +
         (skip ? "Skip" : "Read") + " 10/05";
}

std::string BoardListPrompt(std::string_view letter_utf8) {
  return " [" + Sjis(letter_utf8) + "]" + Sjis("ボード番号 [Ｅ]終了 >");
}

std::string MemberColumnHeader() { return Sjis("[     ID ] ハンドル名       自己紹介"); }

std::string MemberRow(int user_id, std::string_view handle_sjis) {
  return PadRight("", 10) + Num(user_id, 4) + " " + PadRight(handle_sjis, 16) + " " + Sjis("よろしく");
}

std::string MemberContinueLine() { return Sjis("([ 続けて ] Enter / [ 中止 ] Q)"); }

BoardCapture GenerateBoardCapture(const BoardCaptureOptions& o) {
  std::mt19937 rng(o.seed);
  auto chance = [&](double p) { return std::uniform_real_distribution<double>(0, 1)(rng) < p; };
  auto pick = [&](size_t n) { return static_cast<size_t>(rng() % n); };

  // Names of at most 20 bytes: double-byte characters at both ends, trailing
  // blanks, half-width katakana, plain ASCII.
  static const std::vector<std::string> names = {Sjis("雑談ボード全般です。"), Sjis("質問コーナー"),    Sjis("ゲーム"),
                                                 Sjis("音楽の部屋"),           Sjis("ﾌﾟﾛｸﾞﾗﾐﾝｸﾞ 総合"), "FREE TALK",
                                                 Sjis("お知らせ　　　　　★"),  Sjis("旅行と映画")};
  static const std::vector<std::string> handles = {Sjis("たろう"), Sjis("ＭＩＫＥ＿ＳＡＮ"), Sjis("ｹﾝｼﾞ"), "hanako",
                                                   Sjis("ねこ　ねこ")};

  BoardCapture capture;
  std::string& out = capture.bytes;
  auto line = [&](const std::string& text) {
    if (o.escapes && chance(0.2)) {
      out += "\x1b[1;33m" + text + "\x1b[0m\r\n";
    } else {
      out += text + "\r\n";
    }
  };
  auto add_board = [&](int no, std::string type, const std::string& name, bool skip) {
    capture.boards.push_back({no, std::move(type), PadRight(name, 20), skip});
  };
  // Which list is the last one present: it loses its end line when cut off.
  const int last = o.member_list ? 3 : o.ibbs_list ? 2 : o.bbs_list ? 1 : 0;
  auto ends = [&](int list) { return !(o.cut_off && list == last); };

  line(MainMenuLine());
  line(Sjis("[ Ｂoard ] ボード選択"));  // a screen that is not a list: ignored
  if (o.bbs_list) {
    line(BbsListStartLine());
    line(BoardListColumnHeader());
    for (size_t i = 1; i <= o.bbs_boards; ++i) {
      const int no = static_cast<int>(i % 100);
      const std::string& name = names[pick(names.size())];
      const BoardNumberForm form = i % 7 == 3 ? BoardNumberForm::FullWidth : BoardNumberForm::Ascii;
      if (i == 2) {
        line(BbsBoardRow(BoardNumberCell(0, BoardNumberForm::Free), "BBS", name));
        add_board(0, "BBS", name, false);
      } else if (i % 5 == 1) {
        line(BbsBoardRow(BoardNumberCell(no, form), "CUG", name));
        add_board(no, "CUG", name, false);
      } else if (i % 5 == 4) {
        const int ibbs_no = i % 2 == 0 ? static_cast<int>(i % 10) : 100 + static_cast<int>(i);
        line(IbbAmongBbsRow(BoardNumberCell(no, form), ibbs_no, name));
        add_board(ibbs_no, "LBBS", name, false);
      } else {
        line(BbsBoardRow(BoardNumberCell(no, form), "BBS", name));
        add_board(no, "BBS", name, false);
      }
    }
    if (ends(1)) line(BoardListPrompt("Ｌ"));
  }
  // Only the last list can be cut off, so every list followed by another has ended.
  if (o.bbs_list && o.ibbs_list) line(MainMenuLine());
  if (o.ibbs_list) {
    line(IbbsListStartLine());
    line(BoardListColumnHeader());
    for (size_t j = 1; j <= o.ibbs_boards; ++j) {
      const int no = static_cast<int>(j % 100);
      const std::string& name = names[pick(names.size())];
      const bool skip = chance(o.skip_share);
      const BoardNumberForm form = j % 3 == 0 ? BoardNumberForm::FullWidth : BoardNumberForm::Ascii;
      line(IbbsBoardRow(BoardNumberCell(no, form), name, skip));
      add_board(no, "IBBS", name, skip);
    }
    if (ends(2)) line(BoardListPrompt("Ｏ"));
  }
  if (o.member_list && (o.bbs_list || o.ibbs_list)) line(MainMenuLine());
  if (o.member_list) {
    line(MemberListStartLine());
    line("");  // before the column header: ignored
    line(MemberColumnHeader());
    const size_t per_page = o.members_per_page > 0 ? o.members_per_page : o.members;
    for (size_t k = 0; k < o.members; ++k) {
      if (k > 0 && k % per_page == 0) {
        line(MemberContinueLine());
        line(MemberColumnHeader());
      }
      const int id = 1 + static_cast<int>(pick(9999));
      const std::string& handle = handles[pick(handles.size())];
      line(MemberRow(id, handle));
      capture.members.push_back({id, PadRight(handle, 16)});
    }
    if (ends(3)) {
      line("");
      line(MainMenuLine());
    }
  }
  if (!o.cut_off) line(Sjis("[ Ｇoodbye ] またどうぞ"));
  return capture;
}

BoardList ExpectedBoards(const BoardCapture& capture, int get_ibbs_list) {
  BoardList boards;
  for (const GeneratedBoard& b : capture.boards) {
    if (b.skip && get_ibbs_list == 0) continue;
    boards.push_back(
        {DecimalText(static_cast<int64_t>(boards.size()) + 1), DecimalText(b.board_no), b.board_type, b.board_name});
  }
  return boards;
}

UserList ExpectedUsers(const BoardCapture& capture) {
  UserList users;
  for (const GeneratedMember& m : capture.members) {
    users.push_back({DecimalText(static_cast<int64_t>(users.size()) + 1), DecimalText(m.user_id), m.handle_name});
  }
  return users;
}

std::string BoardFileText(const BoardList& boards) {
  std::string out;
  for (const auto& b : boards) out += b.seq_no + "\t" + b.board_no + "\t" + b.board_type + "\t" + b.board_name + "\r\n";
  return out;
}

std::string UserFileText(const UserList& users) {
  std::string out;
  for (const auto& u : users) out += u.seq_no + "\t" + u.user_id + "\t" + u.handle_name + "\r\n";
  return out;
}

}  // namespace tobrisk::testing

namespace tobrisk {

void PrintTo(const BoardEntry& b, std::ostream* out) {
  *out << '[' << SjisToUtf8(b.seq_no + "\t" + b.board_no + "\t" + b.board_type + "\t" + b.board_name) << ']';
}

void PrintTo(const UserEntry& u, std::ostream* out) {
  *out << '[' << SjisToUtf8(u.seq_no + "\t" + u.user_id + "\t" + u.handle_name) << ']';
}

}  // namespace tobrisk
