// The album walk.
#include "run/walk.h"

#include <dirent.h>
#include <fcntl.h>
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

#include "album/memory_budget.h"
#include "album/pipeline.h"
#include "album/run_tally.h"
#include "base/fatal.h"
#include "base/limits.h"
#include "base/settings.h"
#include "base/terminal_line.h"
#include "pages/album_pages.h"
#include "pages/directory_pages.h"
#include "pages/media_pages.h"
#include "pages/nav_tree.h"
#include "pages/page_files.h"
#include "pages/templates.h"
#include "util/album_root.h"
#include "util/cpu_count.h"
#include "util/file_handle.h"
#include "util/files.h"
#include "util/path_filter.h"
#include "util/paths.h"
#include "util/str_list.h"
#include "util/temp_file.h"
#include "util/test_hook.h"

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

// The directory's files. One that can't be listed was named when its
// subdirectories were listed: it is not named twice.
NameBlock listFilesIn(char* path, int len) {
  strcpy(path + len, "/.");
  if (char* names = dirListQuiet(path, DirListMode::RegularFiles)) return NameBlock(names);
  DIR* readable = opendir(path);
  if (readable) {
    closedir(readable);
    error("mem");
  }
  char* empty = static_cast<char*>(malloc(2));
  if (!empty) error("mem");
  empty[0] = empty[1] = '\0';
  return NameBlock(empty);
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
  terminalLineHide();
  printf("path \"%s\" :\n", path);
  if (isRoot && placeFileName(path, len, "", kTopPage)) {
    printf("%s\n", path);
    htmlWriteTopLevel(path, len + 1, subAlbums, rootOffset, nullptr, false);
  }
  for (const char* name : strListEach(subAlbums)) {
    if (!placeFileName(path, len, name, (std::string("/") + kTopPage).c_str())) continue;
    printf("   %s\n", path);
    htmlWriteTopLevel(path, len + static_cast<int>(strlen(name)) + 2, subAlbums, rootOffset, name,
                      false);
  }
}

// The walk builds every path in its 300-byte buffer, with room for the "/."
// a subdirectory's listing appends: a name that would not fit beside the
// directory (len characters) can't be walked.
bool fitsPathBuffer(size_t len, const char* name) { return len + strlen(name) + 5 <= kPathSize; }

void reportTooLong(const char* dir, size_t len, const char* name) {
  report("path too long \"%.*s/%s\": left out", static_cast<int>(len), dir, name);
}

// Drops from the listing the names that would not fit, each named once.
void dropTooLong(const char* path, int len, char* names) {
  char* out = names;
  for (const char* name = names; *name;) {
    size_t size = strlen(name) + 1;
    if (fitsPathBuffer(static_cast<size_t>(len), name)) {
      memmove(out, name, size);
      out += size;
    } else {
      reportTooLong(path, static_cast<size_t>(len), name);
    }
    name += size;
  }
  out[0] = out[1] = '\0';
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
  terminalLineHide();
  if (path[rootOffset - 1] == '\0')
    fputs("*** . ***\n", stdout);
  else
    printf("*** %s ***\n", path + rootOffset);
  return true;
}

// ---------------------------------------------------------------- order
// The walk takes a directory's files after all its subdirectories, so it
// runs down a stack of levels: each a directory and the subdirectories it
// has left to walk. walkDescend is the one rule of that order; the walk
// follows it, and so does the look-ahead, on a copy, to learn which
// directory's files come next.

// The listed names are shared, so that the look-ahead's copy of a level
// costs nothing however many subdirectories it has.
using Names = std::shared_ptr<const std::vector<std::string>>;

struct WalkLevel {
  std::string dir;  // as the walk's path buffer holds it
  Names subdirs;    // listed, "." and ".." left out
  size_t next = 0;  // the first one not walked yet
};
using WalkLevels = std::vector<WalkLevel>;

// How the walk meets a directory: whether it goes in (the walk prints its
// heading), and its subdirectories.
struct WalkLister {
  virtual bool enter(const std::string& dir) = 0;
  virtual Names subdirectories(const std::string& dir) = 0;

 protected:
  ~WalkLister() = default;
};

// The subdirectories of dir listed in list that the walk can enter; with
// aloud, each one too long for the path buffer is named.
Names namesOf(const char* list, const std::string& dir, bool aloud) {
  auto names = std::make_shared<std::vector<std::string>>();
  if (list)
    for (const char* name : strListEach(list)) {
      if (pathIsDotName(name)) continue;
      if (fitsPathBuffer(dir.size(), name))
        names->push_back(name);
      else if (aloud)
        reportTooLong(dir.c_str(), dir.size(), name);
    }
  return names;
}

