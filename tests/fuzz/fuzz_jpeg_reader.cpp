// JPEG reading through a real file: both header sizes, then the full decode,
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
  static ScratchDir scratch;
  const std::string path = scratch.write("picture.jpg", data, size);

  int width = 0;
  int height = 0;
  int bytes = 0;
  const int stored = imgJpegGetSize(path.c_str(), &width, &height, &bytes);
  if (stored == 0) {
    if (bytes != static_cast<int>(size)) abort();
    if (width > kMaxSide || height > kMaxSide || long{width} * height > kMaxPixels) return 0;
  }

  int uprightWidth = 0;
  int uprightHeight = 0;
  const int upright = imgJpegGetUprightSize(path.c_str(), &uprightWidth, &uprightHeight, nullptr);
  if ((upright == 0) != (stored == 0)) abort();
  if (upright == 0 && !(uprightWidth == width && uprightHeight == height) &&
      !(uprightWidth == height && uprightHeight == width))
    abort();

  Img img{};
  const bool decoded = imgJpegReadFile(&img, path.c_str()) == 0;
  if (decoded) {
    if (upright != 0 || img.status != 0) abort();
    if (img.width != uprightWidth || img.height != uprightHeight) abort();
  } else if (img.rows != nullptr) {
    abort();  // a failed read keeps no pixels
  }

  // A box from the input's size, so that the corpus tries many.
  const int boxWidth = 1 + static_cast<int>(size % 61), boxHeight = 1 + static_cast<int>(size / 61 % 47);
  Img fitted{};
  const bool reduced = imgJpegReadFitted(&fitted, path.c_str(), boxWidth, boxHeight) == 0;
  // Damaged data decode the same way twice: both readings succeed or neither.
  if (reduced != decoded) abort();
  if (reduced) {
    Img resized{};
    if (imgResize(&resized, boxWidth, boxHeight, &img, false) != 0) abort();
    if (resized.width != fitted.width || resized.height != fitted.height) abort();
    for (int y = 0; y < fitted.height; ++y)
      if (!std::equal(fitted.rows[y], fitted.rows[y] + 3 * fitted.width, resized.rows[y])) abort();
    imgDestroy(&resized);
  } else if (fitted.rows != nullptr) {
    abort();
  }
  imgDestroy(&fitted);
  imgDestroy(&img);
  return 0;
}
