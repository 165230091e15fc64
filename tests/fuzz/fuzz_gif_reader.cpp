// GIF reading through a real file: the header, then the whole decode, whose
// raster must have the screen's size at most, and the fitted decode.
//
// Screens larger than kMaxPixels are skipped: gd allocates what the header
// claims, and such inputs only slow the search down.
#include <cstdint>
#include <cstdlib>

#include "fuzz_scratch.h"
#include "img/gif_codec.h"
#include "img/img.h"

namespace {

constexpr long kMaxPixels = 1L << 20;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static MemoryFile file;
  const std::string& path = file.write(data, size);
  ImgHeaderInfo screen;
  ImgDecoded out;
  if (imgGifReadHeader(path.c_str(), &screen, &out) == IMG_OK && long{screen.width} * screen.height > kMaxPixels)
    return 0;
  for (const ImgDecodeTarget target : {ImgDecodeTarget{}, ImgDecodeTarget{true, 64, 48, true}}) {
    OwnedImg img;
    if (imgGifDecode(&img.img, path.c_str(), target, &out) == IMG_OK) {
      // gd keeps the image within the screen.
      if (img.img.status != 0 || img.img.rows == nullptr) abort();
      if (!target.fit && (img.img.width > screen.width || img.img.height > screen.height)) abort();
    } else if (img.img.rows != nullptr) {
      abort();  // a failed read keeps no pixels
    }
  }
  return 0;
}
