#include "ProcessMemory.h"

#include <psapi.h>

#include <algorithm>

namespace {

struct TAddressSpace {
  std::uint64_t Used = 0;
  std::uint64_t LargestFree = 0;
  std::uint64_t Size = 0;
};

// Wine shows the ranges outside the areas it set aside for Windows memory as
// reserved, private and without any access, whether the Linux side maps
// something there or not; it maps Windows memory into them once its own
// areas are full. Nothing a Windows program reserves looks like that (its
// reservations carry the access they were made with), so such a range is
// counted as free: a 32-bit process under Wine starts with about 1.5 GB of
// its 2 GB shown that way.
bool IsWineHole(const MEMORY_BASIC_INFORMATION& region) {
  return region.State == MEM_RESERVE && region.Type == MEM_PRIVATE && region.AllocationProtect == PAGE_NOACCESS &&
         region.AllocationBase == region.BaseAddress;
}

// Walks the regions from the lowest to the highest address a program may use.
TAddressSpace WalkAddressSpace() {
  SYSTEM_INFO system{};
  GetSystemInfo(&system);
  const auto first = reinterpret_cast<std::uintptr_t>(system.lpMinimumApplicationAddress);
  const auto last = reinterpret_cast<std::uintptr_t>(system.lpMaximumApplicationAddress);
  TAddressSpace space;
  space.Size = static_cast<std::uint64_t>(last - first) + 1;
  std::uintptr_t address = first;
  while (address < last) {
    MEMORY_BASIC_INFORMATION region{};
    if (VirtualQuery(reinterpret_cast<const void*>(address), &region, sizeof region) == 0) break;
    const auto base = reinterpret_cast<std::uintptr_t>(region.BaseAddress);
    const std::uintptr_t end = std::min<std::uintptr_t>(base + region.RegionSize - 1, last);
    const std::uint64_t size = static_cast<std::uint64_t>(end - address) + 1;
    if (region.State == MEM_FREE || IsWineHole(region))
      space.LargestFree = std::max(space.LargestFree, size);
    else
      space.Used += size;
    if (end >= last) break;
    address = end + 1;
  }
  return space;
}

constexpr double kMegabyte = 1024.0 * 1024.0;

}  // namespace

bool IsLargeAddressAware() {
  const auto* image = reinterpret_cast<const BYTE*>(GetModuleHandleA(nullptr));
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(image + dos->e_lfanew);
  return (nt->FileHeader.Characteristics & IMAGE_FILE_LARGE_ADDRESS_AWARE) != 0;
}

TMemorySampler::TMemorySampler(std::chrono::milliseconds interval, std::FILE* log)
    : FStart(std::chrono::steady_clock::now()), FLog(log) {
  if (FLog != nullptr) std::fprintf(FLog, "seconds working_set_mb private_mb address_space_used_mb largest_free_mb\n");
  Sample();
  FThread = std::thread([this, interval] {
    while (!FStopping) {
      std::this_thread::sleep_for(interval);
      Sample();
    }
  });
}

TMemorySampler::~TMemorySampler() {
  if (FThread.joinable()) Stop();
}

TMemoryFigures TMemorySampler::Stop() {
  FStopping = true;
  if (FThread.joinable()) FThread.join();
  Sample();
  return FFigures;
}

void TMemorySampler::Sample() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
  const TAddressSpace space = WalkAddressSpace();

  FFigures.PeakWorkingSet = std::max<std::uint64_t>(FFigures.PeakWorkingSet, counters.PeakWorkingSetSize);
  FFigures.PeakPrivate = std::max<std::uint64_t>(
      FFigures.PeakPrivate, std::max<std::uint64_t>(counters.PeakPagefileUsage, counters.PagefileUsage));
  FFigures.PeakAddressSpaceUsed = std::max(FFigures.PeakAddressSpaceUsed, space.Used);
  FFigures.LeastLargestFree =
      FFigures.LeastLargestFree == 0 ? space.LargestFree : std::min(FFigures.LeastLargestFree, space.LargestFree);
  FFigures.AddressSpace = space.Size;

  if (FLog != nullptr) {
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - FStart;
    std::fprintf(FLog, "%.1f %.1f %.1f %.1f %.1f\n", elapsed.count(),
                 static_cast<double>(counters.WorkingSetSize) / kMegabyte,
                 static_cast<double>(counters.PagefileUsage) / kMegabyte, static_cast<double>(space.Used) / kMegabyte,
                 static_cast<double>(space.LargestFree) / kMegabyte);
    std::fflush(FLog);
  }
}
