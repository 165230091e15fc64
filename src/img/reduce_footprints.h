// The reduction's footprints and divisors: where each destination pixel's
// square lies on the source, in 1/128 source pixel, and the exact
// divisions by its pixel counts. For img/reduce.cpp and its kernels only.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace imgreduce {

// Division by a divisor used for many numerators. Numerators and divisors
// below 2^32 take a multiplication by ceil(2^64 / d), which gives the exact
// truncated quotient for all of them; larger ones divide.
//
// short_quotient multiplies by m = floor(2^40 / d) + 1 in 64 bits, exact
// when n * d < 2^40 and n / d < 2^23: with m * d = 2^40 + e, 0 < e <= d, and
// n = q * d + r, n * m / 2^40 = q + (r + n * e / 2^40) / d, where
// n * e <= n * d < 2^40 keeps the fraction below (r + 1) / d <= 1; and
// n * m < 2^40 * (q + 1) + n < 2^64.
class Divisor {
 public:
  Divisor() = default;
  explicit Divisor(uint64_t d) : d_(d), short_((uint64_t(1) << 40) / std::max<uint64_t>(d, 1) + 1) {
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
  // REQUIRES: n * divisor() < 2^40 and n / divisor() < 2^23.
  uint64_t shortQuotient(uint64_t n) const { return (n * short_) >> 40; }

 private:
  uint64_t d_ = 1;
  uint64_t short_ = (uint64_t(1) << 40) + 1;
  uint64_t m_ = 0;
};

// The quotients of a reduction whose numerators and divisors are small
// enough for Divisor::shortQuotient, or of any reduction.
struct ShortQuotients {
  static uint64_t of(const Divisor& d, uint64_t n) { return d.shortQuotient(n); }
};
struct AnyQuotients {
  static uint64_t of(const Divisor& d, uint64_t n) { return d.quotient(n); }
};

// One destination column (or row) of a reduction, in 1/128 source pixel: the
// length of its footprint; the source pixel holding its near edge (the far
// edge is the next footprint's near one); the whole pixels between the two,
// clipped to the source; and the covered part of the near edge pixel, of the
// whole pixels and of the far edge pixel. An edge pixel outside the source
// covers nothing (and the last pixel is read in its place).
struct Footprint {
  int64_t span = 0;
  int64_t edge = 0;
  int64_t innerFrom = 0, innerCount = 0;
  Divisor byInner;
  int64_t first = 0, inner = 0, last = 0;
  bool wide = false;  // span is the longer of the axis's two lengths
};

// A footprint as a view of 32-bit sums reads it: its whole pixels and its
// near edge pixel.
struct Column {
  int32_t from, count, edge;
};

// A column as the AVX2 readers take it: the offsets of the levels of its
// first whole pixel and of its near edge pixel, and the byte offsets of its
// run's shuffles in their tables (reduce_kernels.h; words1, for runs of at
// most six pixels, that of its sixth pixel's mask), so that their loops do
// no index arithmetic of their own.
struct RunColumn {
  int32_t from, edge;
  uint16_t bytes, words0, words1, unused;
};

struct Axis;

// A view's reader of Level samples (reduce_kernels.h): the totals of the
// whole pixels of an axis' columns and their near edges' levels. The AVX2
// readers divide the totals by the lanes of Axis::lanesDividing(rows, 4);
// the plain ones take null and leave them whole.
template <typename Level>
using ColumnReader = void (*)(const Level*, const Axis&, const uint32_t*, uint32_t*, uint32_t*);

// i * size * 128 / n, exactly: the 32-bit formula's value wherever its
// product fits, and the true one where it does not (a 4000-pixel box over a
// 4480-pixel enlargement), instead of a wrapped product.
int64_t gridPoint(int64_t i, int size, int n) { return i * int64_t(size) * 128 / n; }

// The footprints of a reduction along one axis: n destination pixels over
// size source pixels, plus an entry whose edge is the last one's far edge.
struct Axis {
  std::vector<Footprint> footprints;  // n of them, then the far edge
  int64_t size = 0;                   // source pixels
  int64_t shortest = 0, longest = 0;  // the two lengths a footprint can have
  int64_t fewestInner = 0, mostInner = 0;  // whole pixels in a footprint

