// Picture header probe over any bytes: the buffer is exactly the input, so a
// read past its end shows at once.
#include <cstdint>
#include <cstdlib>

#include "img/header_probe.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const long length = static_cast<long>(size);
  int width = -1;
  int height = -1;
  if (imgsizeGetJpgSize(data, length, &width, &height)) {
    if (width < 0 || width > 0xFFFF || height < 0 || height > 0xFFFF) abort();
  }
  const bool gif = imgsizeGetGifSize(data, length, &width, &height);
  if (gif && !imgsizeIsGif(data, length)) abort();
  return 0;
}
