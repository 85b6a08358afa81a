// Short byte strings and offsets stored inside their records (no heap), for the
// fixed-width fields cut from host screens. Longer input is cut to the capacity.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace tobrisk {

template <size_t N>
class InlineText {
  static_assert(N < 256);

 public:
  InlineText() = default;
  InlineText(std::string_view text) { Assign(text); }  // NOLINT: implicit on purpose

  void Assign(std::string_view text) {
    size_ = static_cast<uint8_t>(text.size() < N ? text.size() : N);
    if (size_ > 0) std::memcpy(bytes_, text.data(), size_);
  }
  std::string_view View() const { return std::string_view(bytes_, size_); }
  std::string Str() const { return std::string(View()); }
  operator std::string_view() const { return View(); }  // NOLINT
  bool Empty() const { return size_ == 0; }
  bool operator==(const InlineText& other) const { return View() == other.View(); }

 private:
  uint8_t size_ = 0;
  char bytes_[N] = {};
};

// A short byte string that never ends with a NUL byte, stored in N bytes padded
// with NULs: its size is where the padding begins, so it needs no size byte.
// Trimmed fields qualify (trimming removes NULs and blanks from both ends);
// NULs at the end of assigned text are dropped.
template <size_t N>
class PaddedText {
 public:
  PaddedText() = default;
  PaddedText(std::string_view text) { Assign(text); }  // NOLINT: implicit on purpose

  void Assign(std::string_view text) {
    std::memset(bytes_, 0, N);
    if (!text.empty()) std::memcpy(bytes_, text.data(), text.size() < N ? text.size() : N);
  }
  std::string_view View() const {
    size_t size = N;
    while (size > 0 && bytes_[size - 1] == 0) --size;
    return std::string_view(bytes_, size);
  }
  std::string Str() const { return std::string(View()); }
  operator std::string_view() const { return View(); }  // NOLINT
  bool Empty() const { return View().empty(); }
  bool operator==(const PaddedText& other) const { return View() == other.View(); }

 private:
  char bytes_[N] = {};
};

// A file offset in five bytes, below 2^40 (1 TiB), for records kept by the
// hundred thousand: unlike a uint64_t it leaves the record 4-byte aligned.
class PackedOffset {
 public:
  static constexpr uint64_t kLimit = uint64_t{1} << 40;

  PackedOffset() = default;
  PackedOffset(uint64_t offset) { *this = offset; }  // NOLINT: implicit on purpose; offset < kLimit
  PackedOffset& operator=(uint64_t offset) {
    const auto low = static_cast<uint32_t>(offset);
    std::memcpy(bytes_, &low, 4);
    bytes_[4] = static_cast<uint8_t>(offset >> 32);
    return *this;
  }
  operator uint64_t() const {  // NOLINT
    uint32_t low;
    std::memcpy(&low, bytes_, 4);
    return uint64_t{bytes_[4]} << 32 | low;
  }

 private:
  uint8_t bytes_[5] = {};
};

}  // namespace tobrisk