// Goes down from the deepest level into the next subdirectory to walk, and
// on down its first ones, until the deepest level has none left: its files
// are the next the walk takes.
// REQUIRES: levels is not empty.
void walkDescend(WalkLevels& levels, WalkLister& lister) {
  for (;;) {
    WalkLevel& deepest = levels.back();
    if (deepest.next == deepest.subdirs->size()) return;
    std::string child = deepest.dir + "/" + (*deepest.subdirs)[deepest.next++];
    if (!lister.enter(child)) continue;
    Names subdirs = lister.subdirectories(child);
    levels.push_back({std::move(child), std::move(subdirs)});
  }
}

// The look-ahead's lister: the filter's verdict and a listing, without a word.
// A listing that fails gives no subdirectories: the walk lists it again when
// it gets there, and says why.
struct QuietLister final : WalkLister {
  bool enter(const std::string& dir) override { return !filtered(dir.c_str()); }
  Names subdirectories(const std::string& dir) override {
    NameBlock dirs(dirListQuiet((dir + "/.").c_str(), DirListMode::Subdirectories));
    return namesOf(dirs.get(), dir, false);
  }
};

// The directory whose files the walk takes after those of the deepest level
// ("" when the walk ends there). The descent never climbs, so the parent's
// level is all it needs.
std::string nextInWalk(const WalkLevels& levels) {
  if (levels.size() < 2) return "";
  WalkLevels ahead{levels[levels.size() - 2]};
  QuietLister quiet;
  walkDescend(ahead, quiet);
  return ahead.back().dir;
}

// ---------------------------------------------------------------- ahead
// With workers on, the walk plans the pictures of the directory it reaches
// next while it adds those of the current one, so that no thread idles at the
// turn. Only listings are taken ahead: the walk writes nothing into a
// directory before adding its files (but under -notree, which is never
// planned ahead), and the files listed ahead are the ones it walks there.
struct LookAhead {
  bool on = false;
  std::string dir;  // whose files are listed ahead
  NameBlock files;
};

// The paths of the listed files in dir that the filter lets in.
std::vector<std::string> walkedFiles(const std::string& dir, const char* names) {
  std::vector<std::string> paths;
  for (const char* name : strListEach(names)) {
    if (!fitsPathBuffer(dir.size(), name)) continue;
    std::string path = dir + "/" + name;
    if (!filtered(path.c_str())) paths.push_back(std::move(path));
  }
  return paths;
}

// Lists next's files and plans its pictures behind those planned already.
void planAhead(LookAhead& ahead, const std::string& next) {
  if (next.empty()) return;
  NameBlock files(dirListQuiet((next + "/.").c_str(), DirListMode::RegularFiles));
  if (!files) return;
  albumPlanPictures(walkedFiles(next, files.get()), true);
  ahead.dir = next;
  ahead.files = std::move(files);
}

// ---------------------------------------------------------------- walk

// Counts path for the summary when an option not given would take it.
void tallyFile(const char* path) {
  const char* name = pathBaseName(path);
  if (!gSettings.allpics && albumIsAnyPictureName(name) && !albumIsPictureName(name)) tallyNotTaken("-allpics", name);
  if (!gSettings.video && htmlIsVideoName(name)) tallyNotTaken("-video", name);
  if (!gSettings.mp3 && strEndsWithNoCase(name, ".mp3")) tallyNotTaken("-mp3", name);
}

// The pictures below dir that look to be made this run, for the progress
// line: names and dates only, the filter applied, no link followed.
long countExpected(const std::string& dir) {
  long count = 0;
  if (NameBlock files{dirListQuiet((dir + "/.").c_str(), DirListMode::RegularFiles)})
    for (const std::string& path : walkedFiles(dir, files.get())) count += albumExpectsMaking(path.c_str());
  if (NameBlock subdirs{dirListQuiet((dir + "/.").c_str(), DirListMode::Subdirectories)}) {
    const Names names = namesOf(subdirs.get(), dir, false);  // held: the loop walks its vector
    for (const std::string& name : *names) {
      const std::string sub = dir + "/" + name;
      if (!filtered(sub.c_str())) count += countExpected(sub);
    }
  }
  return count;
}

