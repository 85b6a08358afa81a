// One board and one member of the current net.
#pragma once

#include <string>
#include <vector>

namespace tobrisk {

struct BoardEntry {
  std::string seq_no;      // SeqNo: position + 1
  std::string board_no;    // BoardNo ("0" for a "[ Ｆ ]" row)
  std::string board_type;  // BoardType: "BBS", "LBBS", "CUG" or "IBBS"
  std::string board_name;  // BoardName: the 20 bytes the host shows

  bool operator==(const BoardEntry&) const = default;
};

struct UserEntry {
  std::string seq_no;       // SeqNo: position + 1
  std::string user_id;      // UserId
  std::string handle_name;  // HandleName: the 16 bytes the host shows

  bool operator==(const UserEntry&) const = default;
};

using BoardList = std::vector<BoardEntry>;
using UserList = std::vector<UserEntry>;

}  // namespace tobrisk
