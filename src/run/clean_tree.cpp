// The album cleaner.
#include "run/clean_tree.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "album/own_files.h"
#include "album/pipeline.h"
#include "base/fatal.h"
#include "base/user_output.h"
#include "pages/page_files.h"
#include "run/notice.h"
#include "run/out_folder.h"
#include "util/file_handle.h"
#include "util/paths.h"
#include "util/temp_file.h"
#include "util/test_hook.h"

namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;

struct Cleaning {
  dev_t device;             // the album root's file system, never left
  long removed = 0;
  bool incomplete = false;  // a folder left alone: what quorvel wrote may remain
};

struct Listing {
  std::vector<std::string> files;    // regular files, not links
  std::vector<std::string> folders;  // real folders on the root's file system
};

struct DirCloser {
  void operator()(DIR* d) const { closedir(d); }
};

// The folder open as fd. False, named, when it can't be read, or listed but
// not entered (no search permission: nothing in it can be told apart).
bool listFolder(int fd, const std::string& dir, const Cleaning& c, Listing* out) {
  const int copy = dup(fd);  // fdopendir keeps it
  std::unique_ptr<DIR, DirCloser> d(copy >= 0 ? fdopendir(copy) : nullptr);
  if (!d) {
    const int failure = errno;
    if (copy >= 0) close(copy);
    report("can't read the folder \"%s\": %s", dir.c_str(), strerror(failure));
    return false;
  }
  while (const dirent* e = readdir(d.get())) {
    if (!strcmp(e->d_name, ".") || !strcmp(e->d_name, "..")) continue;
    struct stat st;
    if (fstatat(fd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
      if (errno == ENOENT) continue;  // gone since the listing
      report("can't enter the folder \"%s\": %s", dir.c_str(), strerror(errno));
      return false;
    }
    if (S_ISREG(st.st_mode))
      out->files.emplace_back(e->d_name);
    else if (S_ISDIR(st.st_mode) && st.st_dev != c.device)
      userWarn("\"%s/%s\" is on another file system, not entered", dir.c_str(), e->d_name);
    else if (S_ISDIR(st.st_mode))
      out->folders.emplace_back(e->d_name);
  }
  std::sort(out->folders.begin(), out->folders.end());
  return true;
}

bool isTemporary(const std::string& name) {
  return fileIsTempName(name.c_str()) || strEndsWith(name.c_str(), kLegacyTempSuffix);
}

// A running quorvel holds the lock of every temporary it writes: its pages
// and pictures there are half made, and removing the rest would leave its
// album with broken links.
bool liveRunIn(int fd, const std::vector<std::string>& files) {
  for (const std::string& name : files) {
    if (!isTemporary(name)) continue;
    const FileDescriptor temp(openat(fd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (temp.fd >= 0 && flock(temp.fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) return true;
  }
  return false;
}

void removeOwnFiles(int fd, const std::string& dir, const std::vector<std::string>& files, Cleaning& c) {
  for (const std::string& name : albumOwnFiles(fd, dir, files)) {
    if (unlinkat(fd, name.c_str(), 0) == 0)
      ++c.removed;
    else if (errno != ENOENT)
      report("can't remove \"%s/%s\": %s", dir.c_str(), name.c_str(), strerror(errno));
  }
}

void cleanFolder(int fd, const std::string& dir, Cleaning& c) {
  Listing listing;
  if (!listFolder(fd, dir, c, &listing)) return;
  testHook("cleaning", dir.c_str());
  if (liveRunIn(fd, listing.files)) {
    userWarn("a running quorvel is writing in \"%s\", left as it is", dir.c_str());
    c.incomplete = true;
  } else {
    removeOwnFiles(fd, dir, listing.files, c);
  }
  for (const std::string& name : listing.folders) {
    const std::string path = dir + "/" + name;
    // Opened by name from here, never through a link: a folder swapped for
    // one since the listing is not entered.
    const FileDescriptor sub(openat(fd, name.c_str(), kFolderFlags));
    struct stat st;
    if (sub.fd < 0) {
      if (errno != ELOOP && errno != ENOTDIR && errno != ENOENT)
        report("can't read the folder \"%s\": %s", path.c_str(), strerror(errno));
    } else if (fstat(sub.fd, &st) == 0 && st.st_dev != c.device) {
      userWarn("\"%s\" is on another file system, not entered", path.c_str());
    } else {
      cleanFolder(sub.fd, path, c);
    }
  }
}

bool sameFile(const struct stat& st, const char* path) {
  struct stat other;
  return path && path[0] && stat(path, &other) == 0 && other.st_dev == st.st_dev && other.st_ino == st.st_ino;
}

const char* homeDirectory() {
  const char* home = getenv("HOME");
  if (home && home[0]) return home;
  const passwd* user = getpwuid(getuid());
  return user ? user->pw_dir : nullptr;
}

// An album quorvel made has its fixed pages (one at least) at its top.
bool holdsAlbum(int fd) {
  struct stat st;
  for (const char* page : kAlbumPages)
    if (fstatat(fd, page, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode)) return true;
  return false;
}

// Why root, a folder open as fd, is not to be cleaned; empty when it is.
std::string refusal(const char* root, int fd, bool force) {
  struct stat st;
  if (fstat(fd, &st) != 0) return strerror(errno);
  if (sameFile(st, "/")) return "it is the whole file system";
  if (sameFile(st, homeDirectory())) return "it is your home directory";
  if (!force && !outFolderIsMarked(root) && !holdsAlbum(fd))
    return std::string("no page at its top shows an album quorvel made (quorvel --clean --force \"") + root +
           "\" cleans it all the same)";
  return "";
}

// cv.html in the current directory, where the run wrote it.
long removeCv() {
  struct stat cv;
  if (lstat("cv.html", &cv) != 0 || !S_ISREG(cv.st_mode) || !docIsOwnCv("cv.html")) return 0;
  if (unlink("cv.html") == 0) return 1;
  report("can't remove \"cv.html\": %s", strerror(errno));
  return 0;
}

}  // namespace

int cleanTree(const char* root, bool force) {
  struct stat st;
  if (stat(root, &st) != 0 || !S_ISDIR(st.st_mode)) {
    userErrText("usage: quorvel --clean [--force] <album-dir>\n");
    return 2;
  }
  const FileDescriptor top(open(root, O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_CLOEXEC));
  if (top.fd < 0) {
    report("can't read the folder \"%s\": %s", root, strerror(errno));
    return 1;
  }
  if (const std::string why = refusal(root, top.fd, force); !why.empty()) {
    userWarn("won't clean \"%s\": %s", root, why.c_str());
    return 1;
  }
  fstat(top.fd, &st);
  Cleaning c{st.st_dev};
  long removed = 0;
  if (outFolderIsMarked(root)) {
    removed = outFolderClean(root);
  } else {
    cleanFolder(top.fd, root, c);
    removed = c.removed + removeCv();
  }
  userOut("quorvel: removed %ld file%s\n", removed, removed == 1 ? "" : "s");
  return reportedFailures() > 0 || c.incomplete ? 1 : 0;
}
