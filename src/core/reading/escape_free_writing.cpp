#include "core/reading/escape_free_writing.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "core/reading/escape_filter.h"
#include "core/text/io_error.h"

namespace tobrisk {

bool IdentityOf(const std::string& path, FileIdentity& identity) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return false;
  identity = {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino), static_cast<int64_t>(st.st_size),
              static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
  return true;
}

namespace {

struct Stopped {};

// A log that is no longer the one read: the messages handed out point into its old text.
IoError Changed(const std::string& log) { return IoError("read", log, "changed since it was opened"); }

}  // namespace

EscapeFreeWriting::EscapeFreeWriting(std::vector<std::string> files, std::vector<FileIdentity> identities, int fd,
                                     uint64_t size, std::string shown)
    : files_(std::move(files)),
      identities_(std::move(identities)),
      fd_(fd),
      size_(size),
      shown_(std::move(shown)),
      worker_([this] { Run(); }) {}

EscapeFreeWriting::~EscapeFreeWriting() = default;  // the worker is joined

void EscapeFreeWriting::Stop() {
  stop_.store(true, std::memory_order_relaxed);
  if (worker_.joinable()) worker_.join();
}

void EscapeFreeWriting::AwaitBefore(uint64_t end) const {
  std::unique_lock lock(mutex_);
  progressed_.wait(lock, [&] { return done_ || written_ >= end; });
  if (done_ && failure_ && written_ < end) std::rethrow_exception(failure_);
}

void EscapeFreeWriting::CheckUnchanged() const {
  for (size_t i = 0; i < files_.size(); ++i) {
    FileIdentity now;
    if (!IdentityOf(files_[i], now)) throw IoError::FromErrno("open", files_[i]);
    if (!(now == identities_[i])) throw Changed(files_[i]);
  }
}

void EscapeFreeWriting::Write(std::string_view bytes, uint64_t at) {
  while (!bytes.empty()) {
    const ssize_t n = ::pwrite(fd_, bytes.data(), bytes.size(), static_cast<off_t>(at));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) throw IoError::FromErrno("write", shown_);
    bytes.remove_prefix(static_cast<size_t>(n));
    at += static_cast<uint64_t>(n);
  }
}

void EscapeFreeWriting::Run() {
#ifdef __linux__
  // The window is being filled and painted meanwhile: this thread gives way to
  // it. Whoever waits for the text leaves the processor to it.
  ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 19);
#endif
  std::exception_ptr failure;
  try {
    CheckUnchanged();
    uint64_t at = 0;
    CutEscapesInPieces(files_, [this, &at](std::string_view block) {
      if (stop_.load(std::memory_order_relaxed)) throw Stopped{};
      if (block.size() > size_ - at) throw Changed(files_.front());
      Write(block, at);
      at += block.size();
      std::lock_guard lock(mutex_);
      written_ = at;
      progressed_.notify_all();
    });
    if (at != size_) throw Changed(files_.front());
    CheckUnchanged();
  } catch (const Stopped&) {
  } catch (...) {
    failure = std::current_exception();
  }
  if (::close(fd_) != 0 && !failure && !stop_.load(std::memory_order_relaxed)) {
    failure = std::make_exception_ptr(IoError::FromErrno("write", shown_));
  }
  std::lock_guard lock(mutex_);
  failure_ = failure;
  done_ = true;
  progressed_.notify_all();
}

}  // namespace tobrisk
