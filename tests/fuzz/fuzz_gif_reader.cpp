// GIF reading through a real file into a raster.
//
// Screens larger than kMaxPixels are skipped: gd allocates what the header
// claims, and such inputs only slow the search down.
#include <cstdint>
#include <cstdlib>

#include "fuzz_scratch.h"
#include "img/gif_codec.h"
#include "img/header_probe.h"
#include "img/img.h"

namespace {

constexpr long kMaxPixels = 1L << 20;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static ScratchDir scratch;
  int width = 0;
  int height = 0;
  if (imgsizeGetGifSize(data, static_cast<long>(size), &width, &height) &&
      long{width} * height > kMaxPixels)
    return 0;
  const std::string path = scratch.write("picture.gif", data, size);

  Img img{};
  if (imgGifReadFile(&img, path.c_str()) == 0) {
    // Decoded: a raster, or none with its allocation failure recorded.
    if (img.status == 0 ? img.rows == nullptr : img.status != (IMG_GIF_ALLOC | 1)) abort();
  } else if (img.rows != nullptr) {
    abort();  // a failed read keeps no pixels
  }
  imgDestroy(&img);
  return 0;
}
