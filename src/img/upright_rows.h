// Rows of a picture as a decoder hands them out, in stored order, put where
// the upright picture wants them: into a raster, each pixel at its upright
// place, or straight into the reduction of the upright picture to a box, so
// the full-size picture is never held.
#pragma once

#include <vector>

#include "img/img.h"
#include "img/reduce.h"

// Where the pixels of stored row y go in the upright raster: pixel x of the
// row lands at column col0 + x * dcol, row row0 + x * drow. w and h are the
// stored width and height; orientation is Exif's (1..8).
struct ImgRowWalk {
  int col0, dcol, row0, drow;
};
ImgRowWalk imgOrientationRowWalk(int orientation, int w, int h, int y);

// How the stored rows reach the upright picture, for img/reduce.h's stream.
ImgLineOrder imgOrientationLineOrder(int orientation);

// Exif orientations 5 to 8 turn the picture a quarter: its sides swap.
inline bool imgOrientationSwapsSides(int orientation) { return orientation >= 5; }

class ImgUprightRows {
 public:
  ImgUprightRows() = default;
  ImgUprightRows(const ImgUprightRows&) = delete;
  ImgUprightRows& operator=(const ImgUprightRows&) = delete;

  // Prepares dst for a storedWidth x storedHeight picture in orientation.
  // With fit, dst is to become the upright picture reduced into fitWidth x
  // fitHeight (imgResize's fit, not exact) as the rows come; a picture the
  // box holds already is kept whole, never enlarged, unless enlarge: it is
  // then held whole here and fitted by imgResize into dst in finish.
  // Returns 0, IMG_CREATE_FAILED (the raster) or the reduction's failure.
  // REQUIRES: dst is an empty record; both sides >= 1.
  [[nodiscard]] ImgStatus begin(Img* dst, int storedWidth, int storedHeight, int orientation, bool fit,
                                int fitWidth = 0, int fitHeight = 0, bool enlarge = false);
  // The next stored row: storedWidth pixels of channels samples each (3:
  // RGB, 4: RGBA), each sample 8 bits, or 16 bits in host order when
  // maxValue > 255, then rounded to 8. Alpha is laid over white. dst is
  // complete once every row has come (and, for an enlargement, finish).
  void put(const void* row, int channels, int maxValue = 255);
  // Two stored rows, as put(first) then put(second); streamed RGB rows go to
  // the reduction together (ImgReduceStream::feedPair).
  void putPair(const void* first, const void* second, int channels, int maxValue = 255);
  // count stored rows, stride bytes apart, as put in turn, in pairs.
  void putRows(const void* rows, size_t stride, int count, int channels, int maxValue = 255);
  // After the last row: the picture held for an enlargement fitted into dst
  // (0 or imgResize's failure); 0 and nothing done otherwise.
  [[nodiscard]] ImgStatus finish();

 private:
  Img* dst_ = nullptr;
  Img* target_ = nullptr;  // where put places the rows: dst_, or whole_ for an enlargement
  OwnedImg whole_;
  int width_ = 0, height_ = 0, orientation_ = 1;
  int fitWidth_ = 0, fitHeight_ = 0;
  bool streamed_ = false;
  int y_ = 0;
  ImgReduceStream stream_;
  std::vector<unsigned char> line_;
};
