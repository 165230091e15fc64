// HEIF and AVIF adapter over libheif (loaded on first use): the primary
// image, with the file's own rotation, mirroring and crop applied as the
// format says (an Exif orientation is never applied again), 10 and 12 bits
// rounded to 8, transparency over white; its ICC profile, or its colour
// description turned into one, carried.
#pragma once

#include "img/format_codec.h"

// The primary image's size after its transforms, from the file's boxes
// (no pixel decoded): an overlay's or a grid's from its canvas, which the
// decode gives whatever its ispe says (the larger of the two told, and a
// canvas past kMaxPicturePixels told as it is, however small its crop).
// With meta, also the facts of the Exif and XMP items that describe the
// primary image, from the same meta box.
[[nodiscard]] ImgStatus imgHeifReadHeader(const char* path, ImgHeaderInfo* info, ImgDecoded* out,
                                          ImgPhotoMeta* meta = nullptr);

// Decodes path into dst (an empty record) as target asks: the library
// decodes whole, its rows then go into the reduction. A file with an
// overlay or grid whose canvas is past kMaxPicturePixels is refused as
// IMG_DECODE_TOO_LARGE before the library decodes, one whose canvas or meta
// box quorvel cannot read as IMG_DECODE_DAMAGED. Returns 0 or IMG_DECODE_*,
// the reason in out->why.
[[nodiscard]] ImgStatus imgHeifDecode(Img* dst, const char* path, const ImgDecodeTarget& target, ImgDecoded* out);
