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

#include <cstdint>

namespace {
// A heap that glibc makes for a thread is this much address space, of which
// it makes usable what the thread's allocations need, one system call at a
// time as they grow.
constexpr std::size_t kThreadHeap = 64u << 20;
// glibc takes a block of this size or more straight from the system, as a
// mapping of its own, freed back to it when the block is freed.
constexpr std::size_t kLargestHeapBlock = 32u << 20;

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

void PrepareHeaps() noexcept {
  // Padding of a whole thread's heap: every heap is made usable whole when
  // it is made, and the main one grows by as much at a time; only address
  // space, no memory is used until it is written. It also keeps each heap's
  // free room at its top instead of handing it back piece by piece.
  mallopt(M_TOP_PAD, static_cast<int>(kThreadHeap));
  // Blocks of up to tens of megabytes (a large primitive's vertices, the
  // mesh's blocks) from the heaps too, which reuse freed room, rather than
  // from mappings that the system clears anew each time.
  mallopt(M_MMAP_THRESHOLD, static_cast<int>(kLargestHeapBlock));
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
    if (clone(WaitForProcessEnd, static_cast<char*>(stack) + kStack, CLONE_VM | SIGCHLD,
              reinterpret_cast<void*>(static_cast<std::intptr_t>(ends[0]))) < 0)
      munmap(stack, kStack);
  }
  // The writing end stays open to the process's end: its closing is the
  // helper's signal. Without a helper it is closed by the process's end.
  close(ends[0]);
}

#else

void PrepareHeaps() noexcept {}
void ReleaseMemoryAfterExit() noexcept {}

#endif
