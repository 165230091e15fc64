// The one shape of every picture decoder (JPEG, GIF, PNG, WebP, HEIF and
// AVIF): a header read that gives the picture's verdict, and a decode, both
// answering in img/img.h's IMG_DECODE_* bits and handing back as text what
// the library had to say. Every decoder reads the file itself, holds its own
// library's state and writes nothing on standard error, so it runs on any
// thread.
#pragma once

#include <string>

#include "img/img.h"

// The picture as shown, read from the header without decoding: its upright
// size (the file's own orientation, rotation or crop applied) and what its
// decode holds besides the picture's reduction (the coefficients of a JPEG
// coded in several scans, gd's image and the raster of a GIF, a whole raster
// where the library decodes whole).
struct ImgHeaderInfo {
  int width = 0, height = 0;
  long long held = 0;
  long long durationMs = -1;  // a video's running time; -1 for a picture, or when unknown
};

// A header read's optional request (img/photo_meta.h): where the format
// keeps the photo's Exif and XMP among the boxes or chunks its header read
// walks, they are read in the same pass. Null: nothing more is read.
struct ImgPhotoMeta;

// What a header read or a decode tells besides its status: the reason of a
// failure; the library's own lines (libjpeg's, gd's: warnings and errors
// alike, each ending in a line feed, in the order they came), for the caller
// to write on standard error as they are; and the colour profile the derived
// pictures are to carry (empty: none, the picture is sRGB). A failure whose
// reason is empty is told by the library's lines.
struct ImgDecoded {
  std::string why;
  std::string libraryText;
  std::string icc;
};

// Where a decode puts the picture: upright and whole, or, with fit, reduced
// into fitWidth x fitHeight as imgResize fits it, as its rows come. A
// picture the box holds already stays whole, unless enlarge: it is then
// fitted whole by imgResize (enlarged), the path JPEGs and GIFs have always
// taken.
// With a prescale box, a decoder whose library decodes at a reduced scale
// (JPEG's DCT scaling, in eighths) decodes at the smallest that still holds
// the picture's fit into that box, and the
// fit into the target's box is taken from there: faster, and not the bytes
// of a full decode's reduction, so only for pictures no earlier album holds.
struct ImgDecodeTarget {
  bool fit = false;
  int fitWidth = 0, fitHeight = 0;
  bool enlarge = false;
  int prescaleWidth = 0, prescaleHeight = 0;
};

// The most raw (decompressed) bytes one byte of a deflate stream can give.
inline constexpr long long kDeflateMaxRatio = 1032;

// Ends a failed decode: the raster dst may hold is released, and dst records
// the failure (no block, status failure). Returns failure.
inline ImgStatus imgDecodeFailed(Img* dst, ImgStatus failure) {
  imgDestroy(dst);
  *dst = Img{failure, 0, 0, nullptr};
  return failure;
}
