// The album walk.
#include "run/walk.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "album/pipeline.h"
#include "base/fatal.h"
#include "base/limits.h"
#include "base/settings.h"
#include "pages/directory_pages.h"
#include "pages/media_pages.h"
#include "pages/nav_tree.h"
#include "pages/templates.h"
#include "util/file_handle.h"
#include "util/files.h"
#include "util/path_filter.h"
#include "util/paths.h"
#include "util/str_list.h"

namespace {

// Owns a StrList record and its storage for one directory's walk.
struct ListDeleter {
  void operator()(StrList* list) const {
    strListRelease(free, list);
    free(list);
  }
};
using ListHandle = std::unique_ptr<StrList, ListDeleter>;

struct BlockDeleter {
  void operator()(char* block) const { free(block); }
};
using NameBlock = std::unique_ptr<char, BlockDeleter>;

bool filtered(const char* path) {
  return gSettings.filter && !pathExprMatch(gSettings.filter, pathFilterForm(path));
}

NameBlock listIn(char* path, int len, DirListMode mode) {
  strcpy(path + len, "/.");
  char* names = dirList(path, mode);
  if (!names) error("mem");
  return NameBlock(names);
}

// Puts the directory's file name (name + tail) after its separator at len.
// A page near the buffer's limit has no room: false, and it is skipped like a
// page that cannot be created.
bool placeFileName(char* path, int len, const char* name, const char* tail) {
  const int room = static_cast<int>(kPathSize) - len - 1;
  int n = snprintf(path + len + 1, room, "%s%s", name, tail);
  return n < room;
}

// -notree: a page in each sub-album listing this directory's sub-albums
// (the current one marked), and the root's own page listing them unmarked.
// Every sub-album's frameset frames its quorvelTop.html, at any depth.
void writeOneLevelPages(char* path, int len, int rootOffset, NameList subAlbums, bool isRoot) {
  path[len + 1] = '\0';
  printf("path \"%s\" :\n", path);
  if (isRoot && placeFileName(path, len, "", "quorvelTop.html")) {
    printf("%s\n", path);
    htmlWriteTopLevel(path, len + 1, subAlbums, rootOffset, nullptr, false);
  }
  for (const char* name : strListEach(subAlbums)) {
    if (!placeFileName(path, len, name, "/quorvelTop.html")) continue;
    printf("   %s\n", path);
    htmlWriteTopLevel(path, len + static_cast<int>(strlen(name)) + 2, subAlbums, rootOffset, name,
                      false);
  }
}

// Drops temporaries from the listing (removing those an interrupted run
// left): they are no files of the album, so no handler sees them and they
// take no index.
void dropLeftoverTemps(char* path, int len, char* names) {
  char* out = names;
  for (const char* name = names; *name;) {
    size_t size = strlen(name) + 1;
    strcpy(path + len + 1, name);
    if (!albumRemoveLeftoverTemp(path)) {
      memmove(out, name, size);
      out += size;
    }
    name += size;
  }
  out[0] = out[1] = '\0';
}

// A root that is not there or cannot be listed would walk as an empty album
// and end in success; it ends the run instead. Directories below it that
// cannot be listed are still walked as empty.
void refuseUnusableRoot(const char* root) {
  struct stat st;
  if (stat(root, &st) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) error("no such directory \"%s\"", root);
    error("can't read directory \"%s\"", root);
  }
  if (!S_ISDIR(st.st_mode)) error("not a directory \"%s\"", root);
  DIR* dir = opendir(root);
  if (!dir) error("can't read directory \"%s\"", root);
  closedir(dir);
}

// Prints the directory's heading; false when the filter leaves it out.
bool announce(const char* path, int rootOffset) {
  if (filtered(path)) return false;
  if (path[rootOffset - 1] == '\0')
    fputs("*** . ***\n", stdout);
  else
    printf("*** %s ***\n", path + rootOffset);
  return true;
}

