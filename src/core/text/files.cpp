#include "core/text/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#ifndef _WIN32
#include <sys/file.h>
#endif

#include <atomic>
#include <charconv>
#include <cerrno>
#include <csignal>
#include <climits>
#include <condition_variable>
#include <exception>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "core/text/bytes.h"
#include "core/text/io_error.h"
#include "core/text/sjis.h"

namespace tobrisk {

std::string TrailingSeparator(std::string_view path) {
  std::string out(path);
  if (out.empty() || out.back() != kPathSeparator) out.push_back(kPathSeparator);
  return out;
}

std::string_view FileNameOf(std::string_view path) {
#ifdef _WIN32
  size_t start = 0;
  for (size_t i = 0; i < path.size(); ++i) {
    const auto b = static_cast<unsigned char>(path[i]);
    if (b == '\\' || b == ':') {
      start = i + 1;
    } else if (IsSjisLeadByte(b)) {
      ++i;  // the trail byte of a double-byte character is never a separator
    }
  }
  return path.substr(start);
#else
  const size_t last = path.rfind(kPathSeparator);
  return last == std::string_view::npos ? path : path.substr(last + 1);
#endif
}

std::string FileNameInSjis(std::string_view path) {
  const std::string_view name = FileNameOf(path);
#ifdef _WIN32
  return std::string(name);
#else
  return IsValidUtf8(name) ? Utf8ToSjis(name) : std::string(name);
#endif
}

std::string LogHeaderOf(std::string_view path) { return UpperAscii(FileNameInSjis(path).substr(0, 4)); }

std::string WorkFilePath(const std::string& dir, std::string_view name) {
  std::string exact = dir + std::string(name);
  struct stat st {};
  if (::stat(exact.c_str(), &st) == 0) return exact;
  DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
  if (d == nullptr) return exact;
  const std::string wanted = UpperAscii(name);
  std::string found;
  while (const dirent* e = ::readdir(d)) {
    if (UpperAscii(e->d_name) == wanted) {
      found = dir + e->d_name;
      break;
    }
  }
  ::closedir(d);
  return found.empty() ? exact : found;
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

void CreateDirectory(const std::string& path) {
  if (::mkdir(path.c_str(), 0777) != 0) throw IoError::FromErrno("create folder", path);
}

std::string CurrentDirectory() {
  std::vector<char> buf(PATH_MAX + 1);
  if (::getcwd(buf.data(), buf.size()) == nullptr) throw IoError::FromErrno("read current folder", ".");
  return std::string(buf.data());
}

FileHandle OpenFile(const std::string& path, const char* mode, const std::string& operation) {
  FileHandle file(std::fopen(path.c_str(), mode));
  if (!file) throw IoError::FromErrno(operation, path);
  return file;
}

std::string ReadWholeFile(const std::string& path) {
  const FileHandle f = OpenFile(path, "rb");
  std::string data;
  char buf[1 << 16];
  for (;;) {
    const size_t got = std::fread(buf, 1, sizeof buf, f.get());
    if (got == 0) break;
    data.append(buf, got);
  }
  if (std::ferror(f.get()) != 0) throw IoError("read", path, "read error");
  return data;
}

bool CreateFileExclusively(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
  if (fd < 0) {
    if (errno == EEXIST) return false;
    throw IoError::FromErrno("create", path);
  }
  ::close(fd);
  return true;
}

FolderLock::FolderLock(const std::string& folder) {
#ifndef _WIN32
  fd_ = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd_ < 0) return;
  while (::flock(fd_, LOCK_EX) != 0) {
    if (errno != EINTR) {
      ::close(fd_);
      fd_ = -1;
      return;
    }
  }
#else
  (void)folder;  // Windows refuses to replace a file another writer holds open
#endif
}

FolderLock::~FolderLock() {
#ifndef _WIN32
  if (fd_ >= 0) ::close(fd_);  // closing releases the lock
#endif
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of(kPathSeparator);
  if (slash == std::string::npos) return ".";
  if (slash == 0) return path.substr(0, 1);
  return path.substr(0, slash);
}

std::string WriteTargetOf(const std::string& path) {
  std::string current = path;
#ifndef _WIN32
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st {};
    if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
    std::vector<char> buf(static_cast<size_t>(st.st_size > 0 ? st.st_size : PATH_MAX) + 1);
    const ssize_t n = ::readlink(current.c_str(), buf.data(), buf.size());
    if (n < 0) throw IoError::FromErrno("read link", current);
    std::string link(buf.data(), static_cast<size_t>(n));
    if (link.empty()) return current;
    // A relative link counts from the folder holding it.
    if (link.front() != kPathSeparator) {
      const size_t slash = current.find_last_of(kPathSeparator);
      if (slash != std::string::npos) link.insert(0, current, 0, slash + 1);
    }
    current = std::move(link);
  }
  errno = ELOOP;
  throw IoError::FromErrno("write", path);
#else
  return current;
#endif
}

