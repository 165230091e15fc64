// The album root: confined writes and reads.
#include "util/album_root.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <set>
#include <vector>

#include "base/settings.h"
#include "util/files.h"

#include "base/user_output.h"
namespace {

// The album being written: its root as the walk names it, and the
// descriptor it was opened as. Set before any thread starts.
std::string gAlbumRoot;
int gAlbumRootFd = -1;

// -out: the folder the album is written into, and the way from it to the
// album root.
std::string gOutRoot;
int gOutRootFd = -1;
std::string gLibraryFromOut;

// The part of dir below root, or null when dir is not in it.
const char* below(const std::string& dir, const std::string& root, int rootFd) {
  if (rootFd < 0 || dir.compare(0, root.size(), root) != 0) return nullptr;
  const char* rest = dir.c_str() + root.size();
  return *rest == '/' || *rest == '\0' || root.back() == '/' ? rest : nullptr;
}

const char* belowRoot(const std::string& dir) { return below(dir, gAlbumRoot, gAlbumRootFd); }

// Opens rest (a path below the folder of rootFd) one name at a time, never
// through a link; with create, a missing folder is made on the way.
int openBelow(int rootFd, const char* rest, bool create) {
  int fd = dup(rootFd);
  std::string name;
  for (const char* at = rest;; ++at) {
    if (*at != '/' && *at != '\0') {
      name += *at;
      continue;
    }
    if (name == ".." && fd >= 0) {
      // The mirror of the album never climbs out of its root.
      close(fd);
      fd = -1;
      errno = EACCES;
    }
    if (!name.empty() && name != "." && fd >= 0) {
      constexpr int kFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
      int next = openat(fd, name.c_str(), kFlags);
      if (next < 0 && errno == ENOENT && create && (mkdirat(fd, name.c_str(), 0777) == 0 || errno == EEXIST))
        next = openat(fd, name.c_str(), kFlags);
      const int failure = errno;
      close(fd);
      fd = next;
      errno = failure;
    }
    name.clear();
    if (*at == '\0') return fd;
  }
}

// Makes path's missing folders, parents first, as mkdir -p does.
int makeFolders(const std::string& path) {
  for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    const std::string part = path.substr(0, slash);
    if (mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) return errno;
    if (slash == std::string::npos) return 0;
  }
}

// The relative way from the folder from to the folder to, both real paths.
std::string wayBetween(const std::string& from, const std::string& to) {
  auto parts = [](const std::string& path) {
    std::vector<std::string> out;
    for (size_t at = 0; at < path.size();) {
      const size_t end = std::min(path.find('/', at), path.size());
      if (end > at) out.push_back(path.substr(at, end - at));
      at = end + 1;
    }
    return out;
  };
  const std::vector<std::string> a = parts(from), b = parts(to);
  size_t common = 0;
  while (common < a.size() && common < b.size() && a[common] == b[common]) ++common;
  std::string way;
  for (size_t i = common; i < a.size(); ++i) way += way.empty() ? ".." : "/..";
  for (size_t i = common; i < b.size(); ++i) way += (way.empty() ? "" : "/") + b[i];
  return way.empty() ? "." : way;
}

}  // namespace

int fileConfineToAlbum(const char* root) {
  if (gAlbumRootFd >= 0) close(gAlbumRootFd);
  gAlbumRoot = root;
  gAlbumRootFd = open(root, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  return gAlbumRootFd < 0 ? errno : 0;
}

int fileWriteAlbumInto(const char* outRoot) {
  if (gOutRootFd >= 0) close(gOutRootFd);
  gOutRoot = outRoot;
  if (const int failure = makeFolders(gOutRoot)) return failure;
  gOutRootFd = open(outRoot, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (gOutRootFd < 0) return errno;
  const std::string out = fileRealPath(outRoot), library = fileRealPath(gAlbumRoot.c_str());
  gLibraryFromOut = out.empty() || library.empty() ? "" : wayBetween(out, library);
  return 0;
}

bool fileAlbumIsOut() { return gOutRootFd >= 0; }

const std::string& fileAlbumOutRoot() { return gOutRoot; }

const std::string& fileLibraryFromOut() { return gLibraryFromOut; }

std::string fileOutPath(const std::string& path) {
  // A path in the out folder already stays (the roots' names may overlap:
  // ".." and "../../site").
  if (!fileAlbumIsOut() || below(path, gOutRoot, gOutRootFd)) return path;
  const char* rest = belowRoot(path);
  if (!rest) return path;
  std::string out = gOutRoot;
  if (*rest && *rest != '/' && out.back() != '/') out += '/';
  return out + rest;
}

std::string fileLibraryLink(const char* relPath) {
  const char* name = strrchr(relPath, '/');
  if (!fileAlbumIsOut() || gSettings.originals != Originals::Linked) return name ? name + 1 : relPath;
  std::string link;
  for (const char* p = relPath; *p; ++p)
    if (*p == '/') link += "../";
  return link + gLibraryFromOut + "/" + relPath;
}

int fileOpenAlbumDirectory(const std::string& dir, bool create) {
  if (const char* rest = below(dir, gOutRoot, gOutRootFd)) return openBelow(gOutRootFd, rest, create);
  const char* rest = belowRoot(dir);
  if (rest && fileAlbumIsOut()) {
    errno = EROFS;
    return -1;
  }
  if (!rest) return open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  return openBelow(gAlbumRootFd, rest, false);
}

bool fileStaysInAlbum(const char* path) {
  struct stat st;
  if (gAlbumRootFd < 0 || lstat(path, &st) != 0 || !S_ISLNK(st.st_mode)) return true;
  const std::string root = fileRealPath(gAlbumRoot.c_str());
  const std::string target = fileRealPath(path);
  if (!target.empty() && !root.empty() &&
      (target.compare(0, root.size() + 1, root + "/") == 0 || (root == "/" && target[0] == '/')))
    return true;
  static std::set<std::string> named;
  if (named.insert(path).second)
    userWarn("\"%s\" is a link out of the album: not read", path);
  return false;
}
