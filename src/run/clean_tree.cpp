// The album cleaner.
#include "run/clean_tree.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "album/own_files.h"
#include "album/pipeline.h"
#include "base/fatal.h"
#include "base/user_output.h"
#include "run/notice.h"
#include "run/out_folder.h"
#include "util/paths.h"
#include "util/temp_file.h"

namespace {

// The directory's regular files and links to regular files, and its real
// subdirectories (a link to a folder leads out of the tree: never entered).
bool listDirectory(const std::string& dir, std::vector<ListedFile>* files, std::vector<std::string>* subdirs) {
  DIR* d = opendir(dir.c_str());
  if (!d) return false;
  while (const dirent* e = readdir(d)) {
    if (!strcmp(e->d_name, ".") || !strcmp(e->d_name, "..")) continue;
    const std::string path = dir + "/" + e->d_name;
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) continue;
    if (S_ISREG(st.st_mode))
      files->push_back({e->d_name, true});
    else if (S_ISDIR(st.st_mode))
      subdirs->push_back(path);
    else if (S_ISLNK(st.st_mode) && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode))
      files->push_back({e->d_name, false});
  }
  closedir(d);
  std::sort(subdirs->begin(), subdirs->end(), std::greater<>());
  return true;
}

// A temporary goes only when no live run holds it.
bool isTemporary(const std::string& name) {
  return fileIsTempName(name.c_str()) || strEndsWith(name.c_str(), kLegacyTempSuffix);
}

long removeOwnFiles(const std::string& dir, const std::vector<ListedFile>& files) {
  long removed = 0;
  for (const std::string& name : albumOwnFiles(dir, files)) {
    const std::string path = dir + "/" + name;
    int failure = 0;
    if (isTemporary(name)) {
      failure = fileRemoveStaleTemp(path.c_str(), 0);
      if (failure < 0) continue;
    } else if (unlink(path.c_str()) != 0) {
      failure = errno;
    }
    if (failure == 0)
      ++removed;
    else if (failure != ENOENT)
      report("can't remove \"%s\": %s", path.c_str(), strerror(failure));
  }
  return removed;
}

// An album written beside its pictures, and cv.html in the current
// directory.
long cleanAlbumInPlace(const char* root) {
  long removed = 0;
  std::vector<std::string> pending{root};
  while (!pending.empty()) {
    const std::string dir = std::move(pending.back());
    pending.pop_back();
    std::vector<ListedFile> files;
    std::vector<std::string> subdirs;
    if (!listDirectory(dir, &files, &subdirs)) {
      report("can't read the folder \"%s\": %s", dir.c_str(), strerror(errno));
      continue;
    }
    removed += removeOwnFiles(dir, files);
    pending.insert(pending.end(), subdirs.begin(), subdirs.end());
  }
  struct stat cv;
  if (lstat("cv.html", &cv) == 0 && S_ISREG(cv.st_mode) && docIsOwnCv("cv.html")) {
    if (unlink("cv.html") == 0)
      ++removed;
    else
      report("can't remove \"cv.html\": %s", strerror(errno));
  }
  return removed;
}

}  // namespace

int cleanTree(const char* root) {
  struct stat st;
  if (stat(root, &st) != 0 || !S_ISDIR(st.st_mode)) {
    userErrText("usage: quorvel --clean <album-dir>\n");
    return 2;
  }
  const long removed = outFolderIsMarked(root) ? outFolderClean(root) : cleanAlbumInPlace(root);
  userOut("quorvel: removed %ld file%s\n", removed, removed == 1 ? "" : "s");
  return reportedFailures() > 0 ? 1 : 0;
}
