// Integer resampler. Enlargement interpolates bilinearly onto a grid of whole
// steps; reduction averages each destination pixel's footprint on a grid of
// 1/128 source pixel. Intermediate products are taken in 64 bits: the results
// are those of the 32-bit formulas wherever those do not overflow.
#include "img/resize.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

// ---------------------------------------------------------------- enlarging

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

// ---------------------------------------------------------------- reducing

// Division by a divisor used for many numerators. Numerators and divisors
// below 2^32 take a multiplication by ceil(2^64 / d), which gives the exact
// truncated quotient for all of them; larger ones divide.
class Divisor {
 public:
  Divisor() = default;
  explicit Divisor(uint64_t d) : d_(d) {
#ifdef __SIZEOF_INT128__
    if (d > 1 && d <= UINT32_MAX) m_ = UINT64_MAX / d + 1;
#endif
  }
  uint64_t divisor() const { return d_; }
  uint64_t quotient(uint64_t n) const {
#ifdef __SIZEOF_INT128__
    if (m_ != 0 && n <= UINT32_MAX) return uint64_t((static_cast<unsigned __int128>(m_) * n) >> 64);
#endif
    return d_ == 1 ? n : n / d_;
  }

 private:
  uint64_t d_ = 1;
  uint64_t m_ = 0;
};

// One destination column (or row) of a reduction, in 1/128 source pixel:
// its footprint lo..hi; the source pixels holding its edges, edge0 for lo and
// edge1 for hi (each "In" when inside the source); the whole pixels between
// them, clipped to the source; and the covered part of the first pixel, of
// the whole pixels and of the last pixel.
struct Footprint {
  int64_t lo, hi;
  int64_t edge0, edge1;
  bool edge0In, edge1In;
  int64_t innerFrom, innerCount;
  Divisor byInner;
  int64_t first, inner, last;
};

// i * size * 128 / n as 32-bit arithmetic computes it; a wrapped product
// shows as a negative result.
int32_t gridPoint(int64_t i, int size, int n) {
  const uint32_t product = uint32_t(i) * uint32_t(size) * 128u;
  return int32_t(product) / n;
}

// Footprints of the n destination pixels along an axis of size source
// pixels; false when a grid point overflows.
bool footprints(int size, int n, std::vector<Footprint>* out) {
  out->resize(n);
  for (int i = 0; i < n; ++i) {
    const int32_t lo = gridPoint(i, size, n);
    const int32_t hi = gridPoint(int64_t(i) + 1, size, n);
    if (lo < 0 || hi < 0) return false;
    const int64_t a = lo & ~int64_t(127), b = a + 128, c = hi & ~int64_t(127);
    Footprint& f = (*out)[i];
    f.lo = lo;
    f.hi = hi;
    f.edge0 = a >> 7;
    f.edge1 = c >> 7;
    f.edge0In = f.edge0 < size;
    f.edge1In = f.edge1 < size;
    f.innerFrom = f.edge0 + 1;
    f.innerCount = std::max<int64_t>(0, std::min<int64_t>(f.edge1, size) - f.innerFrom);
    f.byInner = Divisor(std::max<int64_t>(f.innerCount, 1));
    f.first = b - lo;
    f.inner = c - b;
    f.last = hi - c;
  }
  return true;
}

// Divides a pixel's weighted sums by its area, with the area's reciprocal
// kept: a row of footprints has at most two different areas.
class AreaDivisor {
 public:
  unsigned char mean(int64_t sum, int64_t area) {
    if (area <= 0 || sum < 0) return area == 0 ? 0 : clampByte(sum / area);
    if (uint64_t(area) != recent_[0].divisor()) {
      std::swap(recent_[0], recent_[1]);
      if (uint64_t(area) != recent_[0].divisor()) recent_[0] = Divisor(uint64_t(area));
    }
    return clampByte(int64_t(recent_[0].quotient(uint64_t(sum))));
  }

 private:
  static unsigned char clampByte(int64_t v) { return static_cast<unsigned char>(std::clamp<int64_t>(v, 0, 255)); }
  Divisor recent_[2];
};

// Running totals along a row, per channel: prefix[3 * x + c] holds channel c
// summed over columns 0..x - 1. T may wrap around: a difference of two
// entries is still exact while the span it covers totals less than T holds.
template <typename T, typename L>
void runningTotals(const L* levels, int width, std::vector<T>* prefix) {
  T* p = prefix->data();
  T r = 0, g = 0, b = 0;
  p[0] = p[1] = p[2] = 0;
  for (int x = 0; x < width; ++x) {
    p[3 * x + 3] = r = T(r + levels[3 * x]);
    p[3 * x + 4] = g = T(g + levels[3 * x + 1]);
    p[3 * x + 5] = b = T(b + levels[3 * x + 2]);
  }
}

