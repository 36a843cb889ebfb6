#pragma once
// Whether an address belongs to no mapping of the process any more: memory
// given back with its addresses, not only emptied.
//
// Windows hands freed addresses to the next allocation at once, so there
// only a check with no allocation in between can see them free; while a
// document is parsed, the parser's own storage takes them over (which is
// what giving them back is for). AddressesStayFreeAfterRelease says whether
// this system leaves them free long enough to be seen.

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#endif

#if defined(_WIN32)
inline constexpr bool AddressesStayFreeAfterRelease = false;
#else
inline constexpr bool AddressesStayFreeAfterRelease = true;
#endif

inline bool IsAddressFree(const void* address) {
#if defined(_WIN32)
  MEMORY_BASIC_INFORMATION info{};
  return VirtualQuery(address, &info, sizeof info) != 0 && info.State == MEM_FREE;
#else
  // mincore fails with ENOMEM for a page that no mapping covers.
  const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  void* start = reinterpret_cast<void*>(reinterpret_cast<std::uintptr_t>(address) & ~(page - 1));
  unsigned char resident = 0;
  return mincore(start, page, &resident) != 0 && errno == ENOMEM;
#endif
}
