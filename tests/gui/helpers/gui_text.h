// Text helpers shared by the GUI suites.
#pragma once

#include <QString>

namespace tobrisk::testing {

// The QString of a UTF-8 literal: the suites write the program's Japanese texts as UTF-8.
inline QString U(const char* utf8) { return QString::fromUtf8(utf8); }

}  // namespace tobrisk::testing
