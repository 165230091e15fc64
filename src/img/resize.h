// Integer resampler: bilinear enlargement onto a whole-step grid, area
// average reduction on a 1/128-pixel grid.
#pragma once

#include <cstdint>
#include <memory>

#include "img/img.h"

// What the resizer's operations return: 0, or the status bit each records in
// its destination (set or added, as each operation says), or, from imgReduce
// only, 1 when a grid coordinate overflows 32 bits.
enum ImgResizeResult : int32_t {
  IMG_RESIZE_OK = 0,
  IMG_REDUCE_OVERFLOW = 1,
  IMG_REDUCE_SOURCE = 0x4000,
  IMG_REDUCE_ALLOC = 0x8000,
  IMG_ENLARGE_SOURCE = 0x40000,
  IMG_ENLARGE_ALLOC = 0x80000,
  IMG_RESIZE_SOURCE = 0x100000,
  IMG_RESIZE_BOX = 0x200000,
  IMG_RESIZE_ENLARGE = 0x400000,
  IMG_RESIZE_REDUCE = 0x800000,
};

// Fits src into the box width x height and writes the result into dst.
// A side <= 0 follows from the other side and src's proportions; with exact
// false a two-sided box is shrunk on one side to keep them, with exact true
// it is used as is. A fitted side of 0 becomes 1. Sources smaller than the
// box on either side go through a temporary enlargement, released before
// returning. Returns 0 (dst is then exactly the fitted size), or one of
// IMG_RESIZE_SOURCE (src not valid or empty), IMG_RESIZE_BOX (no positive
// side), IMG_RESIZE_ENLARGE (both set in dst.status) or IMG_RESIZE_REDUCE
// (added to it). On failure dst holds no block.
// REQUIRES: dst is an empty record.
[[nodiscard]] ImgResizeResult imgResize(Img* dst, int width, int height, const Img* src, bool exact);

// The size imgResize fits a sourceWidth x sourceHeight picture into for the
// box: 0 with the size in the out-parameters, IMG_RESIZE_BOX (no positive
// side) or IMG_RESIZE_ENLARGE (a side beyond int).
// REQUIRES: sourceWidth, sourceHeight >= 1.
[[nodiscard]] ImgResizeResult imgFitSize(int sourceWidth, int sourceHeight, int width, int height, bool exact,
                                         int* fitWidth, int* fitHeight);

// How a streamed source arrives: as its rows (columns false) from top to
// bottom, or as its columns from left to right; backward reverses that
// order. The pixels of a row run left to right, those of a column top to
// bottom, or the other way round when reversed.
struct ImgLineOrder {
  bool columns = false;
  bool backward = false;
  bool reversed = false;
};

// imgReduce of a source that arrives one line at a time, so that it is never
// held whole: the same bytes, whatever the order of the lines. Holds the
// destination, column totals of one line's length and a few views of a line.
class ImgReduceStream {
 public:
  ImgReduceStream();
  ~ImgReduceStream();
  ImgReduceStream(const ImgReduceStream&) = delete;
  ImgReduceStream& operator=(const ImgReduceStream&) = delete;

  // Creates dst (width x height) for a sourceWidth x sourceHeight source
  // arriving in order. Returns 0, IMG_REDUCE_ALLOC (added to status 1) or
  // IMG_REDUCE_OVERFLOW (dst then holds no block).
  // REQUIRES: dst is an empty record; 1 <= width <= sourceWidth and
  // 1 <= height <= sourceHeight.
  [[nodiscard]] ImgResizeResult begin(Img* dst, int width, int height, int sourceWidth, int sourceHeight,
                                      ImgLineOrder order);
  // The next line: 3 bytes per pixel, as many pixels as a line has. dst is
  // complete once every line has come; lines beyond those are ignored.
  // REQUIRES: begin returned 0.
  void feed(const unsigned char* line);

  struct Reducer;  // the arithmetic, chosen by the sums' sizes

 private:
  std::unique_ptr<Reducer> reducer_;
};

// Bilinear enlargement onto a grid of whole steps: each source cell becomes
// (nx + 1) x (ny + 1) pixels, the smallest whole steps that reach width x
// height; a side of 1 pixel is repeated instead. Returns 0,
// IMG_ENLARGE_SOURCE (set) or IMG_ENLARGE_ALLOC (added to status 1).
// REQUIRES: dst is an empty record; width, height >= 1.
[[nodiscard]] ImgResizeResult imgEnlarge(Img* dst, int width, int height, const Img* src);

// Area-average reduction to width x height on a grid of 1/128 source pixel.
// Returns 0, IMG_REDUCE_SOURCE (set), IMG_REDUCE_ALLOC (added to status 1),
// or IMG_REDUCE_OVERFLOW when a grid coordinate overflows 32 bits (dst then
// holds no block).
// REQUIRES: dst is an empty record; 1 <= width <= src.width and
// 1 <= height <= src.height.
[[nodiscard]] ImgResizeResult imgReduce(Img* dst, int width, int height, const Img* src);

// Adds the truncated mean of src's pixels in the rectangle left..right x
// top..bottom (1/128 pixel units, taken as whole pixels and clipped to src
// on the right and bottom), times weight >> 7, to the three sums. Adds
// nothing for an empty rectangle.
// REQUIRES: left, top >= 0.
void imgAreaAdd(const Img* src, int left, int top, int right, int bottom, int weight, int* red,
                int* green, int* blue);
