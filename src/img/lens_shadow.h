// Thumbnail effects: the drop shadow drawn from five grey sprites, and the
// lens that magnifies the middle of a picture.
#pragma once

#include "img/img.h"

// dst (an empty record) becomes src, 7 pixels wider and taller, with a soft
// grey shadow along the right and bottom edges, and light pixels (all
// channels above 223) of the picture's top row and left column turned grey
// (192). Nothing is written outside dst, whatever src's size. Returns 0, or
// IMG_CREATE_FAILED when dst cannot be allocated (dst.status is then that).
// REQUIRES: src is valid (its status is not tested).
[[nodiscard]] ImgStatus imgShadow(Img* dst, const Img* src);
// Same, with every shadow pixel's channels scaled by red, green and blue
// / 255 (truncated, low 8 bits kept): level ff becomes exactly the colour.
[[nodiscard]] ImgStatus imgShadowColor(Img* dst, const Img* src, int red, int green, int blue);
// The same at a whole scale (a picture with scale times the pixels of the
// one shown): strips 7 x scale pixels, each sprite pixel a scale x scale
// block, the grey border scale pixels thick. Scale 1 gives imgShadow's and
// imgShadowColor's bytes.
// REQUIRES: scale >= 1.
[[nodiscard]] ImgStatus imgShadowScaled(Img* dst, const Img* src, int scale);
[[nodiscard]] ImgStatus imgShadowColorScaled(Img* dst, const Img* src, int scale, int red, int green, int blue);
// Width of the right strip and height of the bottom strip: 7 and 7.
int shadowWidth();
int shadowHeight();

// dst (an empty record) becomes the lens view of src, same size: the middle
// magnified along rays from the centre, the edges in place. Returns 0,
// IMG_LENS_SOURCE (src not valid; set in dst.status, nothing allocated) or
// IMG_LENS_ALLOC (added to dst.status).
[[nodiscard]] ImgStatus imgLens(Img* dst, const Img* src);

// Whether imgLens may use its AVX2 path where the processor has it (the
// default); the plain one gives the same bytes, and the tests turn it off to
// check it.
void imgLensAllowAvx2(bool allow);
