// Area-average reduction on a grid of 1/128 source pixel, fed a line at a
// time: the streaming reducer, over the footprints of reduce_footprints.h
// and the kernels of reduce_kernels.h. Intermediate products are taken in 64 bits: the results are those of
// the 32-bit formulas wherever those do not overflow.
#include "img/reduce.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

#include "img/reduce_footprints.h"
#include "img/reduce_kernels.h"

struct ImgReduceStream::Reducer {
  virtual ~Reducer() = default;
  virtual void feed(const unsigned char* line) = 0;
  virtual void feedPair(const unsigned char* first, const unsigned char* second) = 0;
};

namespace {

using namespace imgreduce;

// The reduction fed one source line at a time, in the frame where lines are
// rows (for lines that are columns, xs runs along the lines and ys across
// them, and the output goes to dst transposed). A destination row reads the
// band (the column totals of the whole source rows of its footprint, in B)
// and the views of the two rows holding its near and far edges; consecutive
// destination rows share an edge row, whose view is kept. Lines may come in
// either direction: the sums are the same, whichever row arrives first, so
// the bytes are those of the whole-raster reduction.
template <typename SpanTotal, typename BandTotal, typename Quotients, typename Entry = int64_t>
class StreamReducer : public ImgReduceStream::Reducer {
  // 32-bit views go with sums small enough for FastRow's lanes.
  static constexpr bool kFast = std::is_same_v<Entry, uint32_t>;

 public:
  StreamReducer(Axis xs, Axis ys, int lines, bool backward, bool transposed, Img* dst)
      : xs_(std::move(xs)), ys_(std::move(ys)), lines_(lines), backward_(backward), transposed_(transposed),
        dst_(dst), acc_(3 * size_t(xs_.size) + kBandSlack), out_(3 * xs_.count()) {
    next_ = backward ? lines - 1 : 0;
    row_ = backward ? int64_t(ys_.count()) - 1 : 0;
    if constexpr (kFast) {
      axisPrepareColumns(xs_, ys_.mostInner);
      for (size_t j = 0; j < xs_.count(); ++j) {
        const Footprint& fx = xs_.footprints[j];
        for (int c = 0; c < 3; ++c) {
          xFirst_.push_back(uint32_t(fx.first));
          xInner_.push_back(uint32_t(fx.inner));
          xLast_.push_back(uint32_t(fx.last));
          xWide_.push_back(fx.wide ? 1u : 0u);
          // The AVX2 combine's four parts in one word (its whole pixels
          // below 256 and edge parts of at most 128), read from one array
          // rather than four.
          xPacked_.push_back(uint32_t(fx.first) | uint32_t(fx.wide) << 8 | uint32_t(fx.last) << 16 |
                             uint32_t(fx.inner >> 7) << 24);
        }
      }
    }
  }

  // Two lines that are both whole rows inside the footprint of the row in
  // progress, neither an edge, go into the band in one pass over it: adding
  // a line costs more in reading and writing the band than in the sums.
  void feedPair(const unsigned char* first, const unsigned char* second) override {
    const int64_t step = backward_ ? -1 : 1, y = next_, y2 = y + step;
    if (row_ >= 0 && size_t(row_) < ys_.count() && y >= 0 && y < lines_ && y2 >= 0 && y2 < lines_) {
      const Footprint& fy = ys_.footprints[row_];
      const Footprint& below = ys_.footprints[row_ + 1];
      const auto inside = [&](int64_t r) {
        return r >= fy.innerFrom && r < fy.innerFrom + fy.innerCount && r != fy.edge && r != below.edge;
      };
      if (inside(y) && inside(y2)) {
        const size_t n = 3 * size_t(xs_.size);
        if (bandRows_ == 0)
          startBandPair(acc_.data(), first, second, n);
        else
          addPairToBand(acc_.data(), first, second, n);
        bandRows_ += 2;
        next_ = y2 + step;
        return;
      }
    }
    feed(first);
    feed(second);
  }

