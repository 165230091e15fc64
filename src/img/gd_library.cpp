// dlopen'ed gd: what a GIF needs, paid for only when a GIF is decoded.
#include "img/gd_library.h"

#include <dlfcn.h>

#include <memory>

namespace {

struct DlCloser {
  void operator()(void* handle) const { dlclose(handle); }
};
using DlHandle = std::unique_ptr<void, DlCloser>;

// The library handle and its functions; empty functions when it failed.
struct Loaded {
  DlHandle handle;
  GdLibrary functions{};
  bool complete = false;

  Loaded() : handle(dlopen("libgd.so.3", RTLD_NOW | RTLD_LOCAL)) {
    if (!handle) return;
    functions.createFromGif = reinterpret_cast<decltype(functions.createFromGif)>(symbol("gdImageCreateFromGif"));
    functions.getPixel = reinterpret_cast<decltype(functions.getPixel)>(symbol("gdImageGetPixel"));
    functions.destroy = reinterpret_cast<decltype(functions.destroy)>(symbol("gdImageDestroy"));
    functions.setErrorMethod =
        reinterpret_cast<decltype(functions.setErrorMethod)>(symbol("gdSetErrorMethod"));
    complete = functions.createFromGif && functions.getPixel && functions.destroy && functions.setErrorMethod;
  }
  void* symbol(const char* name) const { return dlsym(handle.get(), name); }
};

}  // namespace

const GdLibrary* gdLibrary() {
  static const Loaded loaded;
  return loaded.complete ? &loaded.functions : nullptr;
}
