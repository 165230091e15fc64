// Owning handle for a C stdio stream: whatever path leaves a scope, the
// stream it opened is closed.
#pragma once

#include <cstdio>
#include <memory>

struct FileCloser {
  void operator()(FILE* f) const {
    if (f) fclose(f);
  }
};

// An open stream or none (null). Pages left open across handler calls live in
// such handles in the walk's per-directory state.
using FileHandle = std::unique_ptr<FILE, FileCloser>;

// Opens path with mode; the handle is empty when fopen fails.
inline FileHandle fileOpen(const char* path, const char* mode) {
  return FileHandle(fopen(path, mode));
}
