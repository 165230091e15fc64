// Area-average reduction on a grid of 1/128 source pixel, fed a line at a
// time. Intermediate products are taken in 64 bits: the results are those of
// the 32-bit formulas wherever those do not overflow.
#include "img/reduce.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

// Hot loops come in an AVX2 build too, picked at load time where the
// processor has it; the bytes are the same either way (integer arithmetic).
// ThreadSanitizer's runtime is not up yet when the pickers run, and clang
// takes no address of a cloned template, so those builds keep the one plain
// version.
#if defined(__SANITIZE_THREAD__) || defined(__clang__)
#define QUORVEL_AVX2_CLONES
#else
#define QUORVEL_AVX2_CLONES [[gnu::target_clones("avx2", "default")]]
#endif

struct ImgReduceStream::Reducer {
  virtual ~Reducer() = default;
  virtual void feed(const unsigned char* line) = 0;
};

namespace {

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
  uint64_t shortMultiplier() const { return short_; }

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

// A footprint as a view of 32-bit sums reads it: its whole pixels, its near
// edge pixel, and the short reciprocal of its pixel count.
struct Column {
  int32_t from, count, edge;
  uint64_t byCount;
};

// The view of a line (levels L) over columns of F to F + E whole pixels each,
// with loop counts fixed at compile time: the entries as RowView::read makes
// them, for sums that Divisor::shortQuotient divides exactly.
template <int F, int E, typename L>
QUORVEL_AVX2_CLONES void readColumns(const L* levels, const Column* columns, size_t n, int64_t lastPixel, uint64_t byRows,
                 uint32_t* means, uint32_t* at) {
  for (size_t j = 0; j < n; ++j, means += 3, at += 3) {
    const Column c = columns[j];
    const L* p = levels + 3 * int64_t(c.from);
    uint32_t r = 0, g = 0, b = 0;
    for (int k = 0; k < F; ++k) r += p[3 * k], g += p[3 * k + 1], b += p[3 * k + 2];
    for (int k = F; k < F + E; ++k) {
      const uint32_t more = c.count > k ? ~0u : 0u;
      const L* x = levels + 3 * std::min<int64_t>(int64_t(c.from) + k, lastPixel);
      r += uint32_t(x[0]) & more, g += uint32_t(x[1]) & more, b += uint32_t(x[2]) & more;
    }
    means[0] = uint32_t((((r * c.byCount) >> 40) * byRows) >> 40);
    means[1] = uint32_t((((g * c.byCount) >> 40) * byRows) >> 40);
    means[2] = uint32_t((((b * c.byCount) >> 40) * byRows) >> 40);
    const L* q = levels + 3 * int64_t(c.edge);
    at[0] = uint32_t((q[0] * byRows) >> 40), at[1] = uint32_t((q[1] * byRows) >> 40),
    at[2] = uint32_t((q[2] * byRows) >> 40);
  }
}

template <typename L>
using ColumnReader = void (*)(const L*, const Column*, size_t, int64_t, uint64_t, uint32_t*, uint32_t*);

template <int F, typename L>
ColumnReader<L> columnReaderWithExtra(int64_t extra) {
  switch (extra) {
    case 0: return readColumns<F, 0, L>;
    case 1: return readColumns<F, 1, L>;
    case 2: return readColumns<F, 2, L>;
    default: return nullptr;
  }
}

// The reader for footprints of fewest to fewest + extra whole pixels; null
// when none is made for them.
template <typename L>
ColumnReader<L> columnReader(int64_t fewest, int64_t extra) {
  switch (fewest) {
    case 0: return columnReaderWithExtra<0, L>(extra);
    case 1: return columnReaderWithExtra<1, L>(extra);
    case 2: return columnReaderWithExtra<2, L>(extra);
    case 3: return columnReaderWithExtra<3, L>(extra);
    case 4: return columnReaderWithExtra<4, L>(extra);
    case 5: return columnReaderWithExtra<5, L>(extra);
    case 6: return columnReaderWithExtra<6, L>(extra);
    case 7: return columnReaderWithExtra<7, L>(extra);
    case 8: return columnReaderWithExtra<8, L>(extra);
    default: return nullptr;
  }
}

// i * size * 128 / n as 32-bit arithmetic computes it; a wrapped product
// shows as a negative result.
int32_t gridPoint(int64_t i, int size, int n) {
  const uint32_t product = uint32_t(i) * uint32_t(size) * 128u;
  return int32_t(product) / n;
}

// The footprints of a reduction along one axis: n destination pixels over
// size source pixels, plus an entry whose edge is the last one's far edge.
struct Axis {
  std::vector<Footprint> at;
  int64_t size = 0;                   // source pixels
  int64_t shortest = 0, longest = 0;  // the two lengths a footprint can have
  int64_t fewestInner = 0, mostInner = 0;  // whole pixels in a footprint

