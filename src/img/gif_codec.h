// GIF adapter over gd: a GIF decoded into a palette image, handed out pixel by
// pixel through callbacks, or into an Img.
#pragma once

#include "img/img.h"

using GifSizeFn = void (*)(void* user, int width, int height);
using GifEndFn = void (*)(void* user);
using GifPixelFn = void (*)(void* user, int x, int y, int red, int green, int blue);

// Returns 0; 1 cannot open; 2 gd cannot decode.
int imgGifLoad(const char* path, GifSizeFn sizeFn, GifEndFn endFn, GifPixelFn pixelFn, void* user);

// Decodes path into the empty record dst. Returns 0 or IMG_GIF_READ; a raster
// that cannot be allocated leaves IMG_GIF_ALLOC | 1 in dst's status.
int imgGifReadFile(Img* dst, const char* path);
