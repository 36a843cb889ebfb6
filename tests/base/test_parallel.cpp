#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "base/Parallel.h"

namespace {
class TWorkers {
public:
  explicit TWorkers(unsigned count) { SetWorkerCount(count); }
  ~TWorkers() { SetWorkerCount(0); }
};
}  // namespace

TEST(Parallel, EveryIndexOnceWhateverTheThreadCount) {
  for (const unsigned threads : {1u, 2u, 3u, 8u}) {
    const TWorkers workers(threads);
    EXPECT_EQ(WorkerCount(), threads);
    for (const std::size_t count : {std::size_t{0}, std::size_t{1}, std::size_t{2}, std::size_t{1000}, std::size_t{1001},
                                     std::size_t{99991}}) {
      std::vector<int> calls(count, 0);
      ForEachInParallel(count, [&](std::size_t i) { ++calls[i]; });
      EXPECT_EQ(calls, std::vector<int>(count, 1)) << threads << " threads, " << count << " calls";
    }
  }
}

TEST(Parallel, OneWorkerKeepsTheWorkOnTheCallingThread) {
  const TWorkers workers(1);
  const std::thread::id caller = std::this_thread::get_id();
  std::set<std::thread::id> seen;
  ForEachInParallel(50, [&](std::size_t) { seen.insert(std::this_thread::get_id()); });
  EXPECT_EQ(seen, std::set<std::thread::id>{caller});
}

TEST(Parallel, TheLowestFailureIsRaisedAndNothingAfterItStarts) {
  for (const unsigned threads : {1u, 2u, 4u}) {
    const TWorkers workers(threads);
    std::vector<std::atomic<int>> started(200);
    std::string message;
    try {
      ForEachInParallel(started.size(), [&](std::size_t i) {
        ++started[i];
        // Later failures end sooner, so that they are caught first.
        if (i == 120) std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (i == 120 || i == 150 || i == 199) throw std::runtime_error("failed at " + std::to_string(i));
      });
    } catch (const std::runtime_error& e) {
      message = e.what();
    }
    EXPECT_EQ(message, "failed at 120") << threads << " threads";
    for (std::size_t i = 0; i <= 120; ++i) EXPECT_EQ(started[i], 1) << i;
    // A loop in order stops at the failure; threads may have started a few
    // calls beyond it meanwhile, but none once it was known.
    if (threads == 1) {
      for (std::size_t i = 121; i < started.size(); ++i) EXPECT_EQ(started[i], 0) << i;
    }
  }
}
