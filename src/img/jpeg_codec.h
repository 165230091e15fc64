// JPEG adapter over libjpeg (6b interface): header size, decoding into an
// Img (turned upright by its Exif orientation), encoding an Img.
//
// Every message the library prints (on stderr) starts with the file's path
// and ": ". Library errors come back as a code; warnings (corrupt data) print
// once and decoding goes on.
#pragma once

#include <cstddef>
#include <cstdio>

#include <jpeglib.h>

#include "img/img.h"

// What the header readers return.
enum JpegSizeCode : int {
  JPEG_SIZE_OK = 0,
  JPEG_SIZE_OPEN = 2,      // cannot open
  JPEG_SIZE_LIBRARY = 4,   // libjpeg error (its message on stderr)
  JPEG_SIZE_SEEK = 8,      // cannot read the file's size
};

// Width and height as the header states them (Exif orientation ignored), and
// the file size in bytes. Null out-parameters are skipped.
[[nodiscard]] JpegSizeCode imgJpegGetSize(const char* path, int* width, int* height, int* size);

// As imgJpegGetSize, but width and height are those of the upright picture
// (swapped for Exif orientations 5 to 8), i.e. the size imgJpegReadFile gives.
[[nodiscard]] JpegSizeCode imgJpegGetUprightSize(const char* path, int* width, int* height,
                                                 int* size);

// Decodes path at full size into dst, turned upright by its Exif orientation.
// Greyscale files give equal channels; CMYK and YCCK files are converted to
// RGB (Adobe's inverted storage recognised by its APP14 marker).
// Holds one raster and one scanline buffer besides libjpeg's own state.
// Returns 0, 0x20 (cannot open), 0x40 (library error: no pixels kept),
// 0x80 (raster cannot be allocated; added to imgCreate's status), 0x400
// (the header claims more than kMaxPicturePixels: nothing allocated) or
// 0x800 (more than kMaxJpegScans scans: no pixels kept; nothing printed).
// REQUIRES: dst is an empty record (its rows are overwritten, not released).
[[nodiscard]] ImgStatus imgJpegReadFile(Img* dst, const char* path);

// imgJpegReadFile then imgResize(dst, width, height, picture, false), with
// the same bytes in dst, but a picture that the box reduces is never held at
// full size: each scanline, in the file's order, goes straight into the
// reduction (img/resize.h's stream) of the upright picture. A picture that
// the box enlarges is decoded whole first. Returns what imgJpegReadFile
// returns, or imgResize's failure (an ImgResizeResult bit, also in status).
// REQUIRES: dst is an empty record.
[[nodiscard]] ImgStatus imgJpegReadFitted(Img* dst, const char* path, int width, int height);

// Encodes src to path at quality (baseline tables), RGB, no Exif data.
// Returns 0; 0x100 when src's status is not 0 (no file made); 0x200 when path
// cannot be created (fileCreateNew: anything already there is refused); 0x40 after a library error while encoding (e.g. an empty
// raster, or a write refused): its message is printed and the file at path
// is left incomplete for the caller to remove. Each is added to src's status.
// Library messages name messagePath when given (the file path stands for,
// e.g. a temporary's final name), else path.
[[nodiscard]] ImgStatus imgJpegWriteFile(Img* src, const char* path, int quality,
                                         const char* messagePath = nullptr);

// libjpeg error exit: prints the message (after the path), jumps back to the
// recovery point of the read or write in progress.
// REQUIRES: cinfo->err is the error record of one of this module's readers
// or writers.
[[noreturn]] void imgJpegErrorExit(j_common_ptr cinfo);

// Exif orientation (1..8) read from a JPEG's APP1 segment payload starting at
// "Exif\0\0" (either TIFF byte order). 1 when the tag is absent, its type or
// count is wrong, its value is out of range, or any offset leaves the data.
int imgExifOrientation(const unsigned char* data, unsigned length);
