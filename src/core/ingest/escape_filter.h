// Removal of terminal control sequences and backspaces from captured logs.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tobrisk {

class Progress;

// Filters one line: backspaces are dropped; ESC starts a sequence that runs
// through the next "m" byte, both dropped; the state does not outlive the line.
// Appends the kept bytes to `out`.
void FilterEscapes(std::string_view line, std::string& out);

// Copies the inputs, line by line and in order, into `output` with control
// sequences removed, each line ended by CR LF. Reports progress (label
// "エスケープシーケンスカット中...", position per line). With a single input the
// output is created only after the input was measured, so a missing input leaves
// the old output untouched. Throws IoError.
void CutEscapes(const std::vector<std::string>& inputs, const std::string& output, Progress& progress);

}  // namespace tobrisk
