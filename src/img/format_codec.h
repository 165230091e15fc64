// What the decoders of the added formats (PNG, WebP, HEIF and AVIF) have in
// common: the header's verdict and what a decode gives besides pixels.
// Every decoder reads the file itself, holds its own library's state and
// writes nothing on standard error, so it runs on any thread.
#pragma once

#include <string>

#include "img/img.h"

// The picture as shown, read from the header without decoding: its upright
// size (the file's own orientation, rotation or crop applied) and what its
// decode holds besides the picture's reduction (a whole raster, where the
// library decodes whole).
struct ImgHeaderInfo {
  int width = 0, height = 0;
  long long held = 0;
};

// What a header read or a decode tells besides its status: the reason of a
// failure, and the colour profile the derived pictures are to carry (empty:
// none, the picture is sRGB).
struct ImgDecoded {
  std::string why;
  std::string icc;
};

// Where a decode puts the picture: upright and whole, or, with fit, reduced
// into fitWidth x fitHeight as imgResize fits it, as its rows come (a
// picture the box holds already stays whole: never enlarged).
struct ImgDecodeTarget {
  bool fit = false;
  int fitWidth = 0, fitHeight = 0;
};

// The most raw (decompressed) bytes one byte of a deflate stream can give.
inline constexpr long long kDeflateMaxRatio = 1032;
