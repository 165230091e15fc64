// PNG adapter over libpng (loaded on first use): every colour type and bit
// depth, palettes, tRNS, Adam7 interlace; 16-bit samples rounded to 8,
// transparency over white, the eXIf chunk's orientation applied as for a
// JPEG, the iCCP profile carried.
#pragma once

#include "img/format_codec.h"

// The size from IHDR, upright by an eXIf chunk before the image data; read
// by quorvel itself, so the library is not loaded for it. With meta, also
// the facts of the first eXIf and the first uncompressed XMP iTXt before the
// image data.
[[nodiscard]] ImgStatus imgPngReadHeader(const char* path, ImgHeaderInfo* info, ImgDecoded* out,
                                         ImgPhotoMeta* meta = nullptr);

// Decodes path into dst (an empty record) as target asks. Rows stream into
// the reduction; an interlaced file is held whole at the library's depth
// first. Returns 0 or IMG_DECODE_* (also IMG_DATA_SHORT: the file is too
// short for the rows it claims), the reason in out->why.
[[nodiscard]] ImgStatus imgPngDecode(Img* dst, const char* path, const ImgDecodeTarget& target, ImgDecoded* out);
