#include "platform/uProcessMemory.h"

#include <cstdlib>  // defines __GLIBC__ where glibc is the C library

#if defined(__linux__) && defined(__GLIBC__)
#include <fcntl.h>
#include <malloc.h>
#include <sched.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <cstdint>
#include <latch>
#include <thread>
#include <vector>

namespace {
// glibc takes a block of this size or more straight from the system, as a
// mapping of its own; below it, a thread's heap (at most 64 MB) grows for it.
constexpr std::size_t kHeapBlockLimit = 32u << 20;
// What each prepared heap may grow into without another system call.
constexpr std::size_t kPreparedHeap = 2 * (kHeapBlockLimit - (1u << 20));

std::atomic<bool> gPrepared{false};

// One thread's first allocations make glibc give it a heap of its own; grown
// for two large blocks and left when they are freed, the heap keeps its room
// (freed pages go back to the system, but the room stays the heap's), and so
// does the next thread that takes it over when this one ends. No block is
// freed before every preparer holds its own: a heap freed early would be
// handed to the next preparer instead of a new one.
void PrepareOwnHeap(std::latch& allHold) noexcept {
  void* first = std::malloc(kPreparedHeap / 2);
  void* second = std::malloc(kPreparedHeap / 2);
  allHold.arrive_and_wait();
  std::free(second);
  std::free(first);
}

// The helper's whole life: it shares the process's memory, so it touches none
// of it beyond its own stack and makes only system calls. It closes its copies
// of every file but the pipe's reading end and waits for that pipe's end of
// file, which comes when the process has ended; ending last, it is the one
// that waits while the system clears the memory.
// Not instrumented by the address checker, whose bookkeeping would run on the
// calling thread's state from another process.
__attribute__((no_sanitize("address"))) int WaitForProcessEnd(void* argument) {
  const auto pipe = static_cast<unsigned>(reinterpret_cast<std::intptr_t>(argument));
  if ((pipe == 0 || syscall(SYS_close_range, 0u, pipe - 1u, 0u) == 0) &&
      syscall(SYS_close_range, pipe + 1u, ~0u, 0u) == 0) {
    char byte;
    while (syscall(SYS_read, pipe, &byte, 1) > 0) {
    }
  }
  syscall(SYS_exit, 0);
  return 0;
}
}  // namespace

void PrepareThreadHeaps(unsigned threads) noexcept {
  if (gPrepared.exchange(true)) return;
  // Blocks of the prepared size come from the heap only below the limit; this
  // also stops glibc from moving the limit itself, which it would otherwise
  // do the first time a large mapped block is freed.
  if (mallopt(M_MMAP_THRESHOLD, static_cast<int>(kHeapBlockLimit)) != 1) return;
  // The main thread's heap: grow it by large steps too, and keep the top's
  // free room instead of handing it back each time a large block is freed.
  mallopt(M_TOP_PAD, static_cast<int>(kHeapBlockLimit));
  mallopt(M_TRIM_THRESHOLD, static_cast<int>(kPreparedHeap));
  std::latch allHold(threads);
  std::vector<std::thread> preparers;
  try {
    preparers.reserve(threads);
    for (unsigned t = 0; t < threads; ++t) preparers.emplace_back(PrepareOwnHeap, std::ref(allHold));
  } catch (...) {
    // No more threads to be had: those started prepare theirs, the rest of
    // the heaps grow as they would have.
    allHold.count_down(static_cast<std::ptrdiff_t>(threads - preparers.size()));
  }
  for (std::thread& preparer : preparers) preparer.join();
}

void ReleaseMemoryAfterExit() noexcept {
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) return;
  constexpr std::size_t kStack = 64 * 1024;
  void* stack = mmap(nullptr, kStack, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
  if (stack != MAP_FAILED) {
    // A process of its own, not a thread, so that the process's end neither
    // waits for it nor takes it along; its exit signal lets whoever adopts
    // it collect it as any ended child.
    clone(WaitForProcessEnd, static_cast<char*>(stack) + kStack, CLONE_VM | SIGCHLD,
          reinterpret_cast<void*>(static_cast<std::intptr_t>(ends[0])));
  }
  // The writing end stays open to the process's end: its closing is the
  // helper's signal. Without a helper it is closed by the process's end.
  close(ends[0]);
}

#else

void PrepareThreadHeaps(unsigned) noexcept {}
void ReleaseMemoryAfterExit() noexcept {}

#endif
