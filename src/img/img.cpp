// Img allocation: the row table and the rows share one heap block, so a
// raster costs one malloc and one free.
#include "img/img.h"

#include <cstdint>
#include <cstdlib>

namespace {

// Largest pixel block handed out. Codecs and effects compute row and raster
// sizes in int; a block beyond this could not be addressed by them.
constexpr uint64_t kMaxBlockBytes = INT32_MAX;

}  // namespace

ImgStatus imgCreate(Img* img, int width, int height) {
  img->width = width;
  img->height = height;
  img->rows = nullptr;
  if (width < 0 || height < 0) {
    img->status = IMG_CREATE_FAILED;
    return IMG_CREATE_FAILED;
  }
  const uint64_t rowBytes = uint64_t(width) * 3;
  const uint64_t tableBytes = uint64_t(height) * sizeof(unsigned char*);
  const uint64_t blockBytes = tableBytes + rowBytes * uint64_t(height);
  // 1 byte at least, so that an empty raster still owns a block like any other.
  void* block = blockBytes <= kMaxBlockBytes ? std::malloc(blockBytes ? blockBytes : 1) : nullptr;
  if (block == nullptr) {
    img->status = IMG_CREATE_FAILED;
    return IMG_CREATE_FAILED;
  }
  auto** table = static_cast<unsigned char**>(block);
  unsigned char* pixels = static_cast<unsigned char*>(block) + tableBytes;
  for (int y = 0; y < height; ++y) table[y] = pixels + rowBytes * uint64_t(y);
  img->rows = table;
  img->status = IMG_OK;
  return IMG_OK;
}

Img* imgDestroy(Img* img) {
  if (img->status == 0 && img->rows != nullptr) {
    std::free(img->rows);
    img->rows = nullptr;
  }
  return img;
}
