// The album walk: the walk's order over the album root, each folder's files
// listed (leftover temporaries removed) and handed to the MP3, video and
// picture writers, the next folder's pictures planned ahead for the workers,
// and the folder's pages finished around them.
#include "run/walk.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "album/memory_budget.h"
#include "album/originals.h"
#include "album/pipeline.h"
#include "album/run_tally.h"
#include "base/fatal.h"
#include "base/limits.h"
#include "base/settings.h"
#include "base/user_output.h"
#include "pages/directory_pages.h"
#include "pages/media_pages.h"
#include "pages/page_files.h"
#include "run/album_directory.h"
#include "run/notice.h"
#include "run/options.h"
#include "run/out_folder.h"
#include "run/walk_order.h"
#include "util/album_root.h"
#include "util/files.h"
#include "util/paths.h"
#include "util/str_list.h"

namespace {

struct BlockDeleter {
  void operator()(char* block) const { free(block); }
};
using NameBlock = std::unique_ptr<char, BlockDeleter>;

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

// Drops from the listing the names that would not fit, each named once.
void dropTooLong(const char* path, int len, char* names) {
  char* out = names;
  for (const char* name = names; *name;) {
    size_t size = strlen(name) + 1;
    if (walkFits(static_cast<size_t>(len), name)) {
      memmove(out, name, size);
      out += size;
    } else {
      walkReportTooLong(path, static_cast<size_t>(len), name);
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
  if (walkFiltered(path)) return false;
  if (path[rootOffset - 1] == '\0')
    userOutText("*** . ***\n");
  else
    userOut("*** %s ***\n", path + rootOffset);
  return true;
}

// The paths of the listed files in dir that the filter lets in.
std::vector<std::string> walkedFiles(const std::string& dir, const char* names) {
  std::vector<std::string> paths;
  for (const char* name : strListEach(names)) {
    if (!walkFits(dir.size(), name)) continue;
    std::string path = dir + "/" + name;
    if (!walkFiltered(path.c_str())) paths.push_back(std::move(path));
  }
  return paths;
}

// -nav -video: the Live Photos among names (a picture and a video the
// album shows among the pictures, of one stem): each video's name, mapped to
// its picture's (the first in walk order of that stem).
std::map<std::string, std::string> livePhotos(const char* names) {
  std::map<std::string, std::string> pictures, pairs;
  if (!gSettings.nav || !gSettings.video) return pairs;
  for (const char* name : strListEach(names))
    if (albumIsPictureName(name) && !albumIsVideoEntryName(name)) pictures.emplace(pathWithoutExt(name), name);
  for (const char* name : strListEach(names))
    if (albumIsVideoEntryName(name)) {
      const auto picture = pictures.find(pathWithoutExt(name));
      if (picture != pictures.end()) pairs.emplace(name, picture->second);
    }
  return pairs;
}

// The pictures below root that look to be made this run, for the progress
// line: the walk's order followed without a word, names and dates only, no
// link followed.
long countExpected(const char* root) {
  long count = 0;
  WalkQuietLister quiet;
  walkInOrder(root, quiet, [&count](const WalkLevels& levels) {
    const std::string& dir = levels.back().dir;
    if (NameBlock files{dirListQuiet((dir + "/.").c_str(), DirListMode::RegularFiles)}) {
      const std::map<std::string, std::string> motions = livePhotos(files.get());
      for (const std::string& path : walkedFiles(dir, files.get()))
        if (!motions.count(pathBaseName(path.c_str()))) count += albumExpectsMaking(path.c_str());
    }
  });
  return count;
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

  // Forgets the listing: taken, or its folder left out.
  void drop() {
    files.reset();
    dir.clear();
  }
};

// Lists next's files and plans its pictures behind those planned already.
void planAhead(LookAhead& ahead, const std::string& next) {
  if (next.empty()) return;
  NameBlock files(dirListQuiet((next + "/.").c_str(), DirListMode::RegularFiles));
  if (!files) return;
  albumPlanPictures(walkedFiles(next, files.get()), true);
  ahead.dir = next;
  ahead.files = std::move(files);
}

// ---------------------------------------------------------------- files

// Counts path for the summary when an option not given would take it.
void tallyFile(const char* path) {
  const char* name = pathBaseName(path);
  if (!gSettings.allpics && albumIsAnyPictureName(name) && !albumIsPictureName(name)) tallyNotTaken("-allpics", name);
  if (!gSettings.video && htmlIsVideoName(name)) tallyNotTaken("-video", name);
  if (!gSettings.mp3 && strEndsWithNoCase(name, ".mp3")) tallyNotTaken("-mp3", name);
}

// The files listed for dir: those listed ahead, when they are dir's.
NameBlock takeFiles(LookAhead& ahead, char* path, int len, bool* listedAhead) {
  *listedAhead = ahead.files && ahead.dir == std::string(path, static_cast<size_t>(len));
  NameBlock files = *listedAhead ? std::move(ahead.files) : listFilesIn(path, len);
  ahead.drop();
  return files;
}

// Hands the directory's files to the MP3, video and picture writers, one
// pass each, skipping what the filter leaves out, and plans the pictures of
// next, the directory walked after this one, when looking ahead.
void walkFiles(char* path, int len, int rootOffset, DirectoryPages& pages, LookAhead& ahead,
               const std::string& next) {
  strcpy(path + len, "/.");  // the separator the names are written after
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
      if (walkFiltered(path)) continue;
      handle(index);
      ++index;
    }
  };
  if (tallyOn()) pass([&](int) { tallyFile(path); });
  const bool places = albumPlacesOriginals();
  if (gSettings.mp3)
    pass([&](int) {
      htmlAddMp3(pages, path, rootOffset);
      if (places && strEndsWithNoCase(path, ".mp3")) albumPlaceOriginalOrReport(path);
    });
  // Under -nav the videos browsers play stand among the pictures instead.
  if (gSettings.video)
    pass([&](int) {
      if (!albumIsVideoEntryName(pathBaseName(path))) htmlAddVideo(pages, path, rootOffset);
      if (places && htmlIsVideoName(path)) albumPlaceOriginalOrReport(path);
    });
  if (!listedAhead) albumPlanPictures(walkedFiles(std::string(path, static_cast<size_t>(len)), files.get()));
  if (ahead.on) planAhead(ahead, next);
  // A Live Photo is its picture's entry, which plays its video on request.
  std::map<std::string, std::string> motionOf;
  for (const auto& [video, picture] : livePhotos(files.get())) {
    // Root-relative, as the walk's paths are; the root itself has no part.
    const std::string dir = len >= rootOffset ? std::string(path + rootOffset, static_cast<size_t>(len - rootOffset)) : "";
    motionOf.emplace(picture, (dir.empty() ? "" : dir + "/") + video);
    motionOf.emplace(video, "");
  }
  pass([&](int i) {
    const auto pair = motionOf.find(pathBaseName(path));
    if (pair == motionOf.end())
      albumAddPicture(pages, path, rootOffset, i);
    else if (!pair->second.empty())
      albumAddPicture(pages, path, rootOffset, i, pair->second.c_str());
  });
}

// ---------------------------------------------------------------- walk

// The walk's own lister, on the 300-byte path buffer: it prints each
// heading, lists aloud, and keeps a folder's record for each level entered.
struct Walk final : WalkLister {
  char* path;
  int rootOffset;
  LookAhead ahead;
  std::vector<AlbumDirectory> dirs;

