// Owning handle for a C stdio stream: whatever path leaves a scope, the
// stream it opened is closed.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <memory>

struct FileCloser {
  void operator()(FILE* f) const {
    if (f) fclose(f);
  }
};

// An open stream or none (null).
using FileHandle = std::unique_ptr<FILE, FileCloser>;

// An open descriptor or none (-1), closed when its scope ends.
struct FileDescriptor {
  explicit FileDescriptor(int opened) : fd(opened) {}
  ~FileDescriptor() {
    if (fd >= 0) close(fd);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int fd;
};

// Opens path for reading ("rb") only when it is a regular file. The open does
// not block (a FIFO or a device named like a picture or caption would hang
// the run), and whatever fstat does not call a regular file is refused.
// Empty, errno set (EINVAL when path is no regular file), on failure.
FileHandle fileOpenRead(const char* path);

// Creates path for writing ("wb"), mode 0666 less the umask, only when
// nothing is there: an existing file or a symbolic link, dangling or not, is
// never written through (O_CREAT|O_EXCL|O_NOFOLLOW). While the stream is open
// it holds an exclusive flock where the file system has locks, which tells a
// live run's temporary from a dead run's (fileRemoveStaleTemp). Empty, errno
// set, on failure.
FileHandle fileCreateNew(const char* path);
// As fileCreateNew, name taken relative to the directory open as dirFd.
FileHandle fileCreateNewAt(int dirFd, const char* name);

// Opens path with mode. Read modes ("r…") go through fileOpenRead: regular
// files only, without blocking. Other modes are plain fopen.
FileHandle fileOpen(const char* path, const char* mode);
