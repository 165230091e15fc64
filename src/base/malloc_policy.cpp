// The allocator's policy for pictures that come one after another.
#include "base/malloc_policy.h"

#include <malloc.h>

void mallocPolicyApply() {
  // Pictures come one after another and need buffers of much the same sizes,
  // the codecs' own among them (a WebP decoder's whole output: 36 MB at
  // 12 MP). Served from the heap, what one picture frees stays mapped for the
  // next instead of being mapped anew and faulted in page by page; glibc's
  // threshold for mapping a block apart stops at 32 MiB, so none is.
  mallopt(M_MMAP_MAX, 0);
  // One heap for every thread: what a picture frees serves the next picture
  // on any thread, instead of staying with the thread that freed it, where N
  // threads would each keep a picture's worth outside the memory budget.
  mallopt(M_ARENA_MAX, 1);
  // Past 64 MiB free at its top, the heap gives memory back to the system: a
  // huge picture's buffers (a multi-scan JPEG's coefficients) are not kept.
  // Rasters keep their blocks apart (img/img.h).
  mallopt(M_TRIM_THRESHOLD, 64 << 20);
}
