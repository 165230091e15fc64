// One budget of memory for the pictures being made at once, on any thread:
// each making takes what its picture needs before it decodes and gives it
// back when done, waiting while the budget is spent. So memory follows the
// budget, not the number of threads. A picture needing more than the whole
// budget waits for every other to finish and is then made alone.
#pragma once

// The budget in bytes; 1 GiB unless set. Set it before any making starts.
inline constexpr long long kDefaultMemoryBudget = 1LL << 30;
void memoryBudgetSet(long long bytes);

// What making the derived pictures of a picture holds at once: what its
// decode holds besides the medium view, as its header read says
// (ImgHeaderInfo.held: a multi-scan JPEG's coefficients, a GIF's rasters, a
// whole raster where the library decodes whole), the medium view, -hidpi's
// large view of largePixels (derivedLargePixels) with its lens, and what
// every picture needs.
long long memoryBudgetNeed(long long held, long long largePixels = 0);

// Holds need bytes of the budget (at most all of it) for its lifetime. The
// memory a large picture freed is handed back to the system when the lease
// ends, so that no thread keeps it for itself.
class MemoryLease {
 public:
  explicit MemoryLease(long long need);
  ~MemoryLease();
  MemoryLease(const MemoryLease&) = delete;
  MemoryLease& operator=(const MemoryLease&) = delete;

 private:
  long long held_;
};
