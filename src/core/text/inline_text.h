// A short byte string stored inside its record (no heap), for the fixed-width
// fields cut from host screens. Longer input is cut to the capacity.
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

}  // namespace tobrisk
