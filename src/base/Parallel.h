#pragma once
// Work spread over the processor's cores. The export's wall time is what a
// user waits for, and most of its work falls apart into pieces that do not
// touch each other (primitives): each piece is computed by whichever thread
// takes it, into a place of its own, so the result is the same whatever the
// number of threads and their order.

#include <cstddef>
#include <functional>

// The number of threads work is spread over: the VELDARA_THREADS environment
// variable when it holds a number from 1 up (1 keeps everything on the
// calling thread), otherwise the processor's hardware threads; at least 1.
unsigned WorkerCount();
// Overrides the count for the rest of the process (0: back to the above);
// for tests and benchmarks that compare counts.
void SetWorkerCount(unsigned count);

// Calls work(i) for every i in [0, count) on up to WorkerCount() threads,
// the calling one among them, and returns when every call has ended. The
// calls must be independent of each other. When calls raise, no call of a
// higher index starts afterwards, and the exception of the lowest index is
// raised here, as a loop in index order would have raised it. Calls that do
// not raise make this raise nothing: without threads to be had, the calling
// thread makes every call itself.
void ForEachInParallel(std::size_t count, const std::function<void(std::size_t)>& work);