// ---------------------------------------------------------------- ahead
// With workers on, the walk plans the pictures of the directory it reaches
// next while it adds those of the current one, so that no thread idles at the
// turn. The walk takes files after subdirectories, so the next directory is
// the first one, in walk order, of the next sibling's subtree that the filter
// lets through, else the parent. Only listings are taken ahead: the walk
// writes nothing into a directory before adding its files (but under
// -notree, which is never planned ahead), and the files listed ahead are the
// ones it walks there.

bool gLookAhead = false;
// The directory whose files come after those of the directory being entered
// ("" when unknown), set by the parent before it walks each subdirectory.
std::string gNext;
// The files listed ahead, and whose they are.
std::string gAheadDir;
NameBlock gAheadFiles;

bool isDotName(const char* name) { return !strcmp(name, ".") || !strcmp(name, ".."); }

std::string childPath(const std::string& dir, const char* name) { return dir + "/" + name; }

// The paths of the listed files in dir that the filter lets in.
std::vector<std::string> walkedFiles(const std::string& dir, const char* names) {
  std::vector<std::string> paths;
  for (const char* name : strListEach(names)) {
    std::string path = childPath(dir, name);
    if (!filtered(path.c_str())) paths.push_back(std::move(path));
  }
  return paths;
}

// The first directory of dir's subtree that the walk adds pictures to:
// down its first walked subdirectory until there is none. "" when a listing
// fails (the walk prints why when it gets there).
std::string firstInWalkOrder(std::string dir) {
  for (;;) {
    NameBlock dirs(dirListQuiet((dir + "/.").c_str(), DirListMode::Subdirectories));
    if (!dirs) return "";
    const char* first = nullptr;
    for (const char* name : strListEach(dirs.get())) {
      if (!isDotName(name) && !filtered(childPath(dir, name).c_str())) {
        first = name;
        break;
      }
    }
    if (!first) return dir;
    dir = childPath(dir, first);
  }
}

// The directory walked after subdirectory names[i] of dir.
std::string nextAfter(const std::string& dir, const std::vector<const char*>& names, size_t i) {
  for (size_t j = i + 1; j < names.size(); ++j) {
    const std::string sibling = childPath(dir, names[j]);
    if (!filtered(sibling.c_str())) return firstInWalkOrder(sibling);
  }
  return dir;
}

// Lists next's files and plans its pictures behind those planned already.
void planAhead(const std::string& next) {
  if (next.empty()) return;
  NameBlock files(dirListQuiet((next + "/.").c_str(), DirListMode::RegularFiles));
  if (!files) return;
  albumPlanPictures(walkedFiles(next, files.get()), true);
  gAheadDir = next;
  gAheadFiles = std::move(files);
}

// ---------------------------------------------------------------- walk

// Walks each subdirectory; the names of those that count go into subAlbums.
// True when any counts.
bool walkSubdirectories(char* path, int len, int rootOffset, StrList* subAlbums) {
  bool counts = false;
  NameBlock dirs = listIn(path, len, DirListMode::Subdirectories);
  std::vector<const char*> names;
  for (const char* name : strListEach(dirs.get()))
    if (!isDotName(name)) names.push_back(name);
  const std::string dir(path, static_cast<size_t>(len));
  for (size_t i = 0; i < names.size(); ++i) {
    const char* name = names[i];
    strcpy(path + len + 1, name);
    // A subdirectory the filter leaves out is not walked: nothing comes after it.
    gNext = gLookAhead && !filtered(path) ? nextAfter(dir, names, i) : "";
    if (walkDirectory(path, len + 1 + static_cast<int>(strlen(name)), rootOffset)) {
      counts = true;
      strListAdd(subAlbums, name);
    }
  }
  return counts;
}

