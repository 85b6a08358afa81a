// One stored read mark: a row of the read-mark store and of the per-net .RAD file.
#pragma once

#include <string>

namespace tobrisk {

struct ReadMarkRecord {
  std::string board_type;  // BoardType
  std::string board_no;    // BoardNo (decimal text)
  std::string message_no;  // MessageNo (decimal text)
  std::string mark;        // Mark

  bool operator==(const ReadMarkRecord&) const = default;
};

}  // namespace tobrisk
