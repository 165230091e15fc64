// JPEG adapter over libjpeg (6b interface): header size, decoding into an
// Img (turned upright by its Exif orientation), encoding an Img.
//
// Every message the library gives starts with the file's path and ": ", and
// ends with a line feed. It goes to standard error, or, when the call is
// given a messages string, is appended there instead (a worker thread's
// caller writes it out later, in walk order). Library errors come back as a
// code; warnings (corrupt data) are given once and decoding goes on.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

#include <jpeglib.h>

#include "img/img.h"

// What the header readers return.
enum JpegSizeCode : int {
  JPEG_SIZE_OK = 0,
  JPEG_SIZE_OPEN = 2,      // cannot open
  JPEG_SIZE_LIBRARY = 4,   // libjpeg error (its message on stderr)
  JPEG_SIZE_SEEK = 8,      // cannot read the file's size
  JPEG_SIZE_UNSUPPORTED = 16,  // a JPEG the library can't decode: its precision or process (message on stderr)
};

// Width and height as the header states them (Exif orientation ignored), and
// the file size in bytes. Null out-parameters are skipped.
[[nodiscard]] JpegSizeCode imgJpegGetSize(const char* path, int* width, int* height, int* size,
                                          std::string* messages = nullptr);

// As imgJpegGetSize, but width and height are those of the upright picture
// (swapped for Exif orientations 5 to 8), i.e. the size imgJpegReadFile gives.
// held, when not null, gets what a decode must hold whatever it streams: the
// coefficients of every component of a JPEG coded in several scans
// (progressive ones), 0 for one coded in a single scan.
[[nodiscard]] JpegSizeCode imgJpegGetUprightSize(const char* path, int* width, int* height, int* size,
                                                 std::string* messages = nullptr, long long* held = nullptr);

// Decodes path at full size into dst, turned upright by its Exif orientation.
// Greyscale files give equal channels; CMYK and YCCK files are converted to
// RGB (Adobe's inverted storage recognised by its APP14 marker).
// Holds one raster and one scanline buffer besides libjpeg's own state.
// Returns 0, 0x20 (cannot open), 0x40 (library error: no pixels kept),
// 0x80 (raster cannot be allocated; added to imgCreate's status), 0x400
// (the header claims more than kMaxPicturePixels: nothing allocated) or
// 0x800 (more than kMaxJpegScans scans: no pixels kept; nothing printed).
// REQUIRES: dst is an empty record (its rows are overwritten, not released).
[[nodiscard]] ImgStatus imgJpegReadFile(Img* dst, const char* path, std::string* messages = nullptr);

// imgJpegReadFile then imgResize(dst, width, height, picture, false), with
// the same bytes in dst, but a picture that the box reduces is never held at
// full size: each scanline, in the file's order, goes straight into the
// reduction (img/reduce.h's stream) of the upright picture. A picture that
// the box enlarges is decoded whole first. Returns what imgJpegReadFile
// returns, or imgResize's failure (an ImgStatus bit, also in status).
// REQUIRES: dst is an empty record.
[[nodiscard]] ImgStatus imgJpegReadFitted(Img* dst, const char* path, int width, int height,
                                          std::string* messages = nullptr);

// Encodes src into file at quality (baseline tables), RGB, no Exif data; the
// library's messages name name (the file's final name). Returns 0; 0x100
// when src's status is not 0 (nothing written); 0x40 after a library error
// while encoding (e.g. an empty raster, or a write refused): its message is
// given and file is left incomplete for the caller to discard. Each is added
// to src's status. The caller owns file and closes it. icc, when given and
// not empty, is the colour profile the file carries.
[[nodiscard]] ImgStatus imgJpegWrite(Img* src, FILE* file, int quality, const char* name,
                                     std::string* messages = nullptr, const std::string* icc = nullptr);

// imgJpegWrite into a new file at path (fileCreateNew: anything already there
// is refused, 0x200 added to src's status). For tools and tests: the album's
// files are written aside (util/temp_file.h).
[[nodiscard]] ImgStatus imgJpegWriteFile(Img* src, const char* path, int quality);

// libjpeg error exit: prints the message (after the path), jumps back to the
// recovery point of the read or write in progress.
// REQUIRES: cinfo->err is the error record of one of this module's readers
// or writers.
[[noreturn]] void imgJpegErrorExit(j_common_ptr cinfo);
