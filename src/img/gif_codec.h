// GIF adapter over gd (img/format_libraries.h, loaded on first use), in
// img/format_codec.h's shape: the logical screen read from the file's first
// bytes; gd's image turned into an Img, whole or reduced as its rows come.
// gd's own warnings are caught and handed back, never written, so a GIF
// decodes on any thread.
#pragma once

#include "img/format_codec.h"

// The logical screen's size, from the first 10 bytes (gd keeps every image
// within it), and as held what a decode holds: gd's image (up to 4 bytes a
// pixel) and the raster (3). Returns 0, IMG_DECODE_OPEN, or
// IMG_DECODE_DAMAGED (no GIF header; no reason given).
[[nodiscard]] ImgStatus imgGifReadHeader(const char* path, ImgHeaderInfo* info, ImgDecoded* out);

// Decodes path with gd into dst as target asks; each pixel takes its palette
// entry's colour (transparency is not treated specially). Returns 0;
// IMG_DECODE_UNREADABLE when the file cannot be opened, gd refuses it or gd
// cannot be loaded (gd's lines, if any, in out->libraryText);
// IMG_DECODE_TOO_LARGE when the screen claims more than kMaxPicturePixels,
// IMG_DATA_SHORT when more than the file's bytes could code (gd never
// called); IMG_DECODE_ALLOC (the raster); or the reduction's or imgResize's
// failure. On failure dst holds no block and records it.
// REQUIRES: dst is an empty record.
[[nodiscard]] ImgStatus imgGifDecode(Img* dst, const char* path, const ImgDecodeTarget& target, ImgDecoded* out);
