// GIF adapter: gd decodes, the raster is filled through the pixel callbacks.
#include "img/gif_codec.h"

#include <gd.h>

#include <memory>

#include "img/gd_library.h"
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

void rasterPixel(void* user, int x, int y, int red, int green, int blue) {
  Img* dst = static_cast<Img*>(user);
  if (dst->status != 0) return;  // no raster to store into
  unsigned char* p = dst->rows[y] + x * 3;
  p[0] = static_cast<unsigned char>(red);
  p[1] = static_cast<unsigned char>(green);
  p[2] = static_cast<unsigned char>(blue);
}

}  // namespace

int imgGifLoad(const char* path, GifSizeFn sizeFn, GifEndFn endFn, GifPixelFn pixelFn, void* user) {
  FileHandle file = fileOpen(path, "rb");
  if (!file) return 1;
  // Without gd no GIF can be decoded: as for a file gd refuses.
  const GdLibrary* gd = gdLibrary();
  if (!gd) return 2;
  GdImageHandle image(gd->createFromGif(file.get()), GdImageDeleter{gd});
  file.reset();  // closed as soon as gd is done with it
  if (!image) return 2;

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
  return 0;
}

int imgGifReadFile(Img* dst, const char* path) {
  if (imgGifLoad(path, rasterSize, rasterEnd, rasterPixel, dst) != 0) {
    dst->status |= IMG_GIF_READ;
    return IMG_GIF_READ;
  }
  return 0;
}
