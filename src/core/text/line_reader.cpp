#include "core/text/line_reader.h"

#include <sys/types.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/text/bytes.h"
#include "core/text/io_error.h"

namespace tobrisk {
namespace {

constexpr size_t kChunk = size_t{64} * 1024;  // grows when one line needs more
constexpr char kCtrlZ = 0x1A;

}  // namespace

LineReader::Ends LineReader::StartEnds(LineEnds ends) {
  switch (ends) {
    case LineEnds::Capture: return Ends::Capture;
    case LineEnds::CaptureOrLf: return Ends::CaptureOrLf;
    case LineEnds::Any: break;
  }
  return Ends::Any;
}

LineReader::LineReader(const std::string& path, LineEnds ends) : path_(path), ends_(StartEnds(ends)) {
  file_ = OpenFile(path, "rb");
  buffer_.resize(kChunk);
  data_ = buffer_.data();
}

LineReader::LineReader(const std::string& path, uint64_t start, LineEnds ends) : LineReader(path, ends) {
  if (start == 0) return;
  if (::fseeko(file_.get(), static_cast<off_t>(start), SEEK_SET) != 0) throw IoError::FromErrno("seek", path);
  position_ = start;
}

LineReader::LineReader(FileHandle file, std::string name, uint64_t start, LineEnds ends)
    : path_(std::move(name)), file_(std::move(file)), ends_(StartEnds(ends)) {
  buffer_.resize(kChunk);
  data_ = buffer_.data();
  position_ = start;
}

LineReader::LineReader(InMemory, std::string_view bytes, LineEnds ends) : ends_(StartEnds(ends)), memory_(bytes) {
  data_ = memory_.data();
  end_ = memory_.size();
  eof_ = true;
  const void* z = end_ > 0 ? std::memchr(data_, kCtrlZ, end_) : nullptr;
  if (z != nullptr) ctrl_z_ = static_cast<size_t>(static_cast<const char*>(z) - data_);
}

LineReader::LineReader(InMemory, std::string_view bytes, uint64_t start, LineEnds ends)
    : LineReader(kInMemory, bytes, ends) {
  if (start >= end_) {
    stopped_ = true;
  } else {
    // As a file read from `start` on: a Ctrl-Z before it is never seen.
    begin_ = static_cast<size_t>(start);
    const void* z = std::memchr(data_ + begin_, kCtrlZ, end_ - begin_);
    ctrl_z_ = z != nullptr ? static_cast<size_t>(static_cast<const char*>(z) - data_) : kNone;
  }
  position_ = start;
}

bool LineReader::Fill() {
  if (eof_) return false;
  window_valid_ = false;
  // Keep the unread tail at the front and grow when one line fills the buffer.
  if (begin_ > 0) {
    std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
    end_ -= begin_;
    if (ctrl_z_ != kNone) ctrl_z_ -= begin_;
    begin_ = 0;
  }
  if (end_ == buffer_.size()) buffer_.resize(buffer_.size() * 2);
  data_ = buffer_.data();
  const size_t got = std::fread(buffer_.data() + end_, 1, buffer_.size() - end_, file_.get());
  if (got == 0) {
    if (std::ferror(file_.get())) throw IoError::FromErrno("read", path_);
    eof_ = true;
    return false;
  }
  if (ctrl_z_ == kNone) {
    const void* z = std::memchr(buffer_.data() + end_, kCtrlZ, got);
    if (z != nullptr) ctrl_z_ = static_cast<size_t>(static_cast<const char*>(z) - buffer_.data());
  }
  end_ += got;
  return true;
}

size_t LineReader::FindLineEnd(size_t from) const {
  if (ends_ != Ends::Any) {
    // The first Ctrl-Z is found once per buffer fill; a line never runs past it.
    const size_t limit = ctrl_z_ != kNone ? ctrl_z_ : end_;
    if (from >= limit) return limit;  // nothing left (an empty text has no buffer at all)
    const char byte = ends_ == Ends::Lf ? '\n' : '\r';
#if defined(__SSE2__)
    while (limit - from >= 64 || (window_valid_ && from - window_begin_ < 64 && window_byte_ == byte)) {
      if (!window_valid_ || from - window_begin_ >= 64 || window_byte_ != byte) {
        const __m128i wanted = _mm_set1_epi8(byte);
        uint64_t bits = 0;
        for (size_t part = 0; part < 4; ++part) {
          const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data_ + from + 16 * part));
          bits |= uint64_t{static_cast<uint16_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, wanted)))} << (16 * part);
        }
        window_valid_ = true;
        window_byte_ = byte;
        window_begin_ = from;
        window_bits_ = bits;
      }
      const uint64_t ahead = window_bits_ >> (from - window_begin_);
      if (ahead != 0) return from + static_cast<size_t>(__builtin_ctzll(ahead));
      from = window_begin_ + 64;
      if (from >= limit) return limit;
    }
