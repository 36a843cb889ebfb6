#pragma once
// How much memory and address space this process uses while the plug-in
// exports: what a 32-bit editor runs out of first.
//
// Under Wine, GetProcessMemoryInfo's PeakWorkingSetSize is the true peak
// (the kernel's high-water mark of resident memory), but PeakPagefileUsage is
// only the private memory of the moment. So the sampler also reads the
// private bytes and walks the address space every interval, keeping the
// largest figures seen, and can log each sample to a file.

#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <thread>

struct TMemoryFigures {
  std::uint64_t PeakWorkingSet = 0;
  // Private (pagefile-backed) bytes: the larger of the system's peak and the samples.
  std::uint64_t PeakPrivate = 0;
  // Reserved or committed, of the address space a program may use.
  std::uint64_t PeakAddressSpaceUsed = 0;
  // The smallest "largest free block" seen: how close a large allocation came to failing.
  std::uint64_t LeastLargestFree = 0;
  // The size of the address space a program may use: 2 GB for a 32-bit
  // program, more when it is large-address-aware.
  std::uint64_t AddressSpace = 0;
};

// This program's own header says it may use addresses above 2 GB.
bool IsLargeAddressAware();

class TMemorySampler {
public:
  // Samples every interval on a thread of its own; logs each sample to
  // `log` (seconds and megabytes, one line each) when it is not null.
  TMemorySampler(std::chrono::milliseconds interval, std::FILE* log);
  ~TMemorySampler();
  TMemorySampler(const TMemorySampler&) = delete;
  TMemorySampler& operator=(const TMemorySampler&) = delete;

  // Ends the sampling, takes a last sample and returns the figures.
  TMemoryFigures Stop();

private:
  void Sample();

  std::chrono::steady_clock::time_point FStart;
  std::FILE* FLog;
  TMemoryFigures FFigures;
  std::atomic<bool> FStopping{false};
  std::thread FThread;
};
