// An album folder's own pages, written around its files.
#include "run/album_directory.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "album/pipeline.h"
#include "album/run_tally.h"
#include "base/fatal.h"
#include "base/limits.h"
#include "base/settings.h"
#include "base/user_output.h"
#include "pages/album_pages.h"
#include "pages/media_pages.h"
#include "pages/nav_tree.h"
#include "pages/page_files.h"
#include "run/out_folder.h"
#include "util/album_root.h"
#include "util/files.h"
#include "util/test_hook.h"

namespace {

// Puts the folder's file name (name + tail) after its separator at len. A
// page near the buffer's limit has no room: false, and it is skipped like a
// page that cannot be created.
bool placeFileName(char* path, int len, const char* name, const char* tail) {
  const int room = static_cast<int>(kPathSize) - len - 1;
  int n = snprintf(path + len + 1, room, "%s%s", name, tail);
  return n < room;
}

// -notree: a page in each sub-album listing this folder's sub-albums (the
// current one marked), and the root's own page listing them unmarked. Every
// sub-album's frameset frames its quorvelTop.html, at any depth.
void writeOneLevelPages(char* path, int len, int rootOffset, NameList subAlbums, bool isRoot) {
  path[len] = '/';
  path[len + 1] = '\0';
  userOut("path \"%s\" :\n", path);
  if (isRoot && placeFileName(path, len, "", kTopPage)) {
    userOut("%s\n", fileOutPath(path).c_str());
    htmlWriteTopLevel(path, len + 1, subAlbums, rootOffset, nullptr, false);
  }
  for (const char* name : strListEach(subAlbums)) {
    if (!placeFileName(path, len, name, (std::string("/") + kTopPage).c_str())) continue;
    userOut("   %s\n", fileOutPath(path).c_str());
    htmlWriteTopLevel(path, len + static_cast<int>(strlen(name)) + 2, subAlbums, rootOffset, name, false);
  }
}

// A folder quorvel may not write into would end the run at its first page.
bool writable(const std::string& dir, int* why) {
  const int fd = fileOpenAlbumDirectory(dir);
  const bool ok = fd >= 0 && faccessat(fd, ".", W_OK, AT_EACCESS) == 0;
  *why = errno;
  if (fd >= 0) close(fd);
  return ok;
}

// Whether the folder would show anything: a sub-album that counts, a
// picture, or any file when -mp3 or -video is given.
bool shows(const std::string& dir, bool counts) {
  if (counts) return true;
  const std::unique_ptr<char, decltype(&free)> files(
      dirListQuiet((dir + "/.").c_str(), DirListMode::RegularFiles), &free);
  if (files)
    for (const char* name : strListEach(files.get()))
      if (albumIsPictureName(name) || gSettings.mp3 || gSettings.video) return true;
  return false;
}

}  // namespace

AlbumDirectory albumDirectoryNew() {
  AlbumDirectory dir{decltype(AlbumDirectory::subAlbums)(strListNew(malloc))};
  if (!dir.subAlbums) error("memory...");
  strListInit(dir.subAlbums.get());
  return dir;
}

void albumDirectoryAddSubAlbum(AlbumDirectory& dir, const char* name) {
  dir.counts = true;
  strListAdd(dir.subAlbums.get(), name);
}

bool albumDirectoryOpen(char* path, int len, int rootOffset, AlbumDirectory& dir) {
  const std::string name(path, static_cast<size_t>(len));
  testHook("album", name.c_str());
  int why;
  if (fileAlbumIsOut()) {
    // The out folder follows the library before its pages are written; one
    // not made yet is made with its first file.
    const std::string out = fileOutPath(name);
    outFolderFollow(name, out);
    if (access(out.c_str(), F_OK) == 0 && !writable(out, &why)) {
      if (shows(name, dir.counts)) report("can't write into the album \"%s\": %s", out.c_str(), strerror(why));
      return false;
    }
  } else if (!writable(name, &why)) {
    if (shows(name, dir.counts)) report("can't write into the album \"%s\": %s", name.c_str(), strerror(why));
    return false;
  }
  strListPack(dir.subAlbums.get());
  if (!strListData(dir.subAlbums.get())) error("szz mem");
  const bool isRoot = len + 1 == rootOffset;
  if (gSettings.notree && (isRoot || dir.counts))
    writeOneLevelPages(path, len, rootOffset, strListNames(dir.subAlbums.get()), isRoot);
  return true;
}

bool albumDirectoryFinish(char* path, int len, int rootOffset, AlbumDirectory& dir, DirectoryPages& pages) {
  const NameList subNames = strListNames(dir.subAlbums.get());
  bool counts = dir.counts;
  path[len] = '/';
  path[len + 1] = '\0';
  if (htmlFinishLeft(pages)) {
    counts = true;
    htmlWriteTop(path, subNames, kTopPage, rootOffset, false);
  } else if (counts) {
    htmlWriteTop(path, subNames, kFramesetPage, rootOffset, true);
    // -notree writes no tree: the one-level page of the sub-albums stands in
    // the frameset's place, so the parent's link and the album's entry exist.
    if (gSettings.notree && placeFileName(path, len, "", kFramesetPage)) {
      userOut("%s\n", fileOutPath(path).c_str());
      htmlWriteTopLevel(path, len + 1, subNames, rootOffset, nullptr, true);
    }
  }
  htmlCloseMedia(pages);
  if (counts) tallyAlbum();
  path[len] = '\0';
  return counts;
}