#endif
    return static_cast<size_t>(FindByte(data_ + from, data_ + limit, byte) - data_);
  }
  for (size_t i = from; i < end_; ++i) {
    const char c = data_[i];
    if (c == '\r' || c == '\n' || c == kCtrlZ) return i;
  }
  return end_;
}

bool LineReader::Next(std::string_view& line) {
  if (stopped_) return false;
  size_t scan = begin_;
  size_t stop;
  for (;;) {
    stop = FindLineEnd(scan);
    if (stop < end_) {
      // A CR at the very end of the buffer needs the next byte to know about LF.
      if (data_[stop] == '\r' && stop + 1 == end_ && !eof_) {
        const size_t offset = stop - begin_;
        if (Fill()) {
          scan = begin_ + offset;
          continue;
        }
        stop = begin_ + offset;
      }
      break;
    }
    const size_t offset = end_ - begin_;
    if (!Fill()) {
      stop = end_;
      break;
    }
    scan = begin_ + offset;
  }
  if (ends_ == Ends::CaptureOrLf) {
    // The search for the first CR ran to the end of the file or its Ctrl-Z,
    // which are all in the buffer now: a CR makes it a capture like any other,
    // none makes LF the line end.
    if (stop < end_ && data_[stop] == '\r') {
      ends_ = Ends::Capture;
    } else {
      ends_ = Ends::Lf;
      stop = FindLineEnd(begin_);
    }
  }

  if (stop == begin_ && (stop == end_ || data_[stop] == kCtrlZ)) {
    stopped_ = true;
    return false;
  }
  line = std::string_view(data_ + begin_, stop - begin_);
  size_t next = stop;
  if (stop < end_) {
    const char c = data_[stop];
    if (c == kCtrlZ) {
      stopped_ = true;
    } else if (c == '\r') {
      ++next;
      if (next < end_ && data_[next] == '\n') ++next;
    } else {  // '\n' with LineEnds::Any or in a capture without CR
      ++next;
    }
  }
  position_ += next - begin_;
  begin_ = next;
  return true;
}

uint64_t MeasureCapture(const std::string& path, const std::function<void(std::string_view part)>& scan,
                        size_t overlap) {
  constexpr size_t kMeasureChunk = 1 << 20;
  const FileHandle f = OpenFile(path, "rb");
  std::vector<char> buf(kMeasureChunk + overlap);
  uint64_t total = 0;
  size_t kept = 0;  // bytes of the previous part at the front of buf
  for (;;) {
    const size_t got = std::fread(buf.data() + kept, 1, kMeasureChunk, f.get());
    if (got == 0) {
      if (std::ferror(f.get()) != 0) throw IoError::FromErrno("read", path);
      return total;
    }
    std::string_view fresh(buf.data() + kept, got);
    const size_t z = fresh.find(kCtrlZ);
    if (z != std::string_view::npos) fresh = fresh.substr(0, z);
    const std::string_view part(buf.data(), kept + fresh.size());
    if (scan) scan(part);
    total += fresh.size();
    if (z != std::string_view::npos) return total;
    kept = std::min(overlap, part.size());
    std::memmove(buf.data(), part.data() + part.size() - kept, kept);
  }
}

}  // namespace tobrisk