  // False when a grid point overflows.
  bool build(int sourceSize, int n) {
    const int size = sourceSize;
    this->size = size;
    at.assign(size_t(n) + 1, Footprint{});
    for (int i = 0; i < n; ++i) {
      const int32_t lo = gridPoint(i, size, n);
      const int32_t hi = gridPoint(int64_t(i) + 1, size, n);
      if (lo < 0 || hi < 0) return false;
      const int64_t a = lo & ~int64_t(127), b = a + 128, c = hi & ~int64_t(127);
      Footprint& f = at[i];
      f.span = hi - lo;
      f.edge = a >> 7;
      f.innerFrom = f.edge + 1;
      f.innerCount = std::max<int64_t>(0, std::min<int64_t>(c >> 7, size) - f.innerFrom);
      f.byInner = Divisor(uint64_t(std::max<int64_t>(f.innerCount, 1)));
      f.first = f.edge < size ? b - lo : 0;
      f.inner = c - b;
      f.last = (c >> 7) < size ? hi - c : 0;
      at[i + 1].edge = c >> 7;
    }
    // Successive grid points differ by floor(128 size / n) or one more.
    shortest = at[0].span, longest = at[0].span;
    for (int i = 0; i < n; ++i) shortest = std::min(shortest, at[i].span), longest = std::max(longest, at[i].span);
    fewestInner = mostInner = at[0].innerCount;
    for (int i = 0; i < n; ++i)
      fewestInner = std::min(fewestInner, at[i].innerCount), mostInner = std::max(mostInner, at[i].innerCount);
    for (Footprint& f : at) {
      f.wide = f.span == longest;
      f.edge = std::clamp<int64_t>(f.edge, 0, std::max(size - 1, 0));
    }
    return true;
  }
  size_t count() const { return at.size() - 1; }

  // Compact columns and fixed-count readers for 32-bit views with short
  // quotients; readers stay null when the counts are beyond those made.
  std::vector<Column> columns;
  ColumnReader<unsigned char> readBytes = nullptr;
  ColumnReader<uint16_t> readWords = nullptr;

  void prepareColumns() {
    columns.clear();
    for (size_t j = 0; j < count(); ++j) {
      const Footprint& f = at[j];
      columns.push_back({int32_t(f.innerFrom), int32_t(f.innerCount), int32_t(f.edge),
                         (uint64_t(1) << 40) / uint64_t(std::max<int64_t>(f.innerCount, 1)) + 1});
    }
    readBytes = columnReader<unsigned char>(fewestInner, mostInner - fewestInner);
    readWords = columnReader<uint16_t>(fewestInner, mostInner - fewestInner);
  }

  // The same footprints over a line whose pixels come last to first: each
  // reads the same pixels, so its sums, and the bytes, are unchanged.
  void mirror() {
    for (Footprint& f : at) {
      f.edge = size - 1 - f.edge;
      f.innerFrom = size - f.innerFrom - f.innerCount;
    }
  }
};

unsigned char clampByte(int64_t v) { return static_cast<unsigned char>(std::clamp<int64_t>(v, 0, 255)); }

// A source row (or the band) as a destination row reads it: the truncated
// mean of each column's whole pixels, means[3 * j + c], and the levels at
// each column's near edge, at[3 * j + c], for j up to the last column's far
// edge. T holds a span's total.
template <typename T, typename Q, typename S>
struct RowView {
  std::vector<S> means, at;

