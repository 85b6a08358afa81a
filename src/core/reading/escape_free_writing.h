// The escape-free text of logs read ahead, written after their messages are
// handed out. The program started with logs reads them while its window is
// built without writing their text (writing 100 MB into a new file costs about
// as much as reading it); the open that takes the reading puts a file with room
// for the text in place of NOESC.LOG, and this reads and filters the logs a
// second time into it on a thread of its own while the window shows the
// messages. Whoever reads NOESC.LOG meanwhile waits for the bytes it reads
// (WorkState::AwaitEscapeFreeText).
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace tobrisk {

// What tells a file's content apart: the file, its size and modification time.
struct FileIdentity {
  uint64_t device = 0;
  uint64_t inode = 0;
  int64_t size = 0;
  int64_t modified_ns = 0;
  bool operator==(const FileIdentity&) const = default;
};

// False when the file cannot be looked at.
bool IdentityOf(const std::string& path, FileIdentity& identity);

class EscapeFreeWriting {
 public:
  static constexpr uint64_t kAll = ~uint64_t{0};

  // Starts writing the escape-free text of `files` through `fd` (taken over; its
  // file has room for `size` bytes, the text's size when the logs were read).
  // A log that is no longer as `identities` says, or a text of another size, is
  // a read error: the messages handed out point into the text as it was read.
  // Errors name `shown` for the file written.
  EscapeFreeWriting(std::vector<std::string> files, std::vector<FileIdentity> identities, int fd, uint64_t size,
                    std::string shown);
  // Waits for the writing to end: the text is whole once the program has quit.
  ~EscapeFreeWriting();
  EscapeFreeWriting(const EscapeFreeWriting&) = delete;
  EscapeFreeWriting& operator=(const EscapeFreeWriting&) = delete;

  // Ends the writing where it is, for an open that writes the file anew.
  void Stop();
  // Waits until the text before `end` is written (or the writing ended); throws
  // the IoError that stopped it.
  void AwaitBefore(uint64_t end) const;

 private:
  void Run();
  void Write(std::string_view bytes, uint64_t at);
  void CheckUnchanged() const;

  const std::vector<std::string> files_;
  const std::vector<FileIdentity> identities_;
  const int fd_;
  const uint64_t size_;
  const std::string shown_;
  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;
  mutable std::condition_variable progressed_;
  uint64_t written_ = 0;  // under mutex_
  bool done_ = false;
  std::exception_ptr failure_;
  std::jthread worker_;  // last: started once everything it uses is made
};

}  // namespace tobrisk
