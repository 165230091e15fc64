// The gd graphics library, loaded on first use: a run that decodes no GIF
// never maps it (nor the many libraries it pulls in).
#pragma once

#include <gd.h>

#include <cstdio>

// The gd functions the GIF adapter calls. The image's fields (size, palette)
// are read directly, as gd's own accessor macros do.
struct GdLibrary {
  gdImagePtr (*createFromGif)(FILE* file);
  int (*getPixel)(gdImagePtr image, int x, int y);
  void (*destroy)(gdImagePtr image);
  // Where gd's warnings and errors go (by default, standard error).
  decltype(&gdSetErrorMethod) setErrorMethod;
};

// Loads libgd.so.3 once per process (thread-safe) and returns its functions,
// or null when the library or one of the functions cannot be had; later
// calls give the same answer. The library stays loaded until the process
// ends.
const GdLibrary* gdLibrary();
