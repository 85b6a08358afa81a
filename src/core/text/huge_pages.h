// Huge pages for big arrays that are filled once (the entries, the reply tree
// and its build): one page fault for every 2 MB instead of one for every 4 KB,
// when TOBRISK_HUGE_PAGES=1 is set. They are off by default. Where the system
// has just freed memory, they fill a fresh array four times faster (40 MB: 4
// against 18 ms). But on a virtual machine whose host takes back the guest's
// free memory (free page reporting, as in many cloud machines), the free 2 MB
// blocks are the ones taken back: each huge page is then backed again by the
// host as it is zeroed, and a program started after a pause took 1.5 to 2.5
// times as long (`tree` on 100 MB: 430 against 190 ms), where ordinary pages
// mostly come from memory freed moments before.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

namespace tobrisk {

// Asks the system for huge pages for the whole 2 MB pages in [p, p + size), to
// be used from their first touch on, when TOBRISK_HUGE_PAGES=1 is set. Nothing
// otherwise, nor where the system has none.
void PreferHugePages(void* p, size_t size) noexcept;

// Gives the whole pages in [from, to) back to the system: room at the end of an
// array that was not filled (a huge page it ends in is split for it). What lies
// there must not be needed any more: it reads as zeros afterwards.
void ReleasePages(void* from, void* to) noexcept;

// Backs the whole pages in [from, to) with memory now, as a first write would,
// without changing what they hold: the cost of that first write (the system
// zeroing the page) is paid by the calling thread instead of the writer. False
// where the system cannot do it (nothing is done then).
bool FaultInPages(void* from, void* to) noexcept;

template <typename T>
struct HugePageAllocator {
  using value_type = T;
  HugePageAllocator() = default;
  template <typename U>
  explicit HugePageAllocator(const HugePageAllocator<U>& /*other*/) noexcept {}
  T* allocate(size_t n) {
    T* p = std::allocator<T>().allocate(n);
    PreferHugePages(p, n * sizeof(T));
    return p;
  }
  void deallocate(T* p, size_t n) noexcept { std::allocator<T>().deallocate(p, n); }
  template <typename U>
  bool operator==(const HugePageAllocator<U>& /*other*/) const noexcept {
    return true;
  }
};

template <typename T>
using HugeVector = std::vector<T, HugePageAllocator<T>>;

}  // namespace tobrisk