// The files listed for dir: those listed ahead, when they are dir's.
NameBlock takeFiles(LookAhead& ahead, char* path, int len, bool* listedAhead) {
  *listedAhead = ahead.files && ahead.dir == std::string(path, static_cast<size_t>(len));
  NameBlock files = *listedAhead ? std::move(ahead.files) : listFilesIn(path, len);
  ahead.files.reset();
  ahead.dir.clear();
  return files;
}

// Hands the directory's files to the MP3, video and picture writers, one
// pass each, skipping what the filter leaves out, and plans the pictures of
// next, the directory walked after this one, when looking ahead.
void walkFiles(char* path, int len, int rootOffset, DirectoryPages& pages, LookAhead& ahead,
               const std::string& next) {
  bool listedAhead;
  NameBlock files = takeFiles(ahead, path, len, &listedAhead);
  dropTooLong(path, len, files.get());
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
  if (tallyOn()) pass([&](int) { tallyFile(path); });
  if (gSettings.mp3) pass([&](int) { htmlAddMp3(pages, path, rootOffset); });
  if (gSettings.video) pass([&](int) { htmlAddVideo(pages, path, rootOffset); });
  if (!listedAhead) albumPlanPictures(walkedFiles(std::string(path, static_cast<size_t>(len)), files.get()));
  if (ahead.on) planAhead(ahead, next);
  pass([&](int i) { albumAddPicture(pages, path, rootOffset, i); });
}

// An album folder quorvel may not write into (or one swapped for a link
// since it was listed, which files are never written through) would end the
// run at its first page: it is left out whole (its sub-albums are still
// made), named once when it has anything to show. True when it is left out.
bool refuseUnwritable(const char* path, int len, bool counts) {
  const std::string dir(path, static_cast<size_t>(len));
  const int fd = fileOpenAlbumDirectory(dir);
  const bool writable = fd >= 0 && faccessat(fd, ".", W_OK, AT_EACCESS) == 0;
  const int why = errno;
  if (fd >= 0) close(fd);
  if (writable) return false;
  bool shows = counts;
  NameBlock files(dirListQuiet((dir + "/.").c_str(), DirListMode::RegularFiles));
  if (files)
    for (const char* name : strListEach(files.get()))
      if (albumIsPictureName(name) || gSettings.mp3 || gSettings.video) shows = true;
  if (shows) report("can't write into the album \"%s\": %s", dir.c_str(), strerror(why));
  return true;
}

// One directory's part of the walk beyond its subdirectories: the sub-albums
// that count, and whether any does.
struct DirectoryState {
  ListHandle subAlbums;
  bool counts = false;
};

DirectoryState newDirectoryState() {
  DirectoryState state{ListHandle(strListNew(malloc))};
  if (!state.subAlbums) error("memory...");
  strListInit(state.subAlbums.get());
  return state;
}

// Writes the pages of the directory in path (length len), all its
// subdirectories walked. Returns whether it counts: it has a Left page of its
// own or a subdirectory that counts. path is restored before return.
bool finishDirectory(char* path, int len, int rootOffset, DirectoryState& state, LookAhead& ahead,
                     const std::string& next) {
  testHook("album", std::string(path, static_cast<size_t>(len)).c_str());
  if (refuseUnwritable(path, len, state.counts)) {
    ahead.files.reset();
    ahead.dir.clear();
    return false;
  }
  // As the subdirectories' listing leaves it: the separator after the directory.
  strcpy(path + len, "/.");
  strListPack(state.subAlbums.get());
  if (!strListData(state.subAlbums.get())) error("szz mem");
  const NameList subNames = strListNames(state.subAlbums.get());
  bool counts = state.counts;

  const bool isRoot = len + 1 == rootOffset;
  if (gSettings.notree && (isRoot || counts)) writeOneLevelPages(path, len, rootOffset, subNames, isRoot);

  DirectoryPages pages;
  walkFiles(path, len, rootOffset, pages, ahead, next);
  if (htmlFinishLeft(pages)) {
    counts = true;
    path[len + 1] = '\0';
    htmlWriteTop(path, subNames, kTopPage, rootOffset, false);
  } else if (counts) {
    path[len] = '/';
    path[len + 1] = '\0';
    htmlWriteTop(path, subNames, kFramesetPage, rootOffset, true);
    // -notree writes no tree: the one-level page of the sub-albums stands in
    // the frameset's place, so the parent's link and the album's entry exist.
    if (gSettings.notree && placeFileName(path, len, "", kFramesetPage)) {
      terminalLineHide();
      printf("%s\n", path);
      htmlWriteTopLevel(path, len + 1, subNames, rootOffset, nullptr, true);
    }
  }
  htmlCloseMedia(pages);
  if (counts) tallyAlbum();

  path[len] = '\0';
  return counts;
}

