// Generated captures shared by the benchmarks, made once per run in a temporary
// folder. TOBRISK_BENCH_MB sets the size of the big capture (default 100),
// TOBRISK_BENCH_SHAPE its shape: "long" messages (default) or "short" ones.
#pragma once

#include <string>

namespace tobrisk::bench {

// A folder holding "capture.LOG" of about the requested size.
const std::string& BenchDir();
const std::string& CapturePath();
double CaptureMegabytes();

// Copies a file with a plain read/write loop (the reference for throughput).
void PlainCopy(const std::string& from, const std::string& to);

}  // namespace tobrisk::bench
