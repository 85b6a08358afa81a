#include "cli/line_output.h"

#include <gtest/gtest.h>

#include <new>

namespace tobrisk::cli {
namespace {

// A formatter that fails (running out of memory is the one way it can) reaches
// the caller as its exception, whichever of the two threads it ran on; before,
// it ended the program.
TEST(WriteLinesInOrderTest, AFailedRunReachesTheCallerFromEitherThread) {
  for (const size_t failing_run : {size_t{0}, size_t{1}, size_t{3}}) {
    EXPECT_THROW(WriteLinesInOrder(4 * 1024, true,
                                   [&](size_t first, size_t, std::string&) {
                                     if (first / 1024 == failing_run) throw std::bad_alloc();
                                   }),
                 std::bad_alloc)
        << "run " << failing_run;
  }
}

}  // namespace
}  // namespace tobrisk::cli
