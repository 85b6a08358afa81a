#include "core/text/huge_pages.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace tobrisk {
namespace {

// The whole pages of `page` bytes in [from, from + size): where they start, and
// their bytes (0 when there is none).
char* WholePages(void* from, size_t size, size_t page, size_t& bytes) {
  auto* const start = static_cast<char*>(from);
  const size_t lead = (page - reinterpret_cast<uintptr_t>(start) % page) % page;
  bytes = size > lead ? (size - lead) / page * page : 0;
  return start + lead;
}

}  // namespace

void PreferHugePages(void* p, size_t size) noexcept {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  static const bool wanted = [] {
    const char* value = std::getenv("TOBRISK_HUGE_PAGES");  // NOLINT(concurrency-mt-unsafe): read once, nothing sets it
    return value != nullptr && std::strcmp(value, "1") == 0;
  }();
  if (!wanted) return;
  size_t bytes = 0;
  char* const begin = WholePages(p, size, size_t{2} << 20, bytes);
  // A refusal (no huge pages in this system) leaves the ordinary pages.
  if (bytes > 0) ::madvise(begin, bytes, MADV_HUGEPAGE);
#else
  (void)p;
  (void)size;
#endif
}

void ReleasePages(void* from, void* to) noexcept {
#if defined(__linux__)
  if (to <= from) return;
  size_t bytes = 0;
  char* const begin =
      WholePages(from, static_cast<size_t>(static_cast<char*>(to) - static_cast<char*>(from)), 4096, bytes);
  if (bytes > 0) ::madvise(begin, bytes, MADV_DONTNEED);
#else
  (void)from;
  (void)to;
#endif
}

bool FaultInPages(void* from, void* to) noexcept {
#if defined(__linux__) && defined(MADV_POPULATE_WRITE)
  if (to <= from) return true;
  size_t bytes = 0;
  char* const begin =
      WholePages(from, static_cast<size_t>(static_cast<char*>(to) - static_cast<char*>(from)), 4096, bytes);
  return bytes == 0 || ::madvise(begin, bytes, MADV_POPULATE_WRITE) == 0;
#else
  (void)from;
  (void)to;
  return false;
#endif
}

}  // namespace tobrisk
