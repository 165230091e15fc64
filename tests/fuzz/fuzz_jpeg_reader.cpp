// JPEG reading through a real file: both header reads, then the full decode,
// whose raster must have the upright size the header promised, and the
// decode reduced as it goes, whose bytes must be those of the full decode
// resized.
//
// Pictures whose header claims more than kMaxSide pixels a side or kMaxPixels
// in all are skipped: libjpeg decodes a few bytes into as large a picture as
// the header says, and such inputs only slow the search down.
#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "fuzz_scratch.h"
#include "img/img.h"
#include "img/jpeg_codec.h"
#include "img/resize.h"

namespace {

constexpr int kMaxSide = 4096;
constexpr long kMaxPixels = 1L << 20;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static MemoryFile file;
  const std::string& path = file.write(data, size);

  ImgHeaderInfo stored, upright;
  ImgDecoded out;
  const ImgStatus storedRead = imgJpegReadStoredHeader(path.c_str(), &stored, &out);
  if (storedRead == IMG_OK) {
    const long width = stored.width, height = stored.height;
    if (width > kMaxSide || height > kMaxSide || width * height > kMaxPixels) return 0;
  }
  const ImgStatus uprightRead = imgJpegReadHeader(path.c_str(), &upright, &out);
  if ((uprightRead == IMG_OK) != (storedRead == IMG_OK)) abort();
  if (uprightRead == IMG_OK && !(upright.width == stored.width && upright.height == stored.height) &&
      !(upright.width == stored.height && upright.height == stored.width))
    abort();

  OwnedImg img;
  const bool decoded = imgJpegDecode(&img.img, path.c_str(), {}, &out) == IMG_OK;
  if (decoded) {
    if (uprightRead != IMG_OK || img.img.status != 0) abort();
    if (img.img.width != upright.width || img.img.height != upright.height) abort();
  } else if (img.img.rows != nullptr) {
    abort();  // a failed read keeps no pixels
  }

  // A box from the input's size, so that the corpus tries many.
  const int boxWidth = 1 + static_cast<int>(size % 61), boxHeight = 1 + static_cast<int>(size / 61 % 47);
  OwnedImg fitted;
  const bool reduced = imgJpegDecode(&fitted.img, path.c_str(), {true, boxWidth, boxHeight, true}, &out) == IMG_OK;
  // Damaged data decode the same way twice: both readings succeed or neither.
  if (reduced != decoded) abort();
  if (reduced) {
    OwnedImg resized;
    if (imgResize(&resized.img, boxWidth, boxHeight, &img.img, false) != 0) abort();
    if (resized.img.width != fitted.img.width || resized.img.height != fitted.img.height) abort();
    for (int y = 0; y < fitted.img.height; ++y)
      if (!std::equal(fitted.img.rows[y], fitted.img.rows[y] + 3 * fitted.img.width, resized.img.rows[y])) abort();
  } else if (fitted.img.rows != nullptr) {
    abort();
  }
  return 0;
}
