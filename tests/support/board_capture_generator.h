// Generates captures of the host's board list and member list screens
// (Shift-JIS bytes with the host's exact columns), together with the lists an
// import of them must give.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "core/boards/board_entry.h"

namespace tobrisk::testing {

// How a board row shows its number in bytes 1-6.
enum class BoardNumberForm {
  Ascii,      // "[ 12 ]", "[  5 ]"
  FullWidth,  // "[１２]" (two full-width digits), "[ ５ ]" (one)
  Free,       // "[ Ｆ ]": board 0
};

// Line builders. Board rows: number cell 1-6, blank 7, type 8-10 (IBB rows:
// "IBBS(" 8-12, IBBS number 13-15, ")" 16), name 19-38, IBBS list mark 42-45.
// Member rows: ID 11-14, handle 16-31.
std::string BbsListStartLine();     // "[ BBS ﾎﾞｰﾄﾞ一覧 ]"
std::string IbbsListStartLine();    // "[ IBBS ﾎﾞｰﾄﾞ一覧 ]"
std::string MemberListStartLine();  // "[ MLIST メンバーズリスト ]"
std::string BoardListColumnHeader();
std::string BoardNumberCell(int board_no, BoardNumberForm form);  // 6 bytes; 0..99
std::string BbsBoardRow(std::string_view number_cell, std::string_view type, std::string_view name_sjis);
std::string IbbAmongBbsRow(std::string_view number_cell, int ibbs_no, std::string_view name_sjis);
std::string IbbsBoardRow(std::string_view number_cell, std::string_view name_sjis, bool skip);
// The host's prompt that ends a board list: " [" + letter + "]..." with a
// full-width capital letter ("Ｌ", "Ａ", "Ｅ", "Ｏ").
std::string BoardListPrompt(std::string_view letter_utf8);
std::string MemberColumnHeader();  // "[     ID ..."
std::string MemberRow(int user_id, std::string_view handle_sjis);
std::string MemberContinueLine();  // "([ 続けて ..."

struct BoardCaptureOptions {
  uint32_t seed = 1;
  bool bbs_list = true;
  bool ibbs_list = true;
  bool member_list = true;
  size_t bbs_boards = 30;
  size_t ibbs_boards = 10;
  double skip_share = 0.3;  // IBBS rows marked "Skip"
  size_t members = 25;
  size_t members_per_page = 10;  // pages separated by the "continue" prompt
  bool cut_off = false;          // the last list runs to the end of the capture
  bool escapes = true;           // colour sequences around some lines
};

struct GeneratedBoard {
  int board_no = 0;
  std::string board_type;  // "BBS", "CUG", "LBBS" or "IBBS"
  std::string board_name;  // 20 bytes
  bool skip = false;       // an IBBS row marked "Skip"
};

struct GeneratedMember {
  int user_id = 0;
  std::string handle_name;  // 16 bytes
};

struct BoardCapture {
  std::string bytes;                     // the capture as the terminal stored it
  std::vector<GeneratedBoard> boards;    // BBS list rows, then IBBS list rows
  std::vector<GeneratedMember> members;  // in list order
};

BoardCapture GenerateBoardCapture(const BoardCaptureOptions& options);

// The lists an import of the capture gives.
BoardList ExpectedBoards(const BoardCapture& capture, int get_ibbs_list);
UserList ExpectedUsers(const BoardCapture& capture);

// The bytes of the .BRD / .USR file that holds the list.
std::string BoardFileText(const BoardList& boards);
std::string UserFileText(const UserList& users);

}  // namespace tobrisk::testing

namespace tobrisk {
// Readable test failures: fields joined by TAB, Shift-JIS shown as UTF-8.
void PrintTo(const BoardEntry& board, std::ostream* out);
void PrintTo(const UserEntry& user, std::ostream* out);
}  // namespace tobrisk
