// Area-average reduction on a grid of 1/128 source pixel, of a whole raster
// or of one that arrives a line at a time.
#pragma once

#include <memory>

#include "img/img.h"
#include "img/resize.h"

// Area-average reduction to width x height on a grid of 1/128 source pixel.
// Returns 0, IMG_REDUCE_SOURCE (set), IMG_REDUCE_ALLOC (added to status 1),
// or IMG_REDUCE_OVERFLOW when a grid coordinate passes 2^31 (dst then
// holds no block).
// REQUIRES: dst is an empty record; 1 <= width <= src.width and
// 1 <= height <= src.height.
[[nodiscard]] ImgStatus imgReduce(Img* dst, int width, int height, const Img* src);

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
  [[nodiscard]] ImgStatus begin(Img* dst, int width, int height, int sourceWidth, int sourceHeight,
                                      ImgLineOrder order);
  // The next line: 3 bytes per pixel, as many pixels as a line has. dst is
  // complete once every line has come; lines beyond those are ignored.
  // REQUIRES: begin returned 0.
  void feed(const unsigned char* line);
  // The next two lines: the same as feed(first) then feed(second), in one
  // pass over the column totals where both fall inside one row's footprint.
  // REQUIRES: begin returned 0.
  void feedPair(const unsigned char* first, const unsigned char* second);

  struct Reducer;  // the arithmetic, chosen by the sums' sizes

 private:
  std::unique_ptr<Reducer> reducer_;
};

// Whether reductions begun from now on may use the kernels written for AVX2
// where the processor has it (the default); the plain ones give the same
// bytes, and the tests turn these off to check them.
void imgReduceAllowAvx2Kernels(bool allow);
