// WebP adapter over libwebp and libwebpdemux (loaded on first use): lossy
// and lossless, an animation's first frame, transparency over white, the
// EXIF chunk's orientation applied as for a JPEG, the ICCP profile carried.
#pragma once

#include "img/format_codec.h"

// The size from the VP8, VP8L or VP8X header, upright by an EXIF chunk;
// read by quorvel itself, so the library is not loaded for it. With meta,
// also the facts of the first EXIF and XMP chunks of an extended file.
[[nodiscard]] ImgStatus imgWebpReadHeader(const char* path, ImgHeaderInfo* info, ImgDecoded* out,
                                          ImgPhotoMeta* meta = nullptr);

// Decodes path into dst (an empty record) as target asks. The library
// decodes whole; its rows then go into the reduction. Returns 0 or
// IMG_DECODE_*, the reason in out->why.
[[nodiscard]] ImgStatus imgWebpDecode(Img* dst, const char* path, const ImgDecodeTarget& target, ImgDecoded* out);
