// File-system helpers over native paths. Every failure throws IoError.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>
#include <string_view>

#include "core/text/io_error.h"

namespace tobrisk {

// The platform's path separator (the "\" of the Windows program).
#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

// The path unchanged when its last byte is the separator, otherwise path + separator.
// An empty path yields the separator alone.
std::string TrailingSeparator(std::string_view path);

// The file name: the part after the last separator of the platform. On Windows
// "\" and ":" separate, stepping over Shift-JIS double-byte characters so that a
// trail byte is never taken for one; elsewhere only "/" does, and "\" and ":"
// are ordinary characters of a name.
std::string_view FileNameOf(std::string_view path);

// The file name in Shift-JIS, as the program's texts and NET.TDT hold it: names
// arrive in the file system's encoding, UTF-8 outside Windows, and are converted
// (a name that is not valid UTF-8 keeps its bytes; characters without a
// Shift-JIS form become "?"). On Windows the name's bytes are Shift-JIS already.
std::string FileNameInSjis(std::string_view path);

// The log header of a capture: the first 4 bytes of FileNameInSjis (fewer when
// the name is shorter), ASCII letters upper-cased.
std::string LogHeaderOf(std::string_view path);

// The path of a per-net or work file in `dir`: dir + name, or the existing file
// whose name differs from `name` only in the case of ASCII letters. The program's
// files were named on a file system that ignores case ("abcd.RAD" and "ABCD.RAD"
// are one file); this keeps them one file where case matters.
std::string WorkFilePath(const std::string& dir, std::string_view name);

bool FileExists(const std::string& path);       // a regular file (or anything not a directory)
bool DirectoryExists(const std::string& path);  // an existing directory
void CreateDirectory(const std::string& path);  // throws IoError
std::string CurrentDirectory();                 // throws IoError

// Whole-file read; throws IoError.
std::string ReadWholeFile(const std::string& path);

// Creates an empty file only when nothing of that name exists yet, in one step
// (O_EXCL), so two processes can never both take one name. Returns false when the
// name is taken; throws IoError on any other failure.
bool CreateFileExclusively(const std::string& path);

// An exclusive lock that writers of files in one folder take for the whole of a
// read-modify-replace, so that concurrent writers (two windows, the command-line
// tool) wait for each other instead of losing each other's changes. The lock is
// on the folder itself (flock), which a rename inside it does not disturb and
// which leaves no lock file behind. It is advisory: only writers that take it
// are ordered. A folder that cannot be opened is not locked (what follows then
// reports its own error). Released by the destructor.
class FolderLock {
 public:
  explicit FolderLock(const std::string& folder);
  ~FolderLock();
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

 private:
  int fd_ = -1;
};

// The folder part of a path ("." when it has none).
std::string FolderOf(const std::string& path);

// The file a write to `path` lands on: symbolic links followed to their final
// target (which need not exist yet); the path itself when it is no link.
// Throws IoError on a link loop.
std::string WriteTargetOf(const std::string& path);

// Closes a stdio file: the deleter of FileHandle.
struct FileCloser {
  void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};

// An open stdio file, closed when its handle goes. Where closing can fail (a
// written file), close it with std::fclose(handle.release()) and check.
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// Opens `path` with the fopen `mode` ("rb", "wb", "ab"); throws IoError with
// `operation` and the path when it cannot be opened.
FileHandle OpenFile(const std::string& path, const char* mode, const std::string& operation = "open");

// The summed sizes of the files that can be measured (the others count 0: their
// reading reports them).
uint64_t TotalSizeOf(const std::vector<std::string>& paths);

// Reads up to `size` bytes at `offset` of the open file `fd` into `out`; fewer
// only at its end. Throws IoError(`operation`, `name`) when a read fails.
size_t ReadAt(int fd, uint64_t offset, char* out, size_t size, const char* operation, const std::string& name);

// A file of the program's own, for the time it runs: created without a name in
// $TMPDIR (or /tmp), so that nothing is ever left behind, not even after a crash
// (O_TMPFILE; where the file system lacks it, a file made by mkstemp and removed
// at once). Written at its end and read at any offset through its descriptor.
// Every failure throws IoError naming the folder ("Cannot write a temporary
// file in "/tmp": No space left on device").
class ScratchFile {
 public:
  ScratchFile();  // throws IoError
  ~ScratchFile();
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;

