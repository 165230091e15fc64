// Integer resampler: bilinear enlargement onto a whole-step grid, area
// average reduction on a 1/128-pixel grid.
#pragma once

#include "img/img.h"

// Fits src into the box width x height (a side <= 0 follows from the other
// and the aspect ratio; exact keeps a two-sided box as is) into the empty
// record dst. Returns 0 or a status bit recorded in dst.
int imgResize(Img* dst, int width, int height, const Img* src, bool exact);

// Steps of imgResize.
int imgEnlarge(Img* dst, int width, int height, const Img* src);
int imgReduce(Img* dst, int width, int height, const Img* src);
void imgAreaAdd(const Img* src, int left, int top, int right, int bottom, int weight, int* red,
                int* green, int* blue);
