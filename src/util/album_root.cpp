// The album root: confined writes and reads.
#include "util/album_root.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <set>

#include "base/user_output.h"
namespace {

// The album being written: its root as the walk names it, and the
// descriptor it was opened as. Set before any thread starts.
std::string gAlbumRoot;
int gAlbumRootFd = -1;

// The part of dir below the album root, or null when dir is not in it.
const char* belowRoot(const std::string& dir) {
  if (gAlbumRootFd < 0 || dir.compare(0, gAlbumRoot.size(), gAlbumRoot) != 0) return nullptr;
  const char* rest = dir.c_str() + gAlbumRoot.size();
  return *rest == '/' || *rest == '\0' || gAlbumRoot.back() == '/' ? rest : nullptr;
}

// The real path of path, "" when it can't be resolved.
std::string resolved(const char* path) {
  char* real = realpath(path, nullptr);
  if (!real) return "";
  std::string out = real;
  free(real);
  return out;
}

}  // namespace

int fileConfineToAlbum(const char* root) {
  if (gAlbumRootFd >= 0) close(gAlbumRootFd);
  gAlbumRoot = root;
  gAlbumRootFd = open(root, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  return gAlbumRootFd < 0 ? errno : 0;
}

int fileOpenAlbumDirectory(const std::string& dir) {
  const char* rest = belowRoot(dir);
  if (!rest) return open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  int fd = dup(gAlbumRootFd);
  std::string name;
  for (const char* at = rest;; ++at) {
    if (*at != '/' && *at != '\0') {
      name += *at;
      continue;
    }
    if (!name.empty() && name != "." && fd >= 0) {
      const int next = openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      const int failure = errno;
      close(fd);
      fd = next;
      errno = failure;
    }
    name.clear();
    if (*at == '\0') return fd;
  }
}

bool fileStaysInAlbum(const char* path) {
  struct stat st;
  if (gAlbumRootFd < 0 || lstat(path, &st) != 0 || !S_ISLNK(st.st_mode)) return true;
  const std::string root = resolved(gAlbumRoot.c_str());
  const std::string target = resolved(path);
  if (!target.empty() && !root.empty() &&
      (target.compare(0, root.size() + 1, root + "/") == 0 || (root == "/" && target[0] == '/')))
    return true;
  static std::set<std::string> named;
  if (named.insert(path).second)
    userWarn("\"%s\" is a link out of the album: not read", path);
  return false;
}