  // rows, when given, divides every entry once more (the band's rows).
  template <typename L>
  void read(const L* levels, const Axis& xs, const Divisor* rows = nullptr) {
    const size_t n = xs.count();
    means.resize(3 * n);
    at.resize(3 * (n + 1));
    S* m = means.data();
    S* e = at.data();
    const Footprint* f = xs.at.data();
    if constexpr (std::is_same_v<S, uint32_t> && std::is_same_v<Q, ShortQuotients>) {
      ColumnReader<L> reader = nullptr;
      if constexpr (std::is_same_v<L, unsigned char>) reader = xs.readBytes;
      if constexpr (std::is_same_v<L, uint16_t>) reader = xs.readWords;
      if (reader) {
        // Without rows, a multiplier that divides by 1.
        const uint64_t byRows = rows ? rows->shortMultiplier() : (uint64_t(1) << 40) + 1;
        reader(levels, xs.columns.data(), n, xs.size - 1, byRows, m, e);
        const L* q = levels + 3 * f[n].edge;
        for (int c = 0; c < 3; ++c) e[3 * n + c] = uint32_t((q[c] * byRows) >> 40);
        return;
      }
    }
    // Footprints hold between fewest and most whole pixels, most - fewest
    // being 2 at most: loops of the same trip counts for every footprint,
    // the pixels beyond fewest added under a mask (and read at a clamped
    // place, never beyond the line), keep the branches predictable.
    const int64_t fewest = xs.fewestInner, most = xs.mostInner, lastPixel = xs.size - 1;
    for (size_t j = 0; j < n; ++j, m += 3, e += 3) {
      const int64_t from = f[j].innerFrom, count = f[j].innerCount;
      const L* p = levels + 3 * from;
      T r = 0, g = 0, b = 0;
      for (int64_t k = 0; k < fewest; ++k, p += 3) r += p[0], g += p[1], b += p[2];
      for (int64_t k = fewest; k < most; ++k) {
        const T more = count > k ? ~T(0) : T(0);
        const L* x = levels + 3 * std::min(from + k, lastPixel);
        r += T(x[0]) & more, g += T(x[1]) & more, b += T(x[2]) & more;
      }
      const Divisor by = f[j].byInner;
      m[0] = S(Q::of(by, r));
      m[1] = S(Q::of(by, g));
      m[2] = S(Q::of(by, b));
      const L* q = levels + 3 * f[j].edge;
      e[0] = q[0], e[1] = q[1], e[2] = q[2];
    }
    const L* q = levels + 3 * f[n].edge;
    e[0] = q[0], e[1] = q[1], e[2] = q[2];
    if (!rows) return;
    for (S& v : means) v = S(Q::of(*rows, uint64_t(v)));
    for (S& v : at) v = S(Q::of(*rows, uint64_t(v)));
  }
};

// One destination row of a reduction whose every sum fits 32 bits, as
// lanes: view entries (all means of levels, so at most 255) times weights
// (xs' parts per entry times the row's parts, >> 7), nine rectangles to a
// sum of at most 255 times the area, divided by the area through an exact
// reciprocal (see FastDivisors).
struct FastRow {
  const uint32_t *inner, *side, *topMeans, *topSide, *bottomMeans, *bottomSide;
  const uint32_t *xFirst, *xInner, *xLast, *xWide;
  uint32_t yFirst, yInner, yLast;
  uint32_t byShort, byLong;  // reciprocals of the two areas
  unsigned shift;
};

QUORVEL_AVX2_CLONES void combineFastRow(const FastRow& row, size_t count,
                                                              unsigned char* __restrict out) {
  const uint32_t* __restrict inner = row.inner;
  const uint32_t* __restrict side = row.side;
  const uint32_t* __restrict topMeans = row.topMeans;
  const uint32_t* __restrict topSide = row.topSide;
  const uint32_t* __restrict bottomMeans = row.bottomMeans;
  const uint32_t* __restrict bottomSide = row.bottomSide;
  const uint32_t* __restrict xFirst = row.xFirst;
  const uint32_t* __restrict xInner = row.xInner;
  const uint32_t* __restrict xLast = row.xLast;
  const uint32_t* __restrict xWide = row.xWide;
  const uint32_t yFirst = row.yFirst, yInner = row.yInner, yLast = row.yLast;
  const uint32_t byShort = row.byShort, byLong = row.byLong;
  const unsigned shift = row.shift;
  for (size_t k = 0; k < count; ++k) {
    const uint32_t sum = inner[k] * ((xInner[k] * yInner) >> 7) + side[k] * ((xFirst[k] * yInner) >> 7) +
                         side[k + 3] * ((xLast[k] * yInner) >> 7) + topMeans[k] * ((xInner[k] * yFirst) >> 7) +
                         topSide[k] * ((xFirst[k] * yFirst) >> 7) + topSide[k + 3] * ((xLast[k] * yFirst) >> 7) +
                         bottomMeans[k] * ((xInner[k] * yLast) >> 7) + bottomSide[k] * ((xFirst[k] * yLast) >> 7) +
                         bottomSide[k + 3] * ((xLast[k] * yLast) >> 7);
    const uint64_t by = xWide[k] ? byLong : byShort;
    const uint32_t quotient = uint32_t((uint64_t(sum) * by) >> shift);
    out[k] = static_cast<unsigned char>(quotient < 255 ? quotient : 255);
  }
}

// Reciprocals m = floor(2^s / d) + 1 of a row's two areas, with 2^s above
// the largest sum times the larger area: for every sum n, n * m >> s is then
// floor(n / d) (m d = 2^s + e with 0 < e <= d, so n m / 2^s = n / d +
// n e / (d 2^s) and n e < 2^s). False when a reciprocal needs more than
// 32 bits.
bool fastDivisors(int64_t shortArea, int64_t longArea, FastRow* row) {
  const uint64_t dShort = uint64_t(std::max<int64_t>(shortArea, 1)), dLong = uint64_t(std::max<int64_t>(longArea, 1));
  const uint64_t dMax = std::max(dShort, dLong), dMin = std::min(dShort, dLong);
  if (dMax >= 65536) return false;
  const unsigned shift = unsigned(std::bit_width(255 * dMax * dMax));
  if ((uint64_t(1) << shift) / dMin + 1 > UINT32_MAX) return false;
  row->shift = shift;
  row->byShort = uint32_t((uint64_t(1) << shift) / dShort + 1);
  row->byLong = uint32_t((uint64_t(1) << shift) / dLong + 1);
  return true;
}

// The band's column totals: a first line, then each further one.
template <typename B>
QUORVEL_AVX2_CLONES void startBand(B* __restrict acc, const unsigned char* __restrict line,
                                                         size_t n) {
  for (size_t k = 0; k < n; ++k) acc[k] = line[k];
}
template <typename B>
QUORVEL_AVX2_CLONES void addToBand(B* __restrict acc, const unsigned char* __restrict line,
                                                         size_t n) {
  for (size_t k = 0; k < n; ++k) acc[k] = B(acc[k] + line[k]);
}

// The reduction fed one source line at a time, in the frame where lines are
// rows (for lines that are columns, xs runs along the lines and ys across
// them, and the output goes to dst transposed). A destination row reads the
// band (the column totals of the whole source rows of its footprint, in B)
// and the views of the two rows holding its near and far edges; consecutive
// destination rows share an edge row, whose view is kept. Lines may come in
// either direction: the sums are the same, whichever row arrives first, so
// the bytes are those of the whole-raster reduction.
template <typename T, typename B, typename Q, typename S = int64_t>
class Reducer : public ImgReduceStream::Reducer {
  // 32-bit views go with sums small enough for FastRow's lanes.
  static constexpr bool kFast = std::is_same_v<S, uint32_t>;

