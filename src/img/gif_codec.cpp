// GIF adapter: gd decodes, the raster is filled through the pixel callbacks.
#include "img/gif_codec.h"

#include <sys/stat.h>

#include <gd.h>

#include <cstdio>
#include <memory>

#include "base/limits.h"
#include "img/format_libraries.h"
#include "img/header_probe.h"
#include "util/file_handle.h"

namespace {

struct GdImageDeleter {
  const GdLibrary* gd;
  void operator()(gdImage* im) const { gd->destroy(im); }
};
using GdImageHandle = std::unique_ptr<gdImage, GdImageDeleter>;

void rasterSize(void* user, int width, int height) {
  Img* dst = static_cast<Img*>(user);
  if (imgCreate(dst, width, height) != 0) dst->status |= IMG_GIF_ALLOC;
}

void rasterEnd(void*) {}

// gd allocates the image the GIF describes before it reads a pixel, and
// keeps each image within the logical screen: a screen past the limit, or
// more than the file's bytes could code, is refused from its first bytes, so
// a 35-byte file cannot cost gigabytes.
GifLoadCode screenRefused(FILE* file) {
  unsigned char head[10];
  const size_t got = fread(head, 1, sizeof head, file);
  rewind(file);
  int width, height;
  if (!imgsizeGetGifSize(head, static_cast<long>(got), &width, &height)) return GIF_LOAD_OK;
  if (static_cast<long long>(width) * height > kMaxPicturePixels) return GIF_LOAD_TOO_LARGE;
  struct stat st;
  if (fstat(fileno(file), &st) == 0 && imgClaimOutgrowsBytes(width, height, st.st_size, kGifMaxPixelsPerByte))
    return GIF_LOAD_SHORT;
  return GIF_LOAD_OK;
}

void rasterPixel(void* user, int x, int y, int red, int green, int blue) {
  Img* dst = static_cast<Img*>(user);
  if (dst->status != 0) return;  // no raster to store into
  unsigned char* p = dst->rows[y] + x * 3;
  p[0] = static_cast<unsigned char>(red);
  p[1] = static_cast<unsigned char>(green);
  p[2] = static_cast<unsigned char>(blue);
}

}  // namespace

GifLoadCode imgGifLoad(const char* path, GifSizeFn sizeFn, GifEndFn endFn, GifPixelFn pixelFn,
                       void* user) {
  // Without gd no GIF can be decoded: as for a file gd refuses.
  const GdLibrary* gd = gdLibrary();
  if (!gd) return GIF_LOAD_DECODE;
  GdImageHandle image(nullptr, GdImageDeleter{gd});
  {
    FileHandle file = fileOpen(path, "rb");
    if (!file) return GIF_LOAD_OPEN;
    if (const GifLoadCode refused = screenRefused(file.get())) return refused;
    image.reset(gd->createFromGif(file.get()));
  }  // closed as soon as gd is done with it
  if (!image) return GIF_LOAD_DECODE;

  gdImage* im = image.get();
  const int width = gdImageSX(im);
  const int height = gdImageSY(im);
  sizeFn(user, width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const int c = gd->getPixel(im, x, y);
      pixelFn(user, x, y, gdImageRed(im, c), gdImageGreen(im, c), gdImageBlue(im, c));
    }
  }
  endFn(user);
  return GIF_LOAD_OK;
}

ImgStatus imgGifReadFile(Img* dst, const char* path) {
  switch (imgGifLoad(path, rasterSize, rasterEnd, rasterPixel, dst)) {
    case GIF_LOAD_OK:
      // rasterSize recorded a failed allocation; no pixel was stored.
      return dst->status & IMG_GIF_ALLOC ? IMG_GIF_ALLOC : IMG_OK;
    case GIF_LOAD_TOO_LARGE:
      dst->status |= IMG_GIF_TOO_LARGE;
      return IMG_GIF_TOO_LARGE;
    case GIF_LOAD_SHORT:
      dst->status |= IMG_DATA_SHORT;
      return IMG_DATA_SHORT;
    case GIF_LOAD_OPEN:
    case GIF_LOAD_DECODE:
      break;
  }
  dst->status |= IMG_GIF_READ;
  return IMG_GIF_READ;
}
