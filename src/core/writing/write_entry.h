// One message written offline, pointing to its composition file.
#pragma once

#include <string>
#include <vector>

namespace tobrisk {

struct WriteEntry {
  std::string serial_no;       // SerialNo: 1-based position in the write list
  std::string board_type;      // BoardType: "BBS", "LBBS", "CUG", "IBBS" or "MAIL"
  std::string target_no;       // TargetNo: board number or recipient's member ID
  std::string target_name;     // TargetName: board name or "MAIL : " + handle
  std::string res_to_no;       // ResToNo: "0", "-1" (moved reply) or the number answered
  std::string title;           // Title: first line of the composition file
  std::string kind;            // Kind: "NEW", "RES" or "Move"
  std::string temp_file_name;  // TempFileName: composition file name in TmpDir
  std::string deleted;         // Deleted: "0" live, "1" deleted

  bool IsDeleted() const { return deleted == "1"; }
  bool operator==(const WriteEntry&) const = default;
};

using WriteList = std::vector<WriteEntry>;

}  // namespace tobrisk