OutputFile::OutputFile(const std::string& path, Mode mode) : path_(path) {
  if (DirectoryExists(path)) throw IoError("create", path, "Is a directory");
  switch (mode) {
    case Mode::Create: file_ = OpenFile(path, "wb", "create"); break;
    case Mode::Append: file_ = OpenFile(path, "ab"); break;
    case Mode::Overwrite:
#ifndef _WIN32
      // Only a regular file is written over and cut; anything else (a device,
      // a pipe) is opened as for Create.
      if (struct stat st{}; ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        file_ = OpenFile(path, "r+b", "create");
        cut_at_close_ = true;
        break;
      }
#endif
      file_ = OpenFile(path, "wb", "create");
      break;
  }
  buffer_.reserve(kBufferSize);
}

void OutputFile::WriteThrough(std::string_view bytes) {
  if (bytes.empty()) return;
  if (std::fwrite(bytes.data(), 1, bytes.size(), file_.get()) != bytes.size()) {
    throw IoError::FromErrno("write", path_);
  }
  written_ += bytes.size();
}

struct OutputFile::Behind {
  std::mutex mutex;
  std::condition_variable changed;
  std::string pending;  // being written
  bool busy = false;
  bool stop = false;
  std::exception_ptr error;
  std::thread writer;
};

OutputFile::~OutputFile() { StopWriter(); }

void OutputFile::WriteBehind() {
  if (behind_) return;
  behind_ = std::make_unique<Behind>();
  behind_->pending.reserve(kBufferSize);
  Behind& b = *behind_;
  b.writer = std::thread([this, &b] {
    std::unique_lock lock(b.mutex);
    for (;;) {
      b.changed.wait(lock, [&b] { return b.busy || b.stop; });
      if (!b.busy) return;
      lock.unlock();
      std::exception_ptr error;
      try {
        WriteThrough(b.pending);
      } catch (...) {
        error = std::current_exception();
      }
      lock.lock();
      if (error && !b.error) b.error = error;
      b.busy = false;
      b.changed.notify_all();
    }
  });
}

void OutputFile::WaitForWriter() {
  Behind& b = *behind_;
  std::unique_lock lock(b.mutex);
  b.changed.wait(lock, [&b] { return !b.busy; });
  if (b.error) std::rethrow_exception(std::exchange(b.error, nullptr));
}

void OutputFile::StopWriter() noexcept {
  if (!behind_) return;
  {
    std::lock_guard lock(behind_->mutex);
    behind_->stop = true;
  }
  behind_->changed.notify_all();
  behind_->writer.join();  // after the write in progress
  behind_.reset();
}

void OutputFile::FlushBuffer() {
  if (!behind_) {
    WriteThrough(buffer_);
    buffer_.clear();
    return;
  }
  WaitForWriter();
  {
    std::lock_guard lock(behind_->mutex);
    behind_->pending.swap(buffer_);
    behind_->busy = true;
  }
  behind_->changed.notify_all();
  buffer_.clear();
}

void OutputFile::Close() {
  if (!file_) return;
  FlushBuffer();
  WaitBehind();
  StopWriter();
  std::FILE* f = file_.release();
  bool flushed = std::fflush(f) == 0;
#ifndef _WIN32
  // An earlier, longer content ends where this one does.
  if (flushed && cut_at_close_) flushed = ::ftruncate(::fileno(f), static_cast<off_t>(written_)) == 0;
#endif
  const int err = errno;
  const bool closed = std::fclose(f) == 0;
  if (!flushed || !closed) {
    errno = flushed ? errno : err;
    throw IoError::FromErrno("write", path_);
  }
}

uint64_t TotalSizeOf(const std::vector<std::string>& paths) {
  uint64_t total = 0;
  for (const std::string& path : paths) {
    std::error_code error;
    const uintmax_t size = std::filesystem::file_size(path, error);
    if (!error) total += size;
  }
  return total;
}