 public:
  Reducer(Axis xs, Axis ys, int lines, bool backward, bool transposed, Img* dst)
      : xs_(std::move(xs)), ys_(std::move(ys)), lines_(lines), backward_(backward), transposed_(transposed),
        dst_(dst), acc_(3 * size_t(xs_.size)), out_(3 * xs_.count()) {
    next_ = backward ? lines - 1 : 0;
    row_ = backward ? int64_t(ys_.count()) - 1 : 0;
    if constexpr (kFast) {
      xs_.prepareColumns();
      for (size_t j = 0; j < xs_.count(); ++j) {
        const Footprint& fx = xs_.at[j];
        for (int c = 0; c < 3; ++c) {
          xFirst_.push_back(uint32_t(fx.first));
          xInner_.push_back(uint32_t(fx.inner));
          xLast_.push_back(uint32_t(fx.last));
          xWide_.push_back(fx.wide ? 1u : 0u);
        }
      }
    }
  }

  void feed(const unsigned char* line) override {
    const int64_t y = next_;
    next_ += backward_ ? -1 : 1;
    if (y < 0 || y >= lines_) return;
    // A line can close more than one destination row: a last footprint of
    // one pixel has the same row at both edges.
    while (row_ >= 0 && size_t(row_) < ys_.count()) {
      const Footprint& fy = ys_.at[row_];
      const Footprint& below = ys_.at[row_ + 1];
      const int64_t nearEdge = backward_ ? below.edge : fy.edge;
      const int64_t farEdge = backward_ ? fy.edge : below.edge;
      if (y == nearEdge && near_.row != y) near_.load(line, y, xs_);
      if (y >= fy.innerFrom && y < fy.innerFrom + fy.innerCount) add(line);
      if (y != farEdge) return;
      far_.load(line, y, xs_);
      if (backward_)
        emit(fy, far_.view, near_.view);
      else
        emit(fy, near_.view, far_.view);
      std::swap(near_, far_);
      bandRows_ = 0;
      row_ += backward_ ? -1 : 1;
    }
  }

