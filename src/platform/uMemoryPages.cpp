#include "platform/uMemoryPages.h"

#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

std::size_t MemoryPageSize() {
#if defined(__linux__)
  static const auto size = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  return size;
#else
  return 4096;
#endif
}

void ReleasePages(const char* from, const char* to) {
#if defined(__linux__)
  const std::uintptr_t page = MemoryPageSize();
  const std::uintptr_t first = (reinterpret_cast<std::uintptr_t>(from) + page - 1) & ~(page - 1);
  const std::uintptr_t last = reinterpret_cast<std::uintptr_t>(to) & ~(page - 1);
  if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_DONTNEED);
#else
  (void)from;
  (void)to;
#endif
}
