// Integer resampler: bilinear enlargement onto a grid of whole steps, and
// the fitting of a picture into a box (the reduction is img/reduce.cpp's).
// Intermediate products are taken in 64 bits: the results are those of the
// 32-bit formulas wherever those do not overflow.
#include "img/resize.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "img/reduce.h"

namespace {

// Where destination column (or row) X of an enlargement reads: the two source
// pixels around it, its step l between them, and the step count n.
struct Tap {
  int from, to;
  int64_t step, steps;
};

// Steps per source cell along one axis of s source pixels for a target of
// at least t. A single pixel has no cell: it is repeated t times.
int64_t enlargeSteps(int64_t s, int64_t t) {
  if (s < 2) return 0;
  // The formula gives 0 for a target of 1 pixel, which needs 1 step like any
  // target not larger than the source.
  return std::max<int64_t>(1, (t + s - 3) / (s - 1));
}

int64_t enlargedSize(int64_t s, int64_t t, int64_t steps) {
  return steps == 0 ? std::max<int64_t>(t, 1) : steps * (s - 1) + 1;
}

std::vector<Tap> enlargeTaps(int s, int64_t size, int64_t steps) {
  std::vector<Tap> taps(size);
  for (int64_t x = 0; x < size; ++x) {
    if (steps == 0) {
      taps[x] = {0, 0, 0, 1};
      continue;
    }
    // The last cell also owns the far edge, written with step == steps.
    const int cell = int(std::min<int64_t>(x / steps, s - 2));
    taps[x] = {cell, cell + 1, x - cell * steps, steps};
  }
  return taps;
}

}  // namespace

ImgStatus imgEnlarge(Img* dst, int width, int height, const Img* src) {
  if (src->status != 0) {
    dst->status = IMG_ENLARGE_SOURCE;
    return IMG_ENLARGE_SOURCE;
  }
  const int sw = src->width, sh = src->height;
  const int64_t nx = enlargeSteps(sw, width), ny = enlargeSteps(sh, height);
  const int64_t dw = enlargedSize(sw, width, nx), dh = enlargedSize(sh, height, ny);
  const bool fits = dw <= INT32_MAX && dh <= INT32_MAX;
  if (!fits || imgCreate(dst, int(dw), int(dh)) != 0) {
    dst->rows = nullptr;
    dst->status = int32_t(IMG_CREATE_FAILED) | IMG_ENLARGE_ALLOC;
    return IMG_ENLARGE_ALLOC;
  }
  if (sw == 0 || sh == 0) return IMG_OK;
  const std::vector<Tap> cols = enlargeTaps(sw, dw, nx);
  const std::vector<Tap> rows = enlargeTaps(sh, dh, ny);
  for (int64_t y = 0; y < dh; ++y) {
    const Tap& r = rows[y];
    const unsigned char* top = src->rows[r.from];
    const unsigned char* bottom = src->rows[r.to];
    unsigned char* out = dst->rows[y];
    for (int64_t x = 0; x < dw; ++x) {
      const Tap& t = cols[x];
      const int64_t divisor = t.steps * r.steps;
      for (int c = 0; c < 3; ++c) {
        const int64_t p00 = top[3 * t.from + c], p10 = top[3 * t.to + c];
        const int64_t p01 = bottom[3 * t.from + c], p11 = bottom[3 * t.to + c];
        const int64_t upper = p00 * (t.steps - t.step) + p10 * t.step;
        const int64_t lower = p01 * (t.steps - t.step) + p11 * t.step;
        out[3 * x + c] = static_cast<unsigned char>((upper * (r.steps - r.step) + lower * r.step) / divisor);
      }
    }
  }
  return IMG_OK;
}

ImgStatus imgFitSize(int sourceWidth, int sourceHeight, int width, int height, bool exact, int* fitWidth,
                           int* fitHeight) {
  if (width <= 0 && height <= 0) return IMG_RESIZE_BOX;
  const int64_t sw = sourceWidth, sh = sourceHeight;
  int64_t w = width, h = height;
  if (w <= 0)
    w = h * sw / sh;
  else if (h <= 0)
    h = w * sh / sw;
  else if (!exact) {
    if (w * sh > h * sw)
      w = h * sw / sh;
    else
      h = w * sh / sw;
  }
  // A picture far thinner than the box keeps a 1-pixel line rather than vanish.
  w = std::max<int64_t>(w, 1);
  h = std::max<int64_t>(h, 1);
  // No enlargement to a larger size can be allocated.
  if (w > INT32_MAX || h > INT32_MAX) return IMG_RESIZE_ENLARGE;
  *fitWidth = int(w);
  *fitHeight = int(h);
  return IMG_OK;
}

ImgStatus imgResize(Img* dst, int width, int height, const Img* src, bool exact) {
  // An empty source has no proportions to fit; it is as unusable as an invalid one.
  if (src->status != 0 || src->width <= 0 || src->height <= 0) {
    dst->status = IMG_RESIZE_SOURCE;
    return IMG_RESIZE_SOURCE;
  }
  int w, h;
  if (const ImgStatus fit = imgFitSize(src->width, src->height, width, height, exact, &w, &h); fit != 0) {
    dst->status = fit;
    return fit;
  }
  ImgStatus result;
  if (src->width < w || src->height < h) {
    Img larger{};
    if (imgEnlarge(&larger, w, h, src) != 0) {
      dst->status = IMG_RESIZE_ENLARGE;
      return IMG_RESIZE_ENLARGE;
    }
    result = imgReduce(dst, w, h, &larger);
    imgDestroy(&larger);
  } else {
    result = imgReduce(dst, w, h, src);
  }
  if (result != 0) {
    dst->status |= IMG_RESIZE_REDUCE;
    return IMG_RESIZE_REDUCE;
  }
  return IMG_OK;
}
