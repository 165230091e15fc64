// Img: the program's 24-bit RGB raster. The row table and all rows are one
// heap block; operations report failure as status bits recorded in the
// record they worked on.
#pragma once

#include <cstdint>

struct Img {
  int32_t status;          // 0: valid (or empty); otherwise error bits below
  int32_t width;           // pixels per row
  int32_t height;          // number of rows
  unsigned char** rows;    // row table, start of the pixel block; null when empty
};

// Status bits: what the raster operations return and record in Img.status.
enum ImgStatus : int32_t {
  IMG_OK = 0,
  IMG_CREATE_FAILED = 0x1,
  // What a header read or a decode returns, the same for every picture
  // format (img/picture_formats.h).
  IMG_DECODE_OPEN = 0x2,          // the file cannot be opened or read
  IMG_DECODE_DAMAGED = 0x4,       // the library refused it (its reason, or its own lines, come with it)
  IMG_DECODE_UNREADABLE = 0x6,    // both: a library reading the file itself can't tell which (gd)
  IMG_DECODE_NO_LIBRARY = 0x8,    // the format's library cannot be loaded
  IMG_DECODE_ALLOC = 0x10,        // a buffer cannot be had
  IMG_DECODE_UNSUPPORTED = 0x20,  // well formed, of a kind the library doesn't decode
  IMG_DECODE_SCANS = 0x800,       // more than kMaxJpegScans scans
  IMG_DECODE_TOO_LARGE = 0x1000,  // the header claims more than kMaxPicturePixels
  IMG_DATA_SHORT = 0x40000000,    // the file is too short to code the size it claims
  // The JPEG encoder's (img/jpeg_codec.h).
  IMG_JPEG_WRITE_LIBRARY = 0x40,
  IMG_JPEG_WRITE_SOURCE = 0x100,
  IMG_JPEG_WRITE_CREATE = 0x200,
  // The resizer's (img/resize.h, img/reduce.h).
  IMG_REDUCE_SOURCE = 0x4000,
  IMG_REDUCE_ALLOC = 0x8000,
  IMG_REDUCE_OVERFLOW = 0x10000,  // a grid coordinate passes 2^31 (a side beyond 2^24 pixels)
  IMG_ENLARGE_SOURCE = 0x40000,
  IMG_ENLARGE_ALLOC = 0x80000,
  IMG_RESIZE_SOURCE = 0x100000,
  IMG_RESIZE_BOX = 0x200000,
  IMG_RESIZE_ENLARGE = 0x400000,
  IMG_RESIZE_REDUCE = 0x800000,
  IMG_LENS_SOURCE = 0x1000000,
  IMG_LENS_ALLOC = 0x2000000,
};

// The most pixels one byte of coded data can stand for: a Huffman-coded JPEG
// spends at least one bit on each 8 x 8 block of its largest component, a
// GIF's 12-bit code at most 4096 pixels. A file claiming more for its size
// is no picture, however its header reads: it is refused before any raster
// is allocated.
inline constexpr long long kJpegMaxPixelsPerByte = 8 * 64;
inline constexpr long long kGifMaxPixelsPerByte = 2731;

inline bool imgClaimOutgrowsBytes(long long width, long long height, long long bytes, long long pixelsPerByte) {
  return width * height > bytes * pixelsPerByte;
}

// Every bit a resize can return: a failure of the resizer, not of a decoder.
inline constexpr int32_t kImgResizeFailures = IMG_REDUCE_SOURCE | IMG_REDUCE_ALLOC | IMG_REDUCE_OVERFLOW |
                                              IMG_ENLARGE_SOURCE | IMG_ENLARGE_ALLOC | IMG_RESIZE_SOURCE |
                                              IMG_RESIZE_BOX | IMG_RESIZE_ENLARGE | IMG_RESIZE_REDUCE;

// Allocates width x height pixels (uninitialised) into an empty record:
// stores the size, sets status 0 and rows to the block. Returns 0, or 1 with
// status 1 and rows null when the block cannot be had, also when a side is
// negative or the block (row table and rows) would exceed INT32_MAX bytes.
// An empty raster (a side of 0) still owns a block.
// REQUIRES: img holds no block (it is overwritten, not released).
[[nodiscard]] ImgStatus imgCreate(Img* img, int width, int height);

// Rasters freed on a thread keep their blocks for its next rasters; this
// hands the calling thread's kept blocks back to the system.
void imgReleaseKeptBlocks();

// Releases the pixel block of a valid record and clears rows; does nothing
// for an empty record or one with a non-zero status. Returns img.
Img* imgDestroy(Img* img);

// Owns one record's pixel block: whatever path leaves the scope, the raster
// is released. The img* functions work on the record itself (&handle.img).
struct OwnedImg {
  Img img{};

  OwnedImg() = default;
  ~OwnedImg() { imgDestroy(&img); }
  OwnedImg(const OwnedImg&) = delete;
  OwnedImg& operator=(const OwnedImg&) = delete;

  // Releases the raster; the record becomes empty.
  void release() {
    imgDestroy(&img);
    img = Img{};
  }
  // Takes over other's raster; other becomes an empty record.
  void takeFrom(OwnedImg& other) {
    release();
    img = other.img;
    other.img = Img{};
  }
};
