#pragma once
// How a command-line process that does one export and ends gets its heap from
// the system and gives it back. Both are Linux with glibc only; elsewhere they
// do nothing, and the process behaves as any other.
//
// A thread's heap under glibc grows one system call at a time, by just the
// pages that the allocation at hand lacks: the reading threads of a level
// make thousands of such calls, and each stops the other threads' page
// faults while it changes the process's mappings. And at its end the process
// waits while the system clears every page it used, milliseconds for each
// hundred megabytes, although nothing needs that to happen first.

// Makes every heap grow by whole heaps of address space at once instead of
// page by page: no memory is used until it is written. Call it before the
// threads start; it holds for the rest of the process.
void PrepareHeaps() noexcept;

// Lets the system clear the process's memory after the process has ended,
// while whoever waits for it goes on: a helper that shares the memory and
// nothing else (not the standard streams, not any file) holds it until the
// process is gone. Call it last, with every file closed or flushed that
// anybody reads; the process then ends as usual, with its own exit status.
// Should the helper not start, the process ends as it would without it.
void ReleaseMemoryAfterExit() noexcept;
