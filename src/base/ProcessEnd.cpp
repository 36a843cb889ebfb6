#include "base/ProcessEnd.h"

#include <mutex>
#include <vector>

void KeepToProcessEnd(std::shared_ptr<const void> object) {
  static std::mutex mutex;
  // Never destroyed itself: a static list would free its objects on the way out.
  static auto* const kept = new std::vector<std::shared_ptr<const void>>;
  const std::lock_guard<std::mutex> lock(mutex);
  kept->push_back(std::move(object));
}
