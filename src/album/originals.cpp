// The library's files copied or hard-linked into the out folder.
#include "album/originals.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "base/fatal.h"
#include "base/settings.h"
#include "util/album_root.h"
#include "util/file_handle.h"
#include "util/paths.h"
#include "util/temp_file.h"

namespace {

// A regular file at target that is the original already: the same file
// (a hard link), or one of its size and modification time.
bool placedAlready(const std::string& target, const struct stat& original) {
  struct stat st;
  if (lstat(target.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  if (st.st_ino == original.st_ino && st.st_dev == original.st_dev) return true;
  return st.st_size == original.st_size && st.st_mtim.tv_sec == original.st_mtim.tv_sec &&
         st.st_mtim.tv_nsec == original.st_mtim.tv_nsec;
}

// Hard-links the opened file (source, named path) to target through a
// temporary name; false when the file system or the kernel's rules refuse
// it, nothing then left behind.
bool hardLink(const char* path, const struct stat& source, const std::string& target) {
  const std::string name = pathBaseName(target.c_str());
  const FileDescriptor dir(fileOpenAlbumDirectory(target.substr(0, target.size() - name.size()), true));
  if (dir.fd < 0) return false;
  const std::string temp = fileTempName(name);
  if (linkat(AT_FDCWD, path, dir.fd, temp.c_str(), 0) != 0) return false;
  // The name may have been swapped since it was opened: only the file that
  // was checked is linked.
  struct stat linked;
  if (fstatat(dir.fd, temp.c_str(), &linked, AT_SYMLINK_NOFOLLOW) != 0 || linked.st_ino != source.st_ino ||
      linked.st_dev != source.st_dev || renameat(dir.fd, temp.c_str(), dir.fd, name.c_str()) != 0) {
    unlinkat(dir.fd, temp.c_str(), 0);
    return false;
  }
  return true;
}

// Copies the opened file to target aside, with the original's time.
int copy(int source, const struct stat& original, const std::string& target) {
  TempFile file;
  if (const int failure = file.create(target)) return failure;
  char buffer[64 * 1024];
  for (;;) {
    const ssize_t n = read(source, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0) break;
    if (fwrite(buffer, 1, static_cast<size_t>(n), file.get()) != static_cast<size_t>(n)) return errno ? errno : EIO;
  }
  // Flushed first: a later write would give the copy a time of its own.
  if (fflush(file.get()) != 0) return errno ? errno : EIO;
  const struct timespec times[2] = {original.st_atim, original.st_mtim};
  if (futimens(fileno(file.get()), times) != 0) return errno;
  return file.commit();
}

}  // namespace

bool albumPlacesOriginals() {
  return fileAlbumIsOut() && (gSettings.originals == Originals::Copied || gSettings.originals == Originals::HardLinked);
}

void albumPlaceOriginalOrReport(const char* path) {
  const std::string why = albumPlaceOriginal(path);
  if (!why.empty()) report("can't place \"%s\" in the album: %s", path, why.c_str());
}

std::string albumPlaceOriginal(const char* path) {
  const Originals mode = gSettings.originals;
  if (!fileAlbumIsOut()) return "";
  const std::string target = fileOutPath(path);
  const FileDescriptor source(open(path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  struct stat st;
  if (source.fd < 0 || fstat(source.fd, &st) != 0) return strerror(errno);
  if (!S_ISREG(st.st_mode)) return "not a regular file";
  if (placedAlready(target, st)) return "";
  if (mode == Originals::HardLinked && hardLink(path, st, target)) return "";
  const int failure = copy(source.fd, st, target);
  return failure ? strerror(failure) : "";
}
