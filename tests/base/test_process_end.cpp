#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "base/ProcessEnd.h"

namespace {
struct TWatched {
  explicit TWatched(std::atomic<int>& destroyed) : Destroyed(destroyed) {}
  ~TWatched() { ++Destroyed; }
  std::atomic<int>& Destroyed;
};
}  // namespace

TEST(ProcessEnd, KeptObjectsAreNeverDestroyedWhoeverKeepsThem) {
  // Static: the kept objects refer to it until the process ends.
  static std::atomic<int> destroyed{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([] {
      for (int i = 0; i < 100; ++i) KeepToProcessEnd(std::make_unique<TWatched>(destroyed));
    });
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(destroyed.load(), 0);
}