size_t ReadAt(int fd, uint64_t offset, char* out, size_t size, const char* operation, const std::string& name) {
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::pread(fd, out + done, size - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw IoError::FromErrno(operation, name);
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}

ScratchFile::ScratchFile() {
  const char* tmpdir = std::getenv("TMPDIR");
  folder_ = tmpdir != nullptr && *tmpdir != '\0' ? tmpdir : "/tmp";
#ifdef O_TMPFILE
  fd_ = ::open(folder_.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
#endif
  if (fd_ < 0) {  // no O_TMPFILE here, or not on this file system
    std::string name = TrailingSeparator(folder_) + "tobrisk-XXXXXX";
    fd_ = ::mkstemp(name.data());
    if (fd_ < 0) throw IoError::FromErrno("create a temporary file in", folder_);
    ::unlink(name.c_str());
    ::fcntl(fd_, F_SETFD, FD_CLOEXEC);
  }
}

ScratchFile::~ScratchFile() { ::close(fd_); }

void ScratchFile::Append(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::pwrite(fd_, bytes.data(), bytes.size(), static_cast<off_t>(size_));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = ENOSPC;
      throw IoError::FromErrno("write a temporary file in", folder_);
    }
    size_ += static_cast<uint64_t>(n);
    bytes.remove_prefix(static_cast<size_t>(n));
  }
}

size_t ScratchFile::ReadAt(uint64_t offset, char* out, size_t size) const {
  return tobrisk::ReadAt(fd_, offset, out, size, "read a temporary file in", folder_);
}

FileHandle ScratchFile::OpenForReading(uint64_t offset) const {
  const int fd = ::fcntl(fd_, F_DUPFD_CLOEXEC, 0);
  std::FILE* file = fd >= 0 ? ::fdopen(fd, "rb") : nullptr;
  if (file == nullptr) {
    if (fd >= 0) ::close(fd);
    throw IoError::FromErrno("read a temporary file in", folder_);
  }
  FileHandle handle(file);
  if (::fseeko(file, static_cast<off_t>(offset), SEEK_SET) != 0) {
    throw IoError::FromErrno("read a temporary file in", folder_);
  }
  return handle;
}

std::string TemporarySiblingPath(const std::string& path) {
  static std::atomic<unsigned> counter{0};
  return path + ".tmp" + std::to_string(::getpid()) + "_" + std::to_string(counter++);
}

void CopyFileMode(const std::string& path, const std::string& temporary) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return;  // a new file gets the usual mode
  if (::chmod(temporary.c_str(), st.st_mode & 07777) != 0) throw IoError::FromErrno("write", temporary);
#ifndef _WIN32
  // Keeping the owner only works for the owner's own files or with rights: best effort.
  [[maybe_unused]] const int ignored = ::chown(temporary.c_str(), st.st_uid, st.st_gid);
#endif
}

void CommitTemporary(const std::string& temporary, const std::string& path) {
  const int fd = ::open(temporary.c_str(), O_RDONLY);
  if (fd >= 0) {
    const bool synced = ::fsync(fd) == 0;
    const int err = errno;
    ::close(fd);
    if (!synced) {
      errno = err;
      throw IoError::FromErrno("write", path);
    }
  }
  if (::rename(temporary.c_str(), path.c_str()) != 0) throw IoError::FromErrno("replace", path);
}

void DiscardTemporary(const std::string& temporary) noexcept { ::unlink(temporary.c_str()); }

IoError NamingShown(const IoError& error, const std::string& temporary, const std::string& shown) {
  const std::string& path = error.Path();
  if (path == temporary) return IoError(error.Operation(), shown, error.SystemMessage());
  if (path.size() > temporary.size() && path.starts_with(temporary) && path[temporary.size()] == kPathSeparator) {
    return IoError(error.Operation(), shown + path.substr(temporary.size()), error.SystemMessage());
  }
  return error;
}

void DiscardAbandonedTemporaries(const std::string& path) noexcept {
#ifndef _WIN32
  const std::string folder = TrailingSeparator(FolderOf(path));
  const std::string prefix = std::string(FileNameOf(path)) + ".tmp";
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return;
  while (const dirent* entry = ::readdir(dir)) {
    // NAME.tmpPID_N, as TemporarySiblingPath names them.
    const std::string_view name = entry->d_name;
    if (!name.starts_with(prefix)) continue;
    const std::string_view rest = name.substr(prefix.size());
    pid_t pid = 0;
    const auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), pid);
    const std::string_view counter = rest.substr(static_cast<size_t>(end - rest.data()));
    if (error != std::errc() || pid <= 0 || counter.size() < 2 || counter[0] != '_' ||
        counter.find_first_not_of("0123456789", 1) != std::string_view::npos) {
      continue;
    }
    if (pid == ::getpid() || ::kill(pid, 0) == 0 || errno != ESRCH) continue;
    ::unlink((folder + std::string(name)).c_str());
  }
  ::closedir(dir);
#else
  (void)path;
#endif
}

}  // namespace tobrisk
