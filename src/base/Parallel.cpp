#include "base/Parallel.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <exception>
#include <mutex>
#include <string_view>
#include <thread>
#include <vector>

namespace {
std::atomic<unsigned> gWorkerCount{0};

unsigned CountFromEnvironment() {
  if (const char* text = std::getenv("VELDARA_THREADS")) {
    unsigned count = 0;
    for (const char* c = text; *c; ++c) {
      if (*c < '0' || *c > '9' || count > 1000) {
        count = 0;
        break;
      }
      count = count * 10 + static_cast<unsigned>(*c - '0');
    }
    if (count > 0) return count;
  }
  return std::max(1u, std::thread::hardware_concurrency());
}
}  // namespace

unsigned WorkerCount() {
  unsigned count = gWorkerCount.load(std::memory_order_relaxed);
  if (count == 0) {
    count = CountFromEnvironment();
    gWorkerCount.store(count, std::memory_order_relaxed);
  }
  return count;
}

void SetWorkerCount(unsigned count) { gWorkerCount.store(count, std::memory_order_relaxed); }

void ForEachInParallel(std::size_t count, const std::function<void(std::size_t)>& work) {
  const std::size_t threads = std::min<std::size_t>(WorkerCount(), count);
  if (threads <= 1) {
    for (std::size_t i = 0; i < count; ++i) work(i);
    return;
  }
  // Calls are claimed in runs of adjacent indices: one claim per call, on a
  // counter every thread writes, cost as much as a small call itself, and the
  // results of neighbouring calls, written side by side by two threads, made
  // their cache lines travel between the cores. Runs stay short enough that
  // a few large calls still spread over every thread.
  const std::size_t run = std::clamp<std::size_t>(count / (threads * 16), 1, 64);
  std::atomic<std::size_t> next{0};
  // The lowest index that raised so far, and its exception.
  std::atomic<std::size_t> failedAt{count};
  std::exception_ptr failure;
  std::mutex failureMutex;
  const auto calls = [&] {
    for (;;) {
      const std::size_t first = next.fetch_add(run, std::memory_order_relaxed);
      if (first >= count) return;
      const std::size_t end = std::min(count, first + run);
      for (std::size_t i = first; i < end; ++i) {
        if (i > failedAt.load(std::memory_order_relaxed)) return;
        try {
          work(i);
        } catch (...) {
          const std::lock_guard<std::mutex> lock(failureMutex);
          if (i < failedAt.load(std::memory_order_relaxed)) {
            failedAt.store(i, std::memory_order_relaxed);
            failure = std::current_exception();
          }
        }
      }
    }
  };
  std::vector<std::thread> helpers;
  try {
    helpers.reserve(threads - 1);
    for (std::size_t t = 1; t < threads; ++t) helpers.emplace_back(calls);
  } catch (...) {
    // No thread to be had: the calling thread does all that is left.
  }
  calls();
  for (std::thread& helper : helpers) helper.join();
  if (failure) std::rethrow_exception(failure);
}