  // False when a grid point passes what the footprints hold (a side beyond
  // 2^24 pixels, which no picture within the pixel limit has).
  bool build(int sourceSize, int n) {
    const int size = sourceSize;
    this->size = size;
    footprints.assign(size_t(n) + 1, Footprint{});
    for (int i = 0; i < n; ++i) {
      const int64_t lo = gridPoint(i, size, n);
      const int64_t hi = gridPoint(int64_t(i) + 1, size, n);
      if (hi > INT32_MAX) return false;
      const int64_t a = lo & ~int64_t(127), b = a + 128, c = hi & ~int64_t(127);
      Footprint& f = footprints[i];
      f.span = hi - lo;
      f.edge = a >> 7;
      f.innerFrom = f.edge + 1;
      f.innerCount = std::max<int64_t>(0, std::min<int64_t>(c >> 7, size) - f.innerFrom);
      f.byInner = Divisor(uint64_t(std::max<int64_t>(f.innerCount, 1)));
      f.first = f.edge < size ? b - lo : 0;
      f.inner = c - b;
      f.last = (c >> 7) < size ? hi - c : 0;
      footprints[i + 1].edge = c >> 7;
    }
    // Successive grid points differ by floor(128 size / n) or one more.
    shortest = footprints[0].span, longest = footprints[0].span;
    for (int i = 0; i < n; ++i) shortest = std::min(shortest, footprints[i].span), longest = std::max(longest, footprints[i].span);
    fewestInner = mostInner = footprints[0].innerCount;
    for (int i = 0; i < n; ++i)
      fewestInner = std::min(fewestInner, footprints[i].innerCount), mostInner = std::max(mostInner, footprints[i].innerCount);
    for (Footprint& f : footprints) {
      f.wide = f.span == longest;
      f.edge = std::clamp<int64_t>(f.edge, 0, std::max(size - 1, 0));
    }
    return true;
  }
  size_t count() const { return footprints.size() - 1; }

  // Compact columns and fixed-count readers for 32-bit views with short
  // quotients (reduce_kernels.h); readers stay null when the counts are
  // beyond those made. Set by axisPrepareColumns.
  std::vector<Column> columns;
  std::vector<RunColumn> runs;
  size_t safeFrom = 0, safeTo = 0;  // the columns whose byte loads stay inside a line
  ColumnReader<unsigned char> readBytes = nullptr;
  ColumnReader<uint16_t> readWords = nullptr;
  bool avx2 = false;  // reduce_kernels.h's AVX2 kernels may run
  bool readersDivide = false;  // the readers are the AVX2 ones

  // Per column, copies of the lane reciprocal (reduce_kernels.h) of its
  // whole pixels times rows: three, one for each view entry, or four, one
  // for each lane the AVX2 readers' totals take. Made on first use for each
  // rows.
  const uint32_t* lanesDividing(uint64_t rows, size_t copies = 3) const {
    for (const auto& [key, lanes] : divisors_)
      if (key.first == rows && key.second == copies) return lanes.data();
    std::vector<uint32_t> lanes;
    for (const Column& c : columns) {
      const uint32_t by = uint32_t((uint64_t(1) << 31) / (std::max<uint64_t>(uint64_t(c.count), 1) * rows) + 1);
      lanes.insert(lanes.end(), copies, by);
    }
    divisors_.emplace_back(std::pair(rows, copies), std::move(lanes));
    return divisors_.back().second.data();
  }
  mutable std::vector<std::pair<std::pair<uint64_t, size_t>, std::vector<uint32_t>>> divisors_;

  // The same footprints over a line whose pixels come last to first: each
  // reads the same pixels, so its sums, and the bytes, are unchanged.
  void mirror() {
    for (Footprint& f : footprints) {
      f.edge = size - 1 - f.edge;
      f.innerFrom = size - f.innerFrom - f.innerCount;
    }
  }
};

}  // namespace imgreduce
