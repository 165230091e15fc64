// The allocator's policy for pictures that come one after another.
#include "base/malloc_policy.h"

#include <malloc.h>

void mallocPolicyApply() {
  // Pictures come one after another and need buffers of much the same sizes,
  // the codecs' own among them (a WebP decoder's whole output: 36 MB at
  // 12 MP). Served from the heap, what one picture frees stays mapped for the
  // next instead of being mapped anew and faulted in page by page. So no
  // block is mapped apart: glibc's threshold for that stops at 32 MiB.
  mallopt(M_MMAP_MAX, 0);
  // What a heap keeps free at its top stays under 64 MiB (the size of a
  // thread's heap): past that it goes back to the system, so that a huge
  // picture's buffers (a multi-scan JPEG's coefficients) do not stay with its
  // thread, outside the memory budget. Rasters keep their blocks apart
  // (img/img.h).
  mallopt(M_TRIM_THRESHOLD, 64 << 20);
}