  bool enter(const std::string& dir) override {
    memcpy(path, dir.c_str(), dir.size() + 1);
    return announce(path, rootOffset);
  }
  WalkNames subdirectories(const std::string& dir) override {
    dirs.push_back(albumDirectoryNew());
    return walkNamesOf(listIn(path, static_cast<int>(dir.size()), DirListMode::Subdirectories).get(), dir, true);
  }
  void take(const WalkLevels& levels);
};

// Takes the deepest level's files and writes its pages; its parent learns
// whether it counts.
void Walk::take(const WalkLevels& levels) {
  const std::string& dir = levels.back().dir;
  const int len = static_cast<int>(dir.size());
  memcpy(path, dir.c_str(), dir.size() + 1);
  const std::string next = ahead.on ? walkNextDirectory(levels) : "";
  bool counts = false;
  if (albumDirectoryOpen(path, len, rootOffset, dirs.back())) {
    DirectoryPages pages;
    walkFiles(path, len, rootOffset, pages, ahead, next);
    counts = albumDirectoryFinish(path, len, rootOffset, dirs.back(), pages);
  } else {
    ahead.drop();
  }
  dirs.pop_back();
  if (counts && levels.size() > 1) {
    const WalkLevel& parent = levels[levels.size() - 2];
    albumDirectoryAddSubAlbum(dirs.back(), (*parent.subdirs)[parent.next - 1].c_str());
  }
}

// -out: the out folder checked and marked, the about page written into it,
// and the style sheet placed there unless the pages link the library's.
void openOutFolder(const char* root) {
  // A picture's path fits the 300-byte buffer, and its derived names the
  // 400-character limit with room to spare: the out folder may take that
  // room, and no more, so that every picture the walk takes has its files.
  if (strlen(gSettings.out) > strlen(root) + kOutRootRoom)
    error("-out: \"%s\" is too long: at most %zu characters more than the album root \"%s\"", gSettings.out,
          kOutRootRoom, root);
  outFolderOpen(root, gSettings.out);
  const std::string cv = fileOutPath(std::string(root) + "/cv.html");
  switch (docWriteCv(cv.c_str())) {
    case CvOutcome::Written:
      break;
    case CvOutcome::LeftAlone:
      userWarn("\"%s\" is not quorvel's about page, left as it is", cv.c_str());
      break;
    case CvOutcome::Failed:
      error("can't write \"%s\"", cv.c_str());
  }
  if (gSettings.css && gSettings.originals != Originals::Linked)
    albumPlaceOriginalOrReport((std::string(root) + "/" + gSettings.css).c_str());
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
  if (gSettings.out) openOutFolder(root);
  userOut("######## %s ########\n", root);
  if (tallyOn()) tallyExpect(countExpected(root));
  memoryBudgetSet(optionsMemoryBudget());
  albumStartWorkers(optionsPictureThreads());

  Walk walk{};
  walk.path = path;
  walk.rootOffset = static_cast<int>(rootLength) + 1;
  walk.ahead.on = albumPlansAhead() && !gSettings.notree;
  if (!walkInOrder(root, walk, [&walk](const WalkLevels& levels) { walk.take(levels); }))
    userWarn("-filter: leaves out the album root \"%s\": nothing was walked", root);
  albumStopWorkers();
  if (tallyOn()) {
    std::string opens = fileOutPath(std::string(root) + (root[rootLength - 1] == '/' ? "" : "/") + kFramesetPage);
    struct stat st;
    if (stat(opens.c_str(), &st) != 0) opens.clear();
    fflush(stdout);
    userErrText(tallySummary(opens));
  }
}