 private:
  struct Edge {
    int64_t row = -1;
    RowView<T, Q, S> view;
    void load(const unsigned char* line, int64_t y, const Axis& xs) {
      view.read(line, xs);
      row = y;
    }
  };

  void add(const unsigned char* line) {
    if (bandRows_++ == 0)
      startBand(acc_.data(), line, acc_.size());
    else
      addToBand(acc_.data(), line, acc_.size());
  }

  // The band's view, each entry divided by the footprint's whole rows: the
  // means of the edge columns, and the means of the whole pixels inside (the
  // mean over rows of the means over columns, floor(floor(t / a) / b) being
  // floor(t / ab)). No whole rows: nothing inside, all zero.
  void loadBand(const Footprint& fy) {
    if (bandRows_ == 0) std::fill(acc_.begin(), acc_.end(), B(0));
    band_.read(acc_.data(), xs_, &fy.byInner);
  }

  void emit(const Footprint& fy, const RowView<T, Q, S>& top, const RowView<T, Q, S>& bottom) {
    loadBand(fy);
    unsigned char* out = transposed_ ? out_.data() : dst_->rows[row_];
    const int64_t areas[2] = {(xs_.shortest * fy.span) >> 7, (xs_.longest * fy.span) >> 7};
    if constexpr (kFast) {
      FastRow row{band_.means.data(), band_.at.data(), top.means.data(), top.at.data(), bottom.means.data(),
                  bottom.at.data(), xFirst_.data(), xInner_.data(), xLast_.data(), xWide_.data(),
                  uint32_t(fy.first), uint32_t(fy.inner), uint32_t(fy.last), 0, 0, 0};
      if (fastDivisors(areas[0], areas[1], &row)) {
        combineFastRow(row, 3 * xs_.count(), out);
        scatter(out);
        return;
      }
    }
    const Divisor byArea[2] = {Divisor(uint64_t(std::max<int64_t>(areas[0], 1))),
                               Divisor(uint64_t(std::max<int64_t>(areas[1], 1)))};
    // Plain pointers: a byte stored through out could alias any vector's
    // insides, which would be read again after every store.
    const S* inner = band_.means.data();
    const S* side = band_.at.data();
    const S *topMeans = top.means.data(), *topAt = top.at.data();
    const S *bottomMeans = bottom.means.data(), *bottomAt = bottom.at.data();
    const Footprint* footprints = xs_.at.data();
    const size_t n = xs_.count();
    for (size_t j = 0; j < n; ++j) {
      const Footprint& fx = footprints[j];
      // The nine rectangles, each adding its truncated mean times its weight >> 7.
      const int64_t wInner = (fx.inner * fy.inner) >> 7, wLeft = (fx.first * fy.inner) >> 7,
                    wRight = (fx.last * fy.inner) >> 7;
      const int64_t wTop = (fx.inner * fy.first) >> 7, wTopLeft = (fx.first * fy.first) >> 7,
                    wTopRight = (fx.last * fy.first) >> 7;
      const int64_t wBottom = (fx.inner * fy.last) >> 7, wBottomLeft = (fx.first * fy.last) >> 7,
                    wBottomRight = (fx.last * fy.last) >> 7;
      const Divisor& area = byArea[fx.wide];
      for (size_t k = 3 * j; k < 3 * j + 3; ++k) {
        const int64_t sum = int64_t(inner[k]) * wInner + int64_t(side[k]) * wLeft + int64_t(side[k + 3]) * wRight +
                            int64_t(topMeans[k]) * wTop + int64_t(topAt[k]) * wTopLeft +
                            int64_t(topAt[k + 3]) * wTopRight + int64_t(bottomMeans[k]) * wBottom +
                            int64_t(bottomAt[k]) * wBottomLeft + int64_t(bottomAt[k + 3]) * wBottomRight;
        out[k] = clampByte(sum < 0 ? sum / int64_t(area.divisor()) : int64_t(Q::of(area, uint64_t(sum))));
      }
    }
    scatter(out);
  }