// Hands the directory's files to the MP3, video and picture writers, one
// pass each, skipping what the filter leaves out. next is the directory
// walked after this one, planned ahead ("" for none).
void walkFiles(char* path, int len, int rootOffset, DirectoryPages& pages, const std::string& next) {
  const std::string dir(path, static_cast<size_t>(len));
  const bool listedAhead = gAheadFiles && gAheadDir == dir;
  NameBlock files = listedAhead ? std::move(gAheadFiles) : listIn(path, len, DirListMode::RegularFiles);
  gAheadFiles.reset();
  gAheadDir.clear();
  dropLeftoverTemps(path, len, files.get());
  int index = 1;
  // The index keeps counting across passes: it only has to be unique
  // within the directory's Left page.
  auto pass = [&](auto handle) {
    for (const char* name : strListEach(files.get())) {
      strcpy(path + len + 1, name);
      if (filtered(path)) continue;
      handle(index);
      ++index;
    }
  };
  if (gSettings.mp3) pass([&](int) { htmlAddMp3(pages, path, rootOffset); });
  if (gSettings.video) pass([&](int) { htmlAddVideo(pages, path, rootOffset); });
  if (!listedAhead) albumPlanPictures(walkedFiles(dir, files.get()));
  if (gLookAhead) planAhead(next);
  pass([&](int i) { albumAddPicture(pages, path, rootOffset, i); });
}

// Threads that make pictures: QUORVEL_JOBS when it is a number from 1 up,
// else one per online CPU.
int pictureThreads() {
  constexpr long kMaxThreads = 64;
  if (const char* text = getenv("QUORVEL_JOBS")) {
    char* end;
    errno = 0;
    const long n = strtol(text, &end, 10);
    if (errno == 0 && end != text && !*end && n >= 1) return static_cast<int>(std::min(n, kMaxThreads));
  }
  const long online = sysconf(_SC_NPROCESSORS_ONLN);
  return static_cast<int>(std::clamp(online, 1L, kMaxThreads));
}

}  // namespace

bool walkDirectory(char* path, int len, int rootOffset) {
  const std::string next = std::exchange(gNext, "");
  if (!announce(path, rootOffset)) return false;

  ListHandle subAlbums(strListNew(malloc));
  if (!subAlbums) error("memory...");
  strListInit(subAlbums.get());
  bool counts = walkSubdirectories(path, len, rootOffset, subAlbums.get());
  strListPack(subAlbums.get());
  if (!strListData(subAlbums.get())) error("szz mem");
  const NameList subNames = strListNames(subAlbums.get());

  const bool isRoot = len + 1 == rootOffset;
  if (gSettings.notree && (isRoot || counts)) writeOneLevelPages(path, len, rootOffset, subNames, isRoot);

  DirectoryPages pages;
  walkFiles(path, len, rootOffset, pages, next);
  if (htmlFinishLeft(pages)) {
    counts = true;
    path[len + 1] = '\0';
    htmlWriteTop(path, subNames, "quorvelTop.html", rootOffset, false);
  } else if (counts) {
    path[len] = '/';
    path[len + 1] = '\0';
    htmlWriteTop(path, subNames, "quorvelFrameset.html", rootOffset, true);
    // -notree writes no tree: the one-level page of the sub-albums stands in
    // the frameset's place, so the parent's link and the album's entry exist.
    if (gSettings.notree && placeFileName(path, len, "", "quorvelFrameset.html")) {
      printf("%s\n", path);
      htmlWriteTopLevel(path, len + 1, subNames, rootOffset, nullptr, true);
    }
  }
  htmlCloseMedia(pages);

  path[len] = '\0';
  return counts;
}

void albumWalk(const char* root) {
  // "" would walk "/" (a script's unset variable); the whole disk is not an
  // album anyone asked for. "/" given as such stays allowed.
  if (!*root) error("the album root is empty");
  char path[kPathSize];
  size_t rootLength = strlen(root);
  // Room for the separator, a one-character name, "/." and the NUL.
  if (rootLength + 5 > sizeof path) error("path too long \"%s\"", root);
  refuseUnusableRoot(root);
  memcpy(path, root, rootLength + 1);
  printf("######## %s ########\n", root);
  albumStartWorkers(pictureThreads());
  gLookAhead = albumPlansAhead() && !gSettings.notree;
  walkDirectory(path, static_cast<int>(rootLength), static_cast<int>(rootLength) + 1);
  albumStopWorkers();
  gLookAhead = false;
  gAheadFiles.reset();
}
