// Two pieces of work at once: one on the calling thread, one on a thread of
// its own, for the steps of opening a big log that split in two.
#pragma once

#include <exception>
#include <thread>

namespace tobrisk {

// Runs `beside` on a new thread while `here` runs on this one, and returns once
// both are done. What `here` threw is rethrown first, then what `beside` threw.
template <typename Here, typename Beside>
void RunBeside(Here&& here, Beside&& beside) {
  std::exception_ptr error;
  std::thread worker([&] {
    try {
      beside();
    } catch (...) {
      error = std::current_exception();
    }
  });
  try {
    here();
  } catch (...) {
    worker.join();
    throw;
  }
  worker.join();
  if (error) std::rethrow_exception(error);
}

}  // namespace tobrisk
