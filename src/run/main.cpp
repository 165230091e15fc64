#include <malloc.h>

#include "run/entry.h"

int main(int argc, char** argv) {
  // Pictures come one after another and need buffers of much the same sizes
  // (the codec's own among them): keep freed memory mapped for the next
  // picture instead of mapping it anew and faulting it in page by page. What
  // stays mapped is bounded by the largest picture's needs. Blocks of 8 MiB
  // and more (a multi-scan JPEG's coefficients) are mapped and given back
  // when freed: kept, they would stay with each thread's allocator, outside
  // the memory budget. Rasters keep their blocks apart (img/img.h).
  mallopt(M_MMAP_THRESHOLD, 8 << 20);
  mallopt(M_TRIM_THRESHOLD, 512 << 20);
  return quorvelMain(argc, argv);
}