  // The reduction is the same along either axis, so with transposed lines
  // the frame's row is the destination's column.
  void scatter(const unsigned char* out) {
    if (!transposed_) return;
    for (size_t j = 0; j < xs_.count(); ++j) {
      unsigned char* p = dst_->rows[j] + 3 * row_;
      p[0] = out[3 * j], p[1] = out[3 * j + 1], p[2] = out[3 * j + 2];
    }
  }

  Axis xs_;
  const Axis ys_;
  const int64_t lines_;
  const bool backward_, transposed_;
  Img* const dst_;
  std::vector<B> acc_;
  std::vector<unsigned char> out_;
  std::vector<uint32_t> xFirst_, xInner_, xLast_, xWide_;  // per view entry, for FastRow
  RowView<T, Q, S> band_;
  Edge near_, far_;
  int64_t next_ = 0, row_ = 0, bandRows_ = 0;
};

// The reducer whose sums fit the footprints of xs and ys.
std::unique_ptr<ImgReduceStream::Reducer> makeReducer(Axis xs, Axis ys, int lines, bool backward, bool transposed, Img* dst) {
  // Every span of whole pixels a destination pixel reads totals less than
  // 2^32 in all but absurd rasters; 32-bit totals then suffice.
  int64_t widest = 1, tallest = 1;
  for (const Footprint& f : xs.at) widest = std::max(widest, f.innerCount);
  for (const Footprint& f : ys.at) tallest = std::max(tallest, f.innerCount);
  if (tallest <= UINT16_MAX / 255 && 255 * widest <= UINT32_MAX / tallest) {
    // The largest numerator over its divisor: a band span over its columns
    // (255 * widest * tallest over widest), a band column over its rows, a
    // pixel's sum over its area (the weights total at most the area).
    const int64_t area = (xs.longest * ys.longest) >> 7;
    const bool small = 255 * widest * widest * tallest < (int64_t(1) << 40) &&
                       255 * tallest * tallest < (int64_t(1) << 40) && area < 65536 &&
                       255 * area * area < (int64_t(1) << 40);
    if (small)
      return std::make_unique<Reducer<uint32_t, uint16_t, ShortQuotients, uint32_t>>(std::move(xs), std::move(ys), lines,
                                                                           backward, transposed, dst);
    return std::make_unique<Reducer<uint32_t, uint16_t, AnyQuotients>>(std::move(xs), std::move(ys), lines,
                                                                       backward, transposed, dst);
  }
  if (255 * widest <= UINT32_MAX / tallest)
    return std::make_unique<Reducer<uint32_t, uint32_t, AnyQuotients>>(std::move(xs), std::move(ys), lines,
                                                                       backward, transposed, dst);
  return std::make_unique<Reducer<uint64_t, uint64_t, AnyQuotients>>(std::move(xs), std::move(ys), lines,
                                                                     backward, transposed, dst);
}

}  // namespace