  void feed(const unsigned char* line) override {
    const int64_t y = next_;
    next_ += backward_ ? -1 : 1;
    if (y < 0 || y >= lines_) return;
    // A line can close more than one destination row: a last footprint of
    // one pixel has the same row at both edges.
    while (row_ >= 0 && size_t(row_) < ys_.count()) {
      const Footprint& fy = ys_.footprints[row_];
      const Footprint& below = ys_.footprints[row_ + 1];
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
    RowView<SpanTotal, Quotients, Entry> view;
    void load(const unsigned char* line, int64_t y, const Axis& xs) {
      view.read(line, xs);
      row = y;
    }
  };

  void add(const unsigned char* line) {
    const size_t n = 3 * size_t(xs_.size);
    if (bandRows_++ == 0)
      startBand(acc_.data(), line, n);
    else
      addToBand(acc_.data(), line, n);
  }

  // The band's view, each entry divided by the footprint's whole rows: the
  // means of the edge columns, and the means of the whole pixels inside (the
  // mean over rows of the means over columns, floor(floor(t / a) / b) being
  // floor(t / ab)). No whole rows: nothing inside, all zero.
  void loadBand(const Footprint& fy) {
    if (bandRows_ == 0) std::fill(acc_.begin(), acc_.end(), BandTotal(0));
    band_.read(acc_.data(), xs_, &fy.byInner);
  }

  void emit(const Footprint& fy, const RowView<SpanTotal, Quotients, Entry>& top, const RowView<SpanTotal, Quotients, Entry>& bottom) {
    loadBand(fy);
    unsigned char* out = transposed_ ? out_.data() : dst_->rows[row_];
    const int64_t areas[2] = {(xs_.shortest * fy.span) >> 7, (xs_.longest * fy.span) >> 7};
    if constexpr (kFast) {
      FastRow row{.inner = band_.means.data(),
                  .side = band_.edges.data(),
                  .topMeans = top.means.data(),
                  .topSide = top.edges.data(),
                  .bottomMeans = bottom.means.data(),
                  .bottomSide = bottom.edges.data(),
                  .xFirst = xFirst_.data(),
                  .xInner = xInner_.data(),
                  .xLast = xLast_.data(),
                  .xWide = xWide_.data(),
                  .xPacked = xs_.mostInner < 256 ? xPacked_.data() : nullptr,
                  .yFirst = uint32_t(fy.first),
                  .yInner = uint32_t(fy.inner),
                  .yLast = uint32_t(fy.last)};
      if (fastDivisors(areas[0], areas[1], &row)) {
#if QUORVEL_AVX2_KERNELS
        if (xs_.avx2 && row.xPacked)
          combineFastRowAvx2(row, 3 * xs_.count(), out);
        else
#endif
          combineFastRow(row, 3 * xs_.count(), out);
        scatter(out);
        return;
      }
    }
    const Divisor byArea[2] = {Divisor(uint64_t(std::max<int64_t>(areas[0], 1))),
                               Divisor(uint64_t(std::max<int64_t>(areas[1], 1)))};
    // Plain pointers: a byte stored through out could alias any vector's
    // insides, which would be read again after every store.
    const Entry* inner = band_.means.data();
    const Entry* side = band_.edges.data();
    const Entry *topMeans = top.means.data(), *topAt = top.edges.data();
    const Entry *bottomMeans = bottom.means.data(), *bottomAt = bottom.edges.data();
    const Footprint* footprints = xs_.footprints.data();
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
        out[k] = clampByte(sum < 0 ? sum / int64_t(area.divisor()) : int64_t(Quotients::of(area, uint64_t(sum))));
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
  std::vector<BandTotal> acc_;
  std::vector<unsigned char> out_;
  std::vector<uint32_t> xFirst_, xInner_, xLast_, xWide_, xPacked_;  // per view entry, for FastRow
  RowView<SpanTotal, Quotients, Entry> band_;
  Edge near_, far_;
  int64_t next_ = 0, row_ = 0, bandRows_ = 0;
};

// The reducer whose sums fit the footprints of xs and ys.
std::unique_ptr<ImgReduceStream::Reducer> makeReducer(Axis xs, Axis ys, int lines, bool backward, bool transposed, Img* dst) {
  // Every span of whole pixels a destination pixel reads totals less than
  // 2^32 in all but absurd rasters; 32-bit totals then suffice.
  int64_t widest = 1, tallest = 1;
  for (const Footprint& f : xs.footprints) widest = std::max(widest, f.innerCount);
  for (const Footprint& f : ys.footprints) tallest = std::max(tallest, f.innerCount);
  if (tallest <= UINT16_MAX / 255 && 255 * widest <= UINT32_MAX / tallest) {
    // The largest numerator over its divisor: a band span over its columns
    // (255 * widest * tallest over widest), a band column over its rows, a
    // pixel's sum over its area (the weights total at most the area).
    const int64_t area = (xs.longest * ys.longest) >> 7;
    const bool small = 255 * widest * widest * tallest < (int64_t(1) << 40) &&
                       255 * tallest * tallest < (int64_t(1) << 40) && area < 65536 &&
                       255 * area * area < (int64_t(1) << 40);
    if (small)
      return std::make_unique<StreamReducer<uint32_t, uint16_t, ShortQuotients, uint32_t>>(std::move(xs), std::move(ys), lines,
                                                                           backward, transposed, dst);
    return std::make_unique<StreamReducer<uint32_t, uint16_t, AnyQuotients>>(std::move(xs), std::move(ys), lines,
                                                                       backward, transposed, dst);
  }
  if (255 * widest <= UINT32_MAX / tallest)
    return std::make_unique<StreamReducer<uint32_t, uint32_t, AnyQuotients>>(std::move(xs), std::move(ys), lines,
                                                                       backward, transposed, dst);
  return std::make_unique<StreamReducer<uint64_t, uint64_t, AnyQuotients>>(std::move(xs), std::move(ys), lines,
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

void ImgReduceStream::feedPair(const unsigned char* first, const unsigned char* second) {
  reducer_->feedPair(first, second);
}

void imgReduceAllowAvx2Kernels(bool allow) { avx2KernelsAllowed.store(allow, std::memory_order_relaxed); }

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
  int y = 0;
  for (; y + 1 < sh; y += 2) stream.feedPair(src->rows[y], src->rows[y + 1]);
  if (y < sh) stream.feed(src->rows[y]);
  return IMG_OK;
}
