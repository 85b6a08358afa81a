// The capture line model, used for every capture and work file:
// a line ends at CR, optionally followed by one LF; a LF alone is line content;
// a Ctrl-Z byte (0x1A) ends the file; the last line needs no line end.
// Files that come back from the user's editor are read with `LineEnds::Any`,
// where a LF alone ends a line too. Captures are read with
// `LineEnds::CaptureOrLf`: the capture model, except that a capture holding no
// CR at all (its line ends were converted to LF) takes LF as its line end.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/text/files.h"

namespace tobrisk {

enum class LineEnds { Capture, CaptureOrLf, Any };

// Tag for reading bytes held in memory rather than a file.
struct InMemory {};
inline constexpr InMemory kInMemory{};

class LineReader {
 public:
  // Opens the file; throws IoError when it cannot be opened.
  explicit LineReader(const std::string& path, LineEnds ends = LineEnds::Capture);
  // Opens the file and starts reading at byte `start` (the first byte of a line);
  // Position() counts from the file's start. An offset at or beyond the end gives
  // no lines. Throws IoError when the file cannot be opened or positioned.
  LineReader(const std::string& path, uint64_t start, LineEnds ends = LineEnds::Capture);
  // Reads an open file from its current position, which is byte `start` (the
  // first byte of a line); `name` names it in errors.
  LineReader(FileHandle file, std::string name, uint64_t start, LineEnds ends = LineEnds::Capture);
  // Reads from memory instead of a file (the bytes must outlive the reader).
  LineReader(InMemory, std::string_view bytes, LineEnds ends = LineEnds::Capture);
  // The same, starting at byte `start` as the file form does.
  LineReader(InMemory, std::string_view bytes, uint64_t start, LineEnds ends = LineEnds::Capture);
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  // The next line without its line end; the view stays valid until the next call.
  // Returns false at the end of the file or at a Ctrl-Z byte. Throws IoError on a
  // read failure.
  bool Next(std::string_view& line);

  // Byte offset just after the last line returned and its line end.
  uint64_t Position() const { return position_; }

 private:
  bool Fill();  // appends more bytes to the buffer; false at end of file
  // CaptureOrLf while no CR has been seen yet; it becomes Capture at the first
  // CR, or Lf when the file (up to a Ctrl-Z) turns out to hold none.
  enum class Ends { Capture, CaptureOrLf, Lf, Any };
  static Ends StartEnds(LineEnds ends);
  size_t FindLineEnd(size_t from) const;
  // Where the line-end byte stands in 64 bytes of data_ from window_begin_ (a
  // bit per byte), so that the short lines of a capture are found without a
  // search each. Valid until the next Fill.
  mutable bool window_valid_ = false;
  mutable char window_byte_ = 0;
  mutable size_t window_begin_ = 0;
  mutable uint64_t window_bits_ = 0;

  std::string path_;
  FileHandle file_;
  Ends ends_;
  std::vector<char> buffer_;
  std::string_view memory_;
  const char* data_ = nullptr;
  size_t begin_ = 0;  // first unread byte in data_
  size_t end_ = 0;    // end of valid bytes in data_
  bool eof_ = false;  // no more bytes after end_
  static constexpr size_t kNone = static_cast<size_t>(-1);
  size_t ctrl_z_ = kNone;  // index in data_ of the first Ctrl-Z read so far
  bool stopped_ = false;
  uint64_t position_ = 0;
};

// The byte position that reading the whole file by the capture line model
// reaches: the file length, or the offset of the first Ctrl-Z. Throws IoError.
// `scan`, when given, sees those bytes in parts as they are read; each part
// starts with the last `overlap` bytes of the part before it, so that a pattern
// of up to `overlap` + 1 bytes is seen whole in one part wherever it lies.
uint64_t MeasureCapture(const std::string& path, const std::function<void(std::string_view part)>& scan = {},
                        size_t overlap = 0);

}  // namespace tobrisk
