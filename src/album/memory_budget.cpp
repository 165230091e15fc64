// The memory budget of the pictures in flight.
#include "album/memory_budget.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>

#include "base/settings.h"
#include "img/img.h"

namespace {

std::mutex gLock;
std::condition_variable gReturned;
long long gBudget = kDefaultMemoryBudget;
long long gInUse = 0;

// Buffers of every picture alike (the thumbnails, the lens, the codecs' own).
constexpr long long kFixedNeed = 8LL << 20;

// Below this, what a picture frees is kept for the next one: faulting it in
// again would cost more than holding it.
constexpr long long kReleaseAbove = 32LL << 20;

}  // namespace

void memoryBudgetSet(long long bytes) {
  const std::lock_guard<std::mutex> lock(gLock);
  gBudget = std::max(bytes, 1LL);
}

long long memoryBudgetNeed(long long held, long long largePixels) {
  // A single-scan JPEG streams into the reduction a few rows at a time.
  const long long medium = 2LL * gSettings.mw * gSettings.mh * 3;
  // The large view and its lens, held while its thumbnails are made.
  const long long large = 2 * largePixels * 3;
  return held + medium + large + kFixedNeed;
}

MemoryLease::MemoryLease(long long need) {
  std::unique_lock<std::mutex> lock(gLock);
  held_ = std::clamp(need, 0LL, gBudget);
  gReturned.wait(lock, [&] { return gInUse + held_ <= gBudget; });
  gInUse += held_;
}

MemoryLease::~MemoryLease() {
  // Each thread keeps the raster blocks it freed for its next picture; for a
  // large one, that would be memory held once per thread, outside the budget.
  if (held_ > kReleaseAbove) imgReleaseKeptBlocks();
  {
    const std::lock_guard<std::mutex> lock(gLock);
    gInUse -= held_;
  }
  gReturned.notify_all();
}