  // Appends the bytes; throws IoError (a full disk).
  void Append(std::string_view bytes);
  uint64_t Size() const { return size_; }
  // Reads up to `size` bytes at `offset` into `out`; fewer only at the end. Throws IoError.
  size_t ReadAt(uint64_t offset, char* out, size_t size) const;
  // A stdio handle for reading from `offset` on. It shares its position with
  // other handles of this file: read through one at a time. Throws IoError.
  FileHandle OpenForReading(uint64_t offset) const;
  // The folder, for messages: the file itself has no name.
  const std::string& Folder() const { return folder_; }

 private:
  std::string folder_;
  int fd_ = -1;
  uint64_t size_ = 0;
};

// Buffered output file. Create truncates; Append appends; Overwrite writes over
// an existing file from its start and cuts it to what was written at Close
// (for big work files written again and again: the system keeps the old
// file's pages and blocks for the new bytes instead of freeing them and taking
// new ones, which costs about three times as much). Close() flushes and reports
// write errors; the destructor closes silently when Close() was not called.
class OutputFile {
 public:
  enum class Mode { Create, Append, Overwrite };
  static constexpr size_t kBufferSize = size_t{256} * 1024;
  OutputFile(const std::string& path, Mode mode = Mode::Create);
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  ~OutputFile();

  // From now on each full buffer is written on a thread of its own while the
  // caller fills the next one. A write that fails is reported (IoError) by a
  // later Write or by Close.
  void WriteBehind();

  void Write(std::string_view bytes) {
    if (buffer_.size() + bytes.size() > kBufferSize) FlushBuffer();
    if (bytes.size() >= kBufferSize) {
      WaitBehind();
      WriteThrough(bytes);
    } else {
      buffer_.append(bytes);
    }
  }
  void WriteLine(std::string_view bytes) {  // bytes + CR LF
    Write(bytes);
    Write("\r\n");
  }
  void Close();

 private:
  struct Behind;
  void FlushBuffer();
  void WriteThrough(std::string_view bytes);
  // Until the buffer handed on is written; throws what writing it threw.
  void WaitBehind() {
    if (behind_) WaitForWriter();
  }
  void WaitForWriter();
  void StopWriter() noexcept;

  std::string path_;
  FileHandle file_;
  bool cut_at_close_ = false;  // Overwrite
  uint64_t written_ = 0;
  std::string buffer_;  // own buffer: many small writes cost one fwrite per 256 KiB
  std::unique_ptr<Behind> behind_;
};

// Writes a whole file through a temporary file in the same folder, flushed to
// disk and renamed over the target, so that the target is always either the old
// or the new complete file. `write` receives the OutputFile to fill. A symbolic
// link is written through: its final target is replaced and the link stays. An
// existing file keeps its permission bits (a 0600 file stays 0600, from the
// moment its temporary sibling is created).
template <typename WriteFn>
void WriteFileAtomically(const std::string& path, WriteFn&& write);

// The non-template part of WriteFileAtomically.
std::string TemporarySiblingPath(const std::string& path);
// Gives `temporary` the permission bits (and, where allowed, the owner) of an
// existing `path`; nothing when `path` does not exist.
void CopyFileMode(const std::string& path, const std::string& temporary);
void CommitTemporary(const std::string& temporary, const std::string& path);
void DiscardTemporary(const std::string& temporary) noexcept;
// The error as the user knows the file: `shown` where it names `temporary` (a
// file written under a temporary name) or a file inside it (a folder built under
// one); otherwise the error itself.
IoError NamingShown(const IoError& error, const std::string& temporary, const std::string& shown);
// Removes the temporary siblings of `path` whose program is gone (killed while
// it wrote them); those of running programs stay.
void DiscardAbandonedTemporaries(const std::string& path) noexcept;

template <typename WriteFn>
void WriteFileAtomically(const std::string& path, WriteFn&& write) {
  const std::string target = WriteTargetOf(path);
  const std::string temporary = TemporarySiblingPath(target);
  try {
    OutputFile out(temporary);
    CopyFileMode(target, temporary);
    write(out);
    out.Close();
    CommitTemporary(temporary, target);
  } catch (const IoError& e) {
    DiscardTemporary(temporary);
    throw NamingShown(e, temporary, path);
  } catch (...) {
    DiscardTemporary(temporary);
    throw;
  }
}

}  // namespace tobrisk
