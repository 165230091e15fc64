// Thumbnail effects: the drop shadow drawn from five grey sprites, and the
// lens that magnifies the middle of a picture.
#pragma once

#include "img/img.h"

// dst (empty) becomes src with a 7-pixel shadow on the right and at the
// bottom. Returns 0, or 1 when dst cannot be allocated.
int imgShadow(Img* dst, const Img* src);
// Same, with every sprite pixel tinted by (red, green, blue) / 255.
int imgShadowColor(Img* dst, const Img* src, int red, int green, int blue);
// Width of the right strip and height of the bottom strip: 7 and 7.
int shadowWidth();
int shadowHeight();

// dst (empty) becomes the lens view of src, same size. Returns 0,
// IMG_LENS_SOURCE or IMG_LENS_ALLOC.
int imgLens(Img* dst, const Img* src);
