// GIF adapter over gd: a GIF decoded into a palette image, handed out pixel by
// pixel through callbacks, or into an Img.
#pragma once

#include "img/img.h"

using GifSizeFn = void (*)(void* user, int width, int height);
using GifEndFn = void (*)(void* user);
using GifPixelFn = void (*)(void* user, int x, int y, int red, int green, int blue);

// Decodes path with gd, then calls sizeFn once with the image's size, pixelFn
// once per pixel (rows from the top, each left to right) with its palette
// entry's colour (transparency is not treated specially), and endFn once.
// The file and the gd image are released before returning.
// Returns 0; 1 cannot open; 2 gd cannot decode, or the gd library cannot be
// loaded (no callback called).
int imgGifLoad(const char* path, GifSizeFn sizeFn, GifEndFn endFn, GifPixelFn pixelFn, void* user);

// Decodes path into the empty record dst. Returns 0, or IMG_GIF_READ (added
// to dst's status) when the file cannot be opened or decoded. A raster that
// cannot be allocated is not a failure here: dst's status then holds
// IMG_GIF_ALLOC | 1 and later operations refuse the record.
int imgGifReadFile(Img* dst, const char* path);
