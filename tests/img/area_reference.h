// The reduction's rule, pixel by pixel: the reference the tests and the
// resize bench hold the fast reduction against, written apart from it.
#pragma once

#include <algorithm>
#include <cstdint>

#include "img/img.h"

// Adds the truncated mean of src's pixels in the rectangle left..right x
// top..bottom (1/128 pixel units, taken as whole pixels and clipped to src
// on the right and bottom), times weight >> 7, to the three sums. Adds
// nothing for an empty rectangle.
// REQUIRES: left, top >= 0.
inline void imgAreaAdd(const Img* src, int left, int top, int right, int bottom, int weight, int* red,
                int* green, int* blue) {
  left >>= 7;
  top >>= 7;
  right >>= 7;
  bottom >>= 7;
  if (right <= left || bottom <= top) return;
  weight >>= 7;
  right = std::min(right, src->width);
  bottom = std::min(bottom, src->height);
  uint64_t total[3] = {0, 0, 0};
  int64_t count = 0;
  for (int y = top; y < bottom; ++y) {
    for (int x = left; x < right; ++x) {
      for (int c = 0; c < 3; ++c) total[c] += src->rows[y][3 * x + c];
      ++count;
    }
  }
  if (count == 0) return;
  int* sums[3] = {red, green, blue};
  for (int c = 0; c < 3; ++c)
    *sums[c] = int32_t(uint32_t(*sums[c]) + uint32_t(int64_t(total[c] / count) * weight));
}
