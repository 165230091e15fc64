// Files: stat, safe opening, text loading and the sorted directory listing.
#include "util/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/limits.h"
#include "base/user_output.h"
#include "util/file_handle.h"

namespace {

// What the selection callback of scandir needs; it takes no context argument.
const char* listedDir = "";
DirListMode listedMode = DirListMode::Subdirectories;

int selectEntry(const struct dirent* entry) {
  const char* name = entry->d_name;
  // The listing's own type spares a stat per entry; only file systems that
  // do not give it need one.
  if (entry->d_type != DT_UNKNOWN) {
    if (listedMode == DirListMode::Subdirectories) return entry->d_type == DT_DIR ? 1 : 0;
    return entry->d_type == DT_REG ? 1 : 0;
  }

  std::string path = listedDir;
  if (!path.empty() && path.back() != '/') path += '/';
  path += name;
  // The walk lists "dir/."; drop every "/./" so the joined path is plain.
  for (size_t at = path.find("/./"); at != std::string::npos; at = path.find("/./")) path.erase(at, 2);

  struct stat st;
  if (lstat(path.c_str(), &st) != 0) return 0;
  if (S_ISLNK(st.st_mode)) return 0;
  if (listedMode == DirListMode::Subdirectories) return S_ISDIR(st.st_mode) ? 1 : 0;
  return S_ISREG(st.st_mode) ? 1 : 0;
}

// Byte order whatever locale may be in force: names are byte strings.
int byteOrder(const struct dirent** a, const struct dirent** b) {
  return strcmp((*a)->d_name, (*b)->d_name);
}

}  // namespace

time_t fileDate(const char* path, int* year, int* month, int* day, int* hour, int* minute,
                int* second, long long* size) {
  struct stat st;
  if (stat(path, &st) != 0) return 0;
  if (year || month || day || hour || minute || second) {
    // localtime fails only for times beyond its calendar: parts stay untouched.
    if (const struct tm* local = localtime(&st.st_mtime)) {
      if (year) *year = local->tm_year + 1900;
      if (month) *month = local->tm_mon + 1;
      if (day) *day = local->tm_mday;
      if (hour) *hour = local->tm_hour;
      if (minute) *minute = local->tm_min;
      if (second) *second = local->tm_sec;
    }
  }
  if (size) *size = st.st_size;
  return st.st_mtime;
}

long long fileSize(const char* path) {
  struct stat st;
  if (stat(path, &st) != 0) return 0;
  return static_cast<long long>(st.st_size);
}

FileHandle fileOpenRead(const char* path) {
  const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    errno = EINVAL;
    return nullptr;
  }
  // The flag stays: reads of a regular file never block, with it or without.
  FILE* file = fdopen(fd, "rb");
  if (!file) close(fd);
  return FileHandle(file);
}

namespace {

struct timespec modified(const char* path) {
  struct stat st;
  if (stat(path, &st) != 0) return {};
  return st.st_mtim;
}

}  // namespace

bool fileModifiedAfter(const char* a, const char* b) {
  const struct timespec ta = modified(a), tb = modified(b);
  return ta.tv_sec != tb.tv_sec ? ta.tv_sec > tb.tv_sec : ta.tv_nsec > tb.tv_nsec;
}

FileHandle fileCreateNewAt(int dirFd, const char* name) {
  const int fd = openat(dirFd, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  // Best effort: where the file system has no locks, a leftover is simply
  // never taken for a dead run's (fileRemoveStaleTemp needs the lock too).
  (void)flock(fd, LOCK_EX | LOCK_NB);
  FILE* file = fdopen(fd, "wb");
  if (!file) {
    const int failure = errno;
    close(fd);
    unlinkat(dirFd, name, 0);
    errno = failure;
  }
  return FileHandle(file);
}

FileHandle fileCreateNew(const char* path) { return fileCreateNewAt(AT_FDCWD, path); }

FileHandle fileOpen(const char* path, const char* mode) {
  if (mode[0] == 'r') return fileOpenRead(path);
  return FileHandle(fopen(path, mode));
}

FILE* fileOpenIn(const char* dir, const char* name, const char* mode) {
  if (dir == nullptr) dir = "";
  if (name == nullptr) name = "";
  size_t dirLen = strlen(dir);
  size_t nameLen = strlen(name);
  if (dirLen + nameLen > kPathSize - 1) return nullptr;
  char path[kPathSize];
  memcpy(path, dir, dirLen);
  memcpy(path + dirLen, name, nameLen + 1);
  return fileOpen(path, mode).release();
}

char* fileLoadIn(AllocFn allocFn, const char* dir, const char* name) {
  FileHandle file(fileOpenIn(dir, name, "rt"));
  if (!file) return nullptr;
  struct stat st;
  if (fstat(fileno(file.get()), &st) != 0 || st.st_size <= 0) return nullptr;
  const size_t size = static_cast<size_t>(st.st_size) < kTextFileLimit
                          ? static_cast<size_t>(st.st_size)
                          : kTextFileLimit;

  char* block = static_cast<char*>(allocFn(size + 1));
  if (block == nullptr) return nullptr;
  size_t got = fread(block, 1, size, file.get());
  block[got] = '\0';
  // A Ctrl-Z marks the end of text in files from older editors.
  if (char* eof = static_cast<char*>(memchr(block, 0x1A, got))) *eof = '\0';
  return block;
}

char* fileLoad(AllocFn allocFn, const char* name) { return fileLoadIn(allocFn, "", name); }

namespace {

// The listing, or null with *unreadable set when the directory can't be read.
char* listDirectory(const char* dir, DirListMode mode, bool* unreadable) {
  *unreadable = false;
  listedDir = dir;
  listedMode = mode;
  struct dirent** entries = nullptr;
  int count = scandir(dir, &entries, selectEntry, byteOrder);
  if (count < 0) {
    *unreadable = true;
    return nullptr;
  }

  size_t total = 0;
  for (int i = 0; i < count; ++i) total += strlen(entries[i]->d_name) + 1;
  char* block = static_cast<char*>(malloc(total + 2));
  if (block) {
    char* w = block;
    for (int i = 0; i < count; ++i) {
      size_t len = strlen(entries[i]->d_name) + 1;
      memcpy(w, entries[i]->d_name, len);
      w += len;
    }
    w[0] = w[1] = '\0';
  }
  for (int i = 0; i < count; ++i) free(entries[i]);
  free(entries);
  return block;
}

}  // namespace

char* dirList(const char* dir, DirListMode mode) {
  bool unreadable;
  char* names = listDirectory(dir, mode, &unreadable);
  if (!unreadable) return names;
  userOut("pb scandir %s\n", dir);
  char* empty = static_cast<char*>(malloc(2));
  if (empty) empty[0] = empty[1] = '\0';
  return empty;
}

char* dirListQuiet(const char* dir, DirListMode mode) {
  bool unreadable;
  return listDirectory(dir, mode, &unreadable);
}

std::string fileRealPath(const char* path) {
  char* real = realpath(path, nullptr);
  if (!real) return "";
  std::string out = real;
  free(real);
  return out;
}
