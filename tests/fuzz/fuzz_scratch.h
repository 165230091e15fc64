// Scratch files for harnesses whose code under test reads a path: one private
// directory per process, files rewritten for every input, all removed at exit.
// Also the capture of what a function writes to a stream.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

class ScratchDir {
 public:
  ScratchDir() {
    const char* tmp = getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/quorvel-fuzz-XXXXXX";
    if (!mkdtemp(pattern.data())) {
      perror("mkdtemp");
      abort();  // no harness can run without it
    }
    dir_ = pattern;
  }
  ~ScratchDir() {
    for (const std::string& name : written_) unlink(path(name).c_str());
    rmdir(dir_.c_str());
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  std::string path(const std::string& name) const { return dir_ + "/" + name; }

  // Replaces the file's content with the size bytes of data; returns its path.
  std::string write(const std::string& name, const void* data, size_t size) {
    const std::string where = path(name);
    FILE* f = fopen(where.c_str(), "wb");
    if (!f || fwrite(data, 1, size, f) != size || fclose(f) != 0) {
      perror(where.c_str());
      abort();  // a half-written input would be fuzzing the disk, not the code
    }
    written_.insert(name);
    return where;
  }

 private:
  std::string dir_;
  std::set<std::string> written_;
};

// What write(FILE*) writes, as bytes.
template <class Write>
std::string streamText(Write write) {
  char* buffer = nullptr;
  size_t length = 0;
  FILE* out = open_memstream(&buffer, &length);
  if (!out) abort();
  write(out);
  fclose(out);
  std::string result(buffer, length);
  free(buffer);
  return result;
}
