// Files for harnesses whose code under test reads a path: a file in memory
// for a reader of any path, a private directory (in memory where /dev/shm is
// there) for one that wants a name or its neighbours; rewritten for every
// input, removed at exit. Also the capture of what a function writes to a stream.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

class ScratchDir {
 public:
  ScratchDir() {
    const char* tmp = getenv("TMPDIR");
    if (!tmp || !*tmp) tmp = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    std::string pattern = std::string(tmp) + "/quorvel-fuzz-XXXXXX";
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

// An input as a file in memory, for a reader that opens a path: the path
// reopens the same file, so each input is written once and never reaches a
// disk. Nothing is left behind when a finding ends the process.
class MemoryFile {
 public:
  MemoryFile() : fd_(memfd_create("quorvel-fuzz", MFD_CLOEXEC)) {
    if (fd_ < 0) {
      perror("memfd_create");
      abort();
    }
    path_ = "/proc/self/fd/" + std::to_string(fd_);
  }
  ~MemoryFile() { close(fd_); }
  MemoryFile(const MemoryFile&) = delete;
  MemoryFile& operator=(const MemoryFile&) = delete;

  // Replaces the file's content with the size bytes of data; returns its path.
  const std::string& write(const void* data, size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    for (size_t done = 0; done < size;) {
      const ssize_t got = pwrite(fd_, bytes + done, size - done, static_cast<off_t>(done));
      if (got <= 0) {
        perror("pwrite");
        abort();
      }
      done += static_cast<size_t>(got);
    }
    if (ftruncate(fd_, static_cast<off_t>(size)) != 0) {
      perror("ftruncate");
      abort();
    }
    return path_;
  }

 private:
  int fd_;
  std::string path_;
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