// What one destination row reads: column totals of the whole source rows of
// its footprint (the band, in B) with their running totals, and running
// totals of the two rows holding its top and bottom edges.
template <typename T, typename B>
class RowSums {
 public:
  explicit RowSums(int width)
      : width_(width), band_(3 * size_t(width)), bandPrefix_(3 * (size_t(width) + 1)) {
    for (Edge& e : edges_) e.prefix.resize(bandPrefix_.size());
  }

  void load(const Img* src, const Footprint& fy) {
    if (fy.innerCount > 0) {
      B* acc = band_.data();
      const size_t n = band_.size();
      const unsigned char* first = src->rows[fy.innerFrom];
      for (size_t k = 0; k < n; ++k) acc[k] = first[k];
      for (int64_t y = fy.innerFrom + 1; y < fy.innerFrom + fy.innerCount; ++y) {
        const unsigned char* row = src->rows[y];
        for (size_t k = 0; k < n; ++k) acc[k] = B(acc[k] + row[k]);
      }
      runningTotals(acc, width_, &bandPrefix_);
    }
    // The top edge row is most often the previous destination row's bottom one.
    if (edges_[1].row == fy.edge0) std::swap(edges_[0], edges_[1]);
    top_ = fy.edge0In ? edge(0, src, fy.edge0) : nullptr;
    bottom_ = fy.edge1In ? edge(1, src, fy.edge1) : nullptr;
  }

  // Channel totals of the band over columns [from, from + count).
  void band(int64_t from, int64_t count, uint64_t total[3]) const { span(bandPrefix_.data(), from, count, total); }
  // Same for the top and bottom edge rows; false when that row is outside the source.
  bool top(int64_t from, int64_t count, uint64_t total[3]) const { return spanOf(top_, from, count, total); }
  bool bottom(int64_t from, int64_t count, uint64_t total[3]) const { return spanOf(bottom_, from, count, total); }

 private:
  struct Edge {
    int64_t row = -1;
    std::vector<T> prefix;
  };

  const T* edge(int which, const Img* src, int64_t y) {
    Edge& e = edges_[which];
    if (e.row != y) {
      runningTotals(src->rows[y], width_, &e.prefix);
      e.row = y;
    }
    return e.prefix.data();
  }
  static void span(const T* prefix, int64_t from, int64_t count, uint64_t total[3]) {
    for (int c = 0; c < 3; ++c) total[c] = T(prefix[3 * (from + count) + c] - prefix[3 * from + c]);
  }
  static bool spanOf(const T* prefix, int64_t from, int64_t count, uint64_t total[3]) {
    if (prefix == nullptr) return false;
    span(prefix, from, count, total);
    return true;
  }

  int width_;
  std::vector<B> band_;
  std::vector<T> bandPrefix_;
  Edge edges_[2];
  const T* top_ = nullptr;
  const T* bottom_ = nullptr;
};

// One destination row: the nine rectangles of each of its pixels.
template <typename Sums>
void reduceRow(const Img* src, Sums* sums, const std::vector<Footprint>& xs, const Footprint& fy,
               unsigned char* out) {
  sums->load(src, fy);
  const unsigned char* top = fy.edge0In ? src->rows[fy.edge0] : nullptr;
  const unsigned char* bottom = fy.edge1In ? src->rows[fy.edge1] : nullptr;
  AreaDivisor byArea;
  for (size_t j = 0; j < xs.size(); ++j) {
    const Footprint& fx = xs[j];
    int64_t sum[3] = {0, 0, 0};
    uint64_t total[3];
    // Each rectangle adds its truncated mean times its weight >> 7.
    auto add = [&sum, &total](int64_t weight, auto mean) {
      const int64_t w = weight >> 7;
      for (int c = 0; c < 3; ++c) sum[c] += int64_t(mean(total[c])) * w;
    };
    auto addPixel = [&sum](const unsigned char* p, int64_t weight) {
      const int64_t w = weight >> 7;
      for (int c = 0; c < 3; ++c) sum[c] += p[c] * w;
    };
    auto alongRow = [&fx](uint64_t t) { return fx.byInner.quotient(t); };
    auto alongColumn = [&fy](uint64_t t) { return fy.byInner.quotient(t); };
    // Whole pixels inside: the mean over columns, then over rows, is the
    // mean over the block.
    if (fx.innerCount > 0 && fy.innerCount > 0) {
      sums->band(fx.innerFrom, fx.innerCount, total);
      add(fx.inner * fy.inner, [&](uint64_t t) { return fy.byInner.quotient(fx.byInner.quotient(t)); });
    }
    // The four corner pixels.
    if (top && fx.edge0In) addPixel(top + 3 * fx.edge0, fx.first * fy.first);
    if (top && fx.edge1In) addPixel(top + 3 * fx.edge1, fx.last * fy.first);
    if (bottom && fx.edge0In) addPixel(bottom + 3 * fx.edge0, fx.first * fy.last);
    if (bottom && fx.edge1In) addPixel(bottom + 3 * fx.edge1, fx.last * fy.last);
    // Edge rows above and below, edge columns left and right.
    if (fx.innerCount > 0 && sums->top(fx.innerFrom, fx.innerCount, total)) add(fx.inner * fy.first, alongRow);
    if (fx.innerCount > 0 && sums->bottom(fx.innerFrom, fx.innerCount, total)) add(fx.inner * fy.last, alongRow);
    if (fy.innerCount > 0 && fx.edge0In) {
      sums->band(fx.edge0, 1, total);
      add(fx.first * fy.inner, alongColumn);
    }
    if (fy.innerCount > 0 && fx.edge1In) {
      sums->band(fx.edge1, 1, total);
      add(fx.last * fy.inner, alongColumn);
    }
    const int64_t area = ((fx.hi - fx.lo) * (fy.hi - fy.lo)) >> 7;
    for (int c = 0; c < 3; ++c) out[3 * j + c] = byArea.mean(sum[c], area);
  }
}

