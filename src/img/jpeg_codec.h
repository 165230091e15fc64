// JPEG adapter over libjpeg (6b interface): header size, decoding into an
// Img (turned upright by its Exif orientation), encoding an Img.
#pragma once

#include <cstddef>
#include <cstdio>

#include <jpeglib.h>

#include "img/img.h"

// Width and height as the header states them, and the file size.
// Returns 0; 2 cannot open; 4 libjpeg error (its message on stderr);
// 8 cannot seek to the end; 16 negative file position.
int imgJpegGetSize(const char* path, int* width, int* height, int* size);

// As imgJpegGetSize, but width and height are those of the upright picture
// (swapped for Exif orientations 5 to 8).
int imgJpegGetUprightSize(const char* path, int* width, int* height, int* size);

// Decodes path at full size into the empty record dst, turned upright by its
// Exif orientation. Returns 0, 0x20, 0x40 or 0x80 (recorded in dst).
int imgJpegReadFile(Img* dst, const char* path);

// Encodes src to path at quality (baseline tables). Returns 0, 0x100 or
// 0x200 (added to src's status). A library error ends the process (status 1).
int imgJpegWriteFile(Img* src, const char* path, int quality);

// libjpeg error exit while reading: prints the message, jumps back.
[[noreturn]] void imgJpegErrorExit(j_common_ptr cinfo);

// Exif orientation (1..8) read from a JPEG's APP1 segment payload (starting at
// "Exif\0\0"); 1 when absent or invalid.
int imgExifOrientation(const unsigned char* data, unsigned length);