ImgReduceStream::ImgReduceStream() = default;
ImgReduceStream::~ImgReduceStream() = default;

ImgStatus ImgReduceStream::begin(Img* dst, int width, int height, int sourceWidth, int sourceHeight,
                                       ImgLineOrder order) {
  reducer_.reset();
  if (imgCreate(dst, width, height) != 0) {
    dst->status |= IMG_REDUCE_ALLOC;
    return IMG_REDUCE_ALLOC;
  }
  // The frame where lines are rows: columns swap the axes.
  const int lineLength = order.columns ? sourceHeight : sourceWidth;
  const int lines = order.columns ? sourceWidth : sourceHeight;
  const int across = order.columns ? height : width, along = order.columns ? width : height;
  Axis xs, ys;
  if (!xs.build(lineLength, across) || !ys.build(lines, along)) {
    // Nothing of the destination is usable; give its block back rather than
    // leave a record that imgDestroy will not release once a status is added.
    imgDestroy(dst);
    return IMG_REDUCE_OVERFLOW;
  }
  if (order.reversed) xs.mirror();
  try {
    reducer_ = makeReducer(std::move(xs), std::move(ys), lines, order.backward, order.columns, dst);
  } catch (const std::bad_alloc&) {
    imgDestroy(dst);
    dst->rows = nullptr;
    dst->status = int32_t(IMG_CREATE_FAILED) | IMG_REDUCE_ALLOC;
    return IMG_REDUCE_ALLOC;
  }
  return IMG_OK;
}

void ImgReduceStream::feed(const unsigned char* line) { reducer_->feed(line); }

ImgStatus imgReduce(Img* dst, int width, int height, const Img* src) {
  if (src->status != 0) {
    dst->status = IMG_REDUCE_SOURCE;
    return IMG_REDUCE_SOURCE;
  }
  const int sw = src->width, sh = src->height;
  // An empty source (outside the contract) has nothing to average.
  if (sw <= 0 || sh <= 0) {
    if (imgCreate(dst, width, height) != 0) {
      dst->status |= IMG_REDUCE_ALLOC;
      return IMG_REDUCE_ALLOC;
    }
    for (int y = 0; y < height; ++y) std::fill(dst->rows[y], dst->rows[y] + 3 * size_t(width), 0);
    return IMG_OK;
  }
  ImgReduceStream stream;
  const ImgStatus result = stream.begin(dst, width, height, sw, sh, ImgLineOrder{});
  if (result != IMG_OK) return result;
  for (int y = 0; y < sh; ++y) stream.feed(src->rows[y]);
  return IMG_OK;
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
