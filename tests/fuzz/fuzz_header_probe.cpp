// Picture header probe over any bytes: the design's probe through a real
// file, and the GIF header readers over a buffer that is exactly the input,
// so that a read past its end shows at once.
#include <cstdint>
#include <cstdlib>

#include "fuzz_scratch.h"
#include "img/header_probe.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static ScratchDir scratch;
  const long length = static_cast<long>(size);
  int width = -1;
  int height = -1;
  const std::string path = scratch.write("picture.jpg", data, size);
  if (imgsizeGetSize(path.c_str(), nullptr, nullptr, &width, &height, nullptr, nullptr) == PROBE_OK) {
    if (width < 0 || width > 0xFFFF || height < 0 || height > 0xFFFF) abort();
  }
  const bool gif = imgsizeGetGifSize(data, length, &width, &height);
  if (gif && !imgsizeIsGif(data, length)) abort();
  return 0;
}
