// GIF adapter over gd: a GIF decoded into a palette image, handed out pixel by
// pixel through callbacks, or into an Img.
#pragma once

#include "img/img.h"

using GifSizeFn = void (*)(void* user, int width, int height);
using GifEndFn = void (*)(void* user);
using GifPixelFn = void (*)(void* user, int x, int y, int red, int green, int blue);

// What imgGifLoad returns; no callback is called unless it is GIF_LOAD_OK.
enum GifLoadCode : int {
  GIF_LOAD_OK = 0,
  GIF_LOAD_OPEN = 1,       // cannot open
  GIF_LOAD_DECODE = 2,     // gd cannot decode, or the gd library cannot be loaded
  GIF_LOAD_TOO_LARGE = 3,  // the logical screen claims more than kMaxPicturePixels
  GIF_LOAD_SHORT = 4,      // the file is too short for the screen it claims
};

// Decodes path with gd, then calls sizeFn once with the image's size, pixelFn
// once per pixel (rows from the top, each left to right) with its palette
// entry's colour (transparency is not treated specially), and endFn once.
// The file and the gd image are released before returning.
[[nodiscard]] GifLoadCode imgGifLoad(const char* path, GifSizeFn sizeFn, GifEndFn endFn,
                                     GifPixelFn pixelFn, void* user);

// Decodes path into the empty record dst. Returns 0; IMG_GIF_READ when the
// file cannot be opened or decoded; IMG_GIF_TOO_LARGE when its screen claims
// more than kMaxPicturePixels (gd never called); IMG_GIF_ALLOC when the
// raster cannot be allocated (dst's status is then IMG_GIF_ALLOC | 1). Each
// is added to dst's status.
[[nodiscard]] ImgStatus imgGifReadFile(Img* dst, const char* path);