// The walk's own lister: it prints each heading and lists aloud, on the
// 300-byte path buffer, and keeps a directory state for each level entered.
struct Walk final : WalkLister {
  char* path;
  int rootOffset;
  std::vector<DirectoryState> states;

  bool enter(const std::string& dir) override {
    memcpy(path, dir.c_str(), dir.size() + 1);
    return announce(path, rootOffset);
  }
  Names subdirectories(const std::string& dir) override {
    states.push_back(newDirectoryState());
    return namesOf(listIn(path, static_cast<int>(dir.size()), DirListMode::Subdirectories).get(), dir, true);
  }
};

// Threads that make pictures: QUORVEL_JOBS when it is a number from 1 up,
// else one per CPU the process may use.
int pictureThreads() {
  constexpr long kMaxThreads = 64;
  if (const char* text = getenv("QUORVEL_JOBS")) {
    char* end;
    errno = 0;
    const long n = strtol(text, &end, 10);
    if (errno == 0 && end != text && !*end && n >= 1) return static_cast<int>(std::min(n, kMaxThreads));
  }
  return static_cast<int>(std::clamp<long>(cpuUsable(), 1, kMaxThreads));
}

// The memory budget of the pictures in flight: QUORVEL_MEMORY in MiB when it
// is a number from 1 up, else 1 GiB.
long long memoryBudget() {
  if (const char* text = getenv("QUORVEL_MEMORY")) {
    char* end;
    errno = 0;
    const long long mib = strtoll(text, &end, 10);
    if (errno == 0 && end != text && !*end && mib >= 1 && mib <= (1LL << 40)) return mib << 20;
  }
  return kDefaultMemoryBudget;
}

}  // namespace

void albumWalk(const char* root) {
  // "" would walk "/" (a script's unset variable); the whole disk is not an
  // album anyone asked for. "/" given as such stays allowed.
  if (!*root) error("the album root is empty");
  char path[kPathSize];
  size_t rootLength = strlen(root);
  // Room for the separator, a one-character name, "/." and the NUL.
  if (rootLength + 5 > sizeof path) error("path too long \"%s\"", root);
  refuseUnusableRoot(root);
  if (const int failure = fileConfineToAlbum(root)) error("can't read directory \"%s\": %s", root, strerror(failure));
  printf("######## %s ########\n", root);
  if (tallyOn()) tallyExpect(countExpected(root));
  memoryBudgetSet(memoryBudget());
  albumStartWorkers(pictureThreads());
  LookAhead ahead;
  ahead.on = albumPlansAhead() && !gSettings.notree;

  Walk walk{};
  walk.path = path;
  walk.rootOffset = static_cast<int>(rootLength) + 1;
  WalkLevels levels;
  if (walk.enter(root))
    levels.push_back({root, walk.subdirectories(root)});
  else
    fprintf(stderr, "*** quorvel: -filter: leaves out the album root \"%s\": nothing was walked\n", root);
  while (!levels.empty()) {
    walkDescend(levels, walk);
    const std::string dir = levels.back().dir;
    memcpy(path, dir.c_str(), dir.size() + 1);
    const std::string next = ahead.on ? nextInWalk(levels) : "";
    const bool counts =
        finishDirectory(path, static_cast<int>(dir.size()), walk.rootOffset, walk.states.back(), ahead, next);
    levels.pop_back();
    walk.states.pop_back();
    if (counts && !levels.empty()) {
      DirectoryState& parent = walk.states.back();
      parent.counts = true;
      strListAdd(parent.subAlbums.get(), (*levels.back().subdirs)[levels.back().next - 1].c_str());
    }
  }
  albumStopWorkers();
  if (tallyOn()) {
    std::string opens = std::string(root) + (root[rootLength - 1] == '/' ? "" : "/") + kFramesetPage;
    struct stat st;
    if (stat(opens.c_str(), &st) != 0) opens.clear();
    fflush(stdout);
    fputs(tallySummary(opens).c_str(), stderr);
  }
}
