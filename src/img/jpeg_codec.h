// JPEG adapter over libjpeg (6b interface): the header and the decode in
// img/format_codec.h's shape (the picture turned upright by its Exif
// orientation), and the encoder of the derived pictures.
//
// Every message the library gives starts with the file's path and ": ", and
// ends with a line feed. A header read or a decode hands them back in
// ImgDecoded.libraryText; the encoder appends them to its caller's messages
// (a worker thread's caller writes them out later, in walk order), or writes
// them on standard error. Library errors come back as a code; warnings
// (corrupt data) are given once and decoding goes on.
#pragma once

#include <cstdio>
#include <string>

#include "img/format_codec.h"

// The upright size (sides swapped for Exif orientations 5 to 8) and, as
// held, what a decode holds whatever it streams: the coefficients of every
// component of a JPEG coded in several scans (progressive ones), 0 for one
// coded in a single scan. Returns 0, IMG_DECODE_OPEN, IMG_DECODE_DAMAGED (a
// library error) or IMG_DECODE_UNSUPPORTED (a precision or process the
// library doesn't decode); the library's line says which.
[[nodiscard]] ImgStatus imgJpegReadHeader(const char* path, ImgHeaderInfo* info, ImgDecoded* out);

// As imgJpegReadHeader, the size as stored (Exif ignored): that of the
// derived pictures, which carry none.
// comment, when given, receives the file's first comment (COM) segment, ""
// for none: where a video's thumbnail keeps its running time.
[[nodiscard]] ImgStatus imgJpegReadStoredHeader(const char* path, ImgHeaderInfo* info, ImgDecoded* out,
                                                std::string* comment = nullptr);

// Decodes path into dst as target asks, turned upright by its Exif
// orientation, each scanline straight to its upright place or into the
// reduction. Greyscale files give equal channels; CMYK and YCCK files are
// converted to RGB (Adobe's inverted storage recognised by its APP14
// marker). Holds the raster, or the reduction, one scanline and libjpeg's
// own state (held). Returns 0, IMG_DECODE_OPEN, IMG_DECODE_DAMAGED (a
// library error), IMG_DECODE_ALLOC (the raster), IMG_DECODE_TOO_LARGE (the
// header claims more than kMaxPicturePixels: nothing allocated),
// IMG_DATA_SHORT (more pixels than its bytes can code), IMG_DECODE_SCANS
// (more than kMaxJpegScans scans: nothing printed), or the reduction's or
// imgResize's failure. On failure dst holds no block and records it.
// REQUIRES: dst is an empty record (its rows are overwritten, not released).
[[nodiscard]] ImgStatus imgJpegDecode(Img* dst, const char* path, const ImgDecodeTarget& target, ImgDecoded* out);

// Encodes src into file at quality (baseline tables), RGB, no Exif data; the
// library's messages name name (the file's final name). Returns 0;
// IMG_JPEG_WRITE_SOURCE when src's status is not 0 (nothing written);
// IMG_JPEG_WRITE_LIBRARY after a library error while encoding (e.g. an empty raster, or a write refused): its message is
// given and file is left incomplete for the caller to discard. Each is added
// to src's status. The caller owns file and closes it. icc, when given and
// not empty, is the colour profile the file carries; comment, when given and
// not empty, a comment (COM) segment after it.
[[nodiscard]] ImgStatus imgJpegWrite(Img* src, FILE* file, int quality, const char* name,
                                     std::string* messages = nullptr, const std::string* icc = nullptr,
                                     const std::string* comment = nullptr);

// imgJpegWrite into a new file at path (fileCreateNew: anything already there
// is refused, IMG_JPEG_WRITE_CREATE added to src's status). For tools and tests: the album's
// files are written aside (util/temp_file.h).
[[nodiscard]] ImgStatus imgJpegWriteFile(Img* src, const char* path, int quality);
