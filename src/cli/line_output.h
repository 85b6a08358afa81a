// Writing the command-line tool's output lines: formatted on two threads, written in order.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace tobrisk::cli {

// Formats items 0..count-1 into Shift-JIS lines and writes them to stdout in
// item order, converted to UTF-8 unless `sjis` is set: `format(first, last,
// out)` appends the lines of items [first, last) to `out`. Runs of items are
// formatted (and converted) on two threads at once, each writing its run when
// the runs before it are written, so the bytes are the same as formatting and
// writing the items one after the other. `format` must be safe to call from
// two threads (it reads shared data only). Throws IoError when a write fails,
// and what `format` throws once both threads are done; nothing is written after
// a failure.
using LineFormatter = std::function<void(size_t first, size_t last, std::string& out)>;
void WriteLinesInOrder(size_t count, bool sjis, const LineFormatter& format);

}  // namespace tobrisk::cli
