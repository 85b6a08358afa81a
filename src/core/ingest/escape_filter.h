// Removal of terminal control sequences and backspaces from captured logs.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "text/files.h"
#include "text/line_reader.h"

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

// CutEscapes as a line source: reads the inputs line by line, writes each
// filtered line with CR LF to `output`, and hands out the filtered lines with
// their positions in the output, so that reading it is reading the finished
// output file, in one pass (no measuring, no progress). The output is created
// once the first input could be opened. Throws IoError.
class EscapeFilteringReader {
 public:
  EscapeFilteringReader(std::vector<std::string> inputs, const std::string& output);
  ~EscapeFilteringReader();
  EscapeFilteringReader(const EscapeFilteringReader&) = delete;
  EscapeFilteringReader& operator=(const EscapeFilteringReader&) = delete;

  bool Next(std::string_view& line);
  // Offset in the output just after the last line handed out and its CR LF.
  uint64_t Position() const { return position_; }
  // Writes the rest of the inputs and closes the output (reports write errors).
  void Finish();

 private:
  std::vector<std::string> inputs_;
  size_t current_ = 0;
  std::unique_ptr<LineReader> reader_;
  std::unique_ptr<OutputFile> out_;
  std::string filtered_;
  uint64_t position_ = 0;
};

}  // namespace tobrisk