template <typename Sums>
void reduceRows(const Img* src, Sums sums, const std::vector<Footprint>& xs, const std::vector<Footprint>& ys,
                Img* dst) {
  for (size_t i = 0; i < ys.size(); ++i) reduceRow(src, &sums, xs, ys[i], dst->rows[i]);
}

}  // namespace

int imgEnlarge(Img* dst, int width, int height, const Img* src) {
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
    dst->status = IMG_CREATE_FAILED | IMG_ENLARGE_ALLOC;
    return IMG_ENLARGE_ALLOC;
  }
  if (sw == 0 || sh == 0) return 0;
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
  return 0;
}

int imgReduce(Img* dst, int width, int height, const Img* src) {
  if (src->status != 0) {
    dst->status = IMG_REDUCE_SOURCE;
    return IMG_REDUCE_SOURCE;
  }
  if (imgCreate(dst, width, height) != 0) {
    dst->status |= IMG_REDUCE_ALLOC;
    return IMG_REDUCE_ALLOC;
  }
  const int sw = src->width, sh = src->height;
  std::vector<Footprint> xs, ys;
  if (!footprints(sw, width, &xs) || !footprints(sh, height, &ys)) {
    // Nothing of the destination is usable; give its block back rather than
    // leave a record that imgDestroy will not release once a status is added.
    imgDestroy(dst);
    return 1;
  }
  // Every span of whole pixels a destination pixel reads totals less than
  // 2^32 in all but absurd rasters; 32-bit totals then suffice.
  int64_t widest = 1, tallest = 1;
  for (const Footprint& f : xs) widest = std::max(widest, f.innerCount);
  for (const Footprint& f : ys) tallest = std::max(tallest, f.innerCount);
  if (tallest <= UINT16_MAX / 255 && 255 * widest <= UINT32_MAX / tallest)
    reduceRows(src, RowSums<uint32_t, uint16_t>(sw), xs, ys, dst);
  else if (255 * widest <= UINT32_MAX / tallest)
    reduceRows(src, RowSums<uint32_t, uint32_t>(sw), xs, ys, dst);
  else
    reduceRows(src, RowSums<uint64_t, uint64_t>(sw), xs, ys, dst);
  return 0;
}

void imgAreaAdd(const Img* src, int left, int top, int right, int bottom, int weight, int* red,
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

int imgResize(Img* dst, int width, int height, const Img* src, bool exact) {
  // An empty source has no proportions to fit; it is as unusable as an invalid one.
  if (src->status != 0 || src->width <= 0 || src->height <= 0) {
    dst->status = IMG_RESIZE_SOURCE;
    return IMG_RESIZE_SOURCE;
  }
  if (width <= 0 && height <= 0) {
    dst->status = IMG_RESIZE_BOX;
    return IMG_RESIZE_BOX;
  }
  const int64_t sw = src->width, sh = src->height;
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
  if (w > INT32_MAX || h > INT32_MAX) {
    // No enlargement to that size can be allocated.
    dst->status = IMG_RESIZE_ENLARGE;
    return IMG_RESIZE_ENLARGE;
  }
  int result;
  if (sw < w || sh < h) {
    Img larger{};
    if (imgEnlarge(&larger, int(w), int(h), src) != 0) {
      dst->status = IMG_RESIZE_ENLARGE;
      return IMG_RESIZE_ENLARGE;
    }
    result = imgReduce(dst, int(w), int(h), &larger);
    imgDestroy(&larger);
  } else {
    result = imgReduce(dst, int(w), int(h), src);
  }
  if (result != 0) {
    dst->status |= IMG_RESIZE_REDUCE;
    return IMG_RESIZE_REDUCE;
  }
  return 0;
}
