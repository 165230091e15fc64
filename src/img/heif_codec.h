// HEIF and AVIF adapter over libheif (loaded on first use): the primary
// image, with the file's own rotation, mirroring and crop applied as the
// format says (an Exif orientation is never applied again), 10 and 12 bits
// rounded to 8, transparency over white; its ICC profile, or its colour
// description turned into one, carried.
#pragma once

#include "img/format_codec.h"

// The primary image's size after its transforms, from the file's boxes
// (no pixel decoded). With meta, also the facts of the Exif and XMP items
// that describe the primary image, from the same meta box.
[[nodiscard]] ImgStatus imgHeifReadHeader(const char* path, ImgHeaderInfo* info, ImgDecoded* out,
                                          ImgPhotoMeta* meta = nullptr);

// Decodes path into dst (an empty record) as target asks: the library
// decodes whole, its rows then go into the reduction. Returns 0 or
// IMG_DECODE_*, the reason in out->why.
[[nodiscard]] ImgStatus imgHeifDecode(Img* dst, const char* path, const ImgDecodeTarget& target, ImgDecoded* out);
