// Integer resampler: fitting into a box, bilinear enlargement onto a
// whole-step grid; the area-average reduction is img/reduce.h's.
#pragma once

#include <cstdint>

#include "img/img.h"

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
[[nodiscard]] ImgStatus imgResize(Img* dst, int width, int height, const Img* src, bool exact);

// The size imgResize fits a sourceWidth x sourceHeight picture into for the
// box: 0 with the size in the out-parameters, IMG_RESIZE_BOX (no positive
// side) or IMG_RESIZE_ENLARGE (a side beyond int).
// REQUIRES: sourceWidth, sourceHeight >= 1.
[[nodiscard]] ImgStatus imgFitSize(int sourceWidth, int sourceHeight, int width, int height, bool exact,
                                         int* fitWidth, int* fitHeight);

// Bilinear enlargement onto a grid of whole steps: each source cell becomes
// (nx + 1) x (ny + 1) pixels, the smallest whole steps that reach width x
// height; a side of 1 pixel is repeated instead. Returns 0,
// IMG_ENLARGE_SOURCE (set) or IMG_ENLARGE_ALLOC (added to status 1).
// REQUIRES: dst is an empty record; width, height >= 1.
[[nodiscard]] ImgStatus imgEnlarge(Img* dst, int width, int height, const Img* src);
