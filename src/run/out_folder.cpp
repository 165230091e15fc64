// The out folder of -out:: checked and marked at start-up, cleared of what
// belonged to files gone from the library, and cleaned as a whole.
#include "run/out_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>
#include <vector>

#include "album/derived_names.h"
#include "album/pipeline.h"
#include "base/fatal.h"
#include "pages/media_pages.h"
#include "pages/page_files.h"
#include "run/notice.h"
#include "util/album_root.h"
#include "util/file_handle.h"
#include "util/files.h"
#include "util/paths.h"
#include "util/temp_file.h"
#include "util/text_encode.h"

namespace {

constexpr char kMarkStart[] = "quorvel album of ";
constexpr char kCvPage[] = "cv.html";

// The sheet's link stands in a page's head, which a theme may make long.
constexpr size_t kSheetSearch = 64 * 1024;

// A mark longer than any path is no mark of ours; reading stops there.
constexpr size_t kMarkLimit = PATH_MAX + sizeof kMarkStart + 1;

struct DirCloser {
  void operator()(DIR* d) const { closedir(d); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

std::string joined(const std::string& dir, const std::string& name) {
  return dir.empty() || dir.back() == '/' ? dir + name : dir + "/" + name;
}

// The real path path will have once its missing folders are made: each
// existing name resolved, a missing one appended, a ".." climbing one
// level, as making them one by one would. "" when "." can't be resolved.
std::string realPathToBe(const std::string& path) {
  std::string at = path[0] == '/' ? "/" : fileRealPath(".");
  if (at.empty()) return "";
  for (size_t start = 0; start <= path.size();) {
    const size_t end = std::min(path.find('/', start), path.size());
    const std::string name = path.substr(start, end - start);
    start = end + 1;
    if (name.empty() || name == ".") continue;
    if (name == "..") {
      at.resize(std::max<size_t>(at.rfind('/'), 1));
      continue;
    }
    const std::string next = joined(at, name);
    const std::string real = fileRealPath(next.c_str());
    at = real.empty() ? next : real;
  }
  return at;
}

// Whether the real path path lies below the real folder folder.
bool inside(const std::string& path, const std::string& folder) {
  if (folder == "/") return path != "/";
  return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 && path[folder.size()] == '/';
}

// The regular file name in the folder fd, never through a link, up to limit
// bytes; false when it can't be read.
bool readAt(int fd, const char* name, std::string* text, size_t limit = SIZE_MAX) {
  const FileDescriptor file(openat(fd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  struct stat st;
  if (file.fd < 0 || fstat(file.fd, &st) != 0 || !S_ISREG(st.st_mode)) return false;
  text->clear();
  char buffer[16 * 1024];
  ssize_t got = 0;
  while (text->size() < limit && (got = read(file.fd, buffer, sizeof buffer)) > 0) text->append(buffer, got);
  return got >= 0;
}

bool isRegularAt(int fd, const char* name) {
  struct stat st;
  return fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode);
}

// A folder that holds anything must be an album quorvel made of this very
// library: never write among a user's files or over another album.
void refuseForeignContent(const char* outRoot, const std::string& libraryReal) {
  const DirHandle dir(opendir(outRoot));
  if (!dir) return;  // missing: made below; unreadable: the open says why
  bool empty = true;
  while (const dirent* e = readdir(dir.get()))
    if (!pathIsDotName(e->d_name)) empty = false;
  if (empty) return;
  std::string mark;
  const size_t start = sizeof kMarkStart - 1;
  if (!readAt(dirfd(dir.get()), kOutFolderMark, &mark, kMarkLimit) || mark.compare(0, start, kMarkStart) != 0 ||
      mark.size() < start + 2 || mark.back() != '\n')
    error("-out: \"%s\" holds files and is no album of quorvel's: choose a new or empty folder", outRoot);
  const std::string named = mark.substr(start, mark.size() - start - 1);
  const std::string namedReal = fileRealPath(named.c_str());
  if ((namedReal.empty() ? named : namedReal) != libraryReal)
    error("-out: \"%s\" holds the album of another folder \"%s\"", outRoot, named.c_str());
}

// Writes the mark unless it is there already as it should be: a warm run
// writes nothing.
void writeMark(const char* outRoot, const std::string& libraryReal) {
  const FileDescriptor dir(fileOpenAlbumDirectory(outRoot));
  if (dir.fd < 0 || faccessat(dir.fd, ".", W_OK, AT_EACCESS) != 0)
    error("-out: can't write into \"%s\": %s", outRoot, strerror(errno));
  const std::string text = kMarkStart + libraryReal + "\n";
  std::string present;
  if (readAt(dir.fd, kOutFolderMark, &present, kMarkLimit) && present == text) return;
  const std::string path = joined(outRoot, kOutFolderMark);
  TempFile mark;
  if (const int failure = mark.create(path)) error("can't create \"%s\": %s", path.c_str(), strerror(failure));
  fputs(text.c_str(), mark.get());
  if (const int failure = mark.commit()) error("can't write \"%s\": %s", path.c_str(), strerror(failure));
}

}  // namespace

void outFolderOpen(const char* libraryRoot, const char* outRoot) {
  const std::string library = fileRealPath(libraryRoot);
  if (library.empty()) error("can't read directory \"%s\": %s", libraryRoot, strerror(errno));
  const std::string out = realPathToBe(outRoot);
  if (out.empty()) error("-out: can't find \"%s\": %s", outRoot, strerror(errno));
  if (out == library) error("-out: \"%s\" is the album root itself", outRoot);
  if (inside(out, library)) error("-out: \"%s\" lies inside the album root \"%s\"", outRoot, libraryRoot);
  if (inside(library, out)) error("-out: \"%s\" contains the album root \"%s\"", outRoot, libraryRoot);
  refuseForeignContent(outRoot, library);
  if (const int failure = fileWriteAlbumInto(outRoot))
    error("-out: can't make the folder \"%s\": %s", outRoot, strerror(failure));
  writeMark(outRoot, library);
}

namespace {

// What an out folder mirrors: its library folder and the entries there;
// nothing when the folder is gone from the library.
struct Mirrored {
  bool gone = true;
  std::string dir;
  std::set<std::string> names;
};

// One pass over an out folder: where it is, and the age a temporary must
// have to be taken for a dead run's.
struct Pass {
  int fd;
  std::string path;
  long tempAge;
};

// The folder fd's regular files and real folders; links and everything
// else are left out, so never touched. Read through a descriptor of its own
// so that no other reader's position moves.
bool listOut(int fd, std::vector<std::string>* files, std::vector<std::string>* folders) {
  const int own = openat(fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  const DirHandle dir(own >= 0 ? fdopendir(own) : nullptr);
  if (!dir) {
    if (own >= 0) close(own);
    return false;
  }
  while (const dirent* e = readdir(dir.get())) {
    if (pathIsDotName(e->d_name)) continue;
    // The listing's own type where the file system gives it: a warm run
    // looks at every file of the album, and a stat each costs.
    unsigned char type = e->d_type;
    if (type == DT_UNKNOWN) {
      struct stat st;
      if (fstatat(fd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
      type = S_ISREG(st.st_mode) ? DT_REG : S_ISDIR(st.st_mode) ? DT_DIR : DT_UNKNOWN;
    }
    if (type == DT_REG) files->push_back(e->d_name);
    if (type == DT_DIR) folders->push_back(e->d_name);
  }
  return true;
}

// Whether the page name in the folder fd links the file name.
bool pageLinks(int fd, const char* page, const std::string& name) {
  std::string text;
  return readAt(fd, page, &text) && text.find("href=\"" + linkForm(name.c_str()) + "\"") != std::string::npos;
}

// The derived pictures and picture pages the library's pictures still own.
std::set<std::string> stillOwned(const std::set<std::string>& library) {
  std::set<std::string> owned;
  for (const std::string& name : library) {
    PictureNames names;
    if (!(albumIsAnyPictureName(name.c_str()) || albumIsAnyVideoName(name.c_str())) ||
        !pictureNamesBuild(name.c_str(), &names, false))
      continue;
    owned.insert({names.micro, names.rollover, names.medium, picturePageName(name.c_str()),
                  picturePageName(names.medium.c_str())});
    // -hidpi's files too, whatever this run's options: they are not gone.
    if (pictureNamesBuild(name.c_str(), &names, true))
      owned.insert({names.micro2, names.micro3, names.rollover2, names.rollover3, names.large});
  }
  return owned;
}

// The files among files (the out folder's regular ones) that belonged to a
// file gone from the library. Temporaries are left to the caller.
std::vector<std::string> goneFiles(const Pass& pass, const std::vector<std::string>& files, const Mirrored& library) {
  const std::set<std::string> owned = stillOwned(library.names);
  const std::set<std::string> present(files.begin(), files.end());
  std::set<std::string> gone, goneMicros;
  // -hidpi's names are the out folder's where their picture's thumbnail
  // stands beside them and none of their own does, whatever this run's options.
  auto derived = [&present](const std::string& name) {
    if (!isHidpiName(name.c_str())) return isDerivedName(name.c_str());
    return present.count(hidpiStem(name.c_str()) + ".vi.jpg") > 0 &&
           present.count(name.substr(0, name.size() - strlen(".jpg")) + ".vi.jpg") == 0;
  };
  for (const std::string& name : files)
    if (derived(name) && !owned.count(name)) {
      gone.insert(name);
      if (strEndsWith(name.c_str(), ".vi.jpg")) goneMicros.insert(name);
    }
  for (const std::string& micro : goneMicros) {
    const std::string base = micro.substr(0, micro.size() - strlen(".vi.jpg"));
    for (const std::string& page : {base + ".html", base + ".md.html"})
      if (present.count(page) && !owned.count(page) && !pageIsAlbumPage(page.c_str())) gone.insert(page);
  }
  for (const std::string& name : files) {
    if (library.names.count(name)) continue;
    PictureNames names;
    if ((albumIsAnyPictureName(name.c_str()) || albumIsAnyVideoName(name.c_str())) &&
        pictureNamesBuild(name.c_str(), &names) && goneMicros.count(names.micro))
      gone.insert(name);
    if ((strEndsWithNoCase(name.c_str(), ".mp3") && pageLinks(pass.fd, kRightPage, name)) ||
        (htmlIsVideoName(name.c_str()) && pageLinks(pass.fd, kVideoPage, name)))
      gone.insert(name);
  }
  if (library.gone)
    for (const std::string& name : files)
      if (pageIsAlbumPage(name.c_str()) || name == kPlaylistFile) gone.insert(name);
  return {gone.begin(), gone.end()};
}

// Removes name from the pass's folder; 1 when it went.
long removeFile(const Pass& pass, const std::string& name) {
  if (unlinkat(pass.fd, name.c_str(), 0) == 0) return 1;
  const int failure = errno;
  if (failure != ENOENT) report("can't remove \"%s\": %s", joined(pass.path, name).c_str(), strerror(failure));
  return 0;
}

// Whether the library folder of the out subfolder name is gone: nothing is
// there any more, or no folder.
bool libraryFolderGone(const Mirrored& library, const std::string& name) {
  if (library.gone) return true;
  struct stat st;
  if (lstat(joined(library.dir, name).c_str(), &st) != 0) return errno == ENOENT;
  return !S_ISDIR(st.st_mode);
}

long clearFolder(const Pass& pass, const Mirrored& library);

// Whether the subfolder name is the top of another out folder (its mark is
// there): an album of its own, which this one's upkeep never touches.
bool holdsAlbum(const Pass& pass, const std::string& name) {
  const FileDescriptor folder(openat(pass.fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  return folder.fd >= 0 && isRegularAt(folder.fd, kOutFolderMark);
}

// Clears the out subfolder name as a folder gone from the library, then
// removes it when nothing of the user's kept it.
long clearGoneFolder(const Pass& pass, const std::string& name) {
  const FileDescriptor folder(openat(pass.fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  const int openFailure = errno;
  const Pass inner{folder.fd, joined(pass.path, name), pass.tempAge};
  if (folder.fd < 0) {
    report("can't read the folder \"%s\": %s", inner.path.c_str(), strerror(openFailure));
    return 0;
  }
  const long removed = clearFolder(inner, Mirrored{});
  if (unlinkat(pass.fd, name.c_str(), AT_REMOVEDIR) != 0) {
    const int failure = errno;
    if (failure != ENOTEMPTY && failure != EEXIST && failure != ENOENT)
      report("can't remove \"%s\": %s", inner.path.c_str(), strerror(failure));
  }
  return removed;
}

// Removes from the pass's folder what belonged to files gone from library,
// stale temporaries, and every subfolder gone from it; returns the number
// of files removed.
long clearFolder(const Pass& pass, const Mirrored& library) {
  std::vector<std::string> files, folders;
  if (!listOut(pass.fd, &files, &folders)) {
    report("can't read the folder \"%s\": %s", pass.path.c_str(), strerror(errno));
    return 0;
  }
  long removed = 0;
  for (const std::string& name : goneFiles(pass, files, library)) removed += removeFile(pass, name);
  for (const std::string& name : files) {
    if (!fileIsTempName(name.c_str())) continue;
    const std::string path = joined(pass.path, name);
    const int failure = fileRemoveStaleTemp(path.c_str(), pass.tempAge);
    if (failure == 0) ++removed;
    if (failure > 0 && failure != ENOENT) report("can't remove \"%s\": %s", path.c_str(), strerror(failure));
  }
  for (const std::string& name : folders)
    if (libraryFolderGone(library, name) && !holdsAlbum(pass, name)) removed += clearGoneFolder(pass, name);
  return removed;
}

// The -css: sheet placed in the out folder (-originals:copy, link, none),
// named by the link the top page carries; one linked in the library, or
// named with "..", is no file of the out folder's.
long removePlacedSheet(const Pass& pass) {
  constexpr char kSheetLink[] = "<link rel=\"stylesheet\" type=\"text/css\" href=\"";
  std::string page;
  size_t at = std::string::npos;
  for (const char* name : kAlbumPages)
    if (readAt(pass.fd, name, &page, kSheetSearch) && (at = page.find(kSheetLink)) != std::string::npos) break;
  if (at == std::string::npos) return 0;
  const size_t start = at + sizeof kSheetLink - 1;
  const std::string sheet = page.substr(start, page.find('"', start) - start);
  if (sheet.empty() || sheet[0] == '/' || sheet.find("..") != std::string::npos ||
      sheet.find_first_of("%:") != std::string::npos)
    return 0;
  const size_t slash = sheet.rfind('/');
  const FileDescriptor folder(slash == std::string::npos ? dup(pass.fd)
                                                     : fileOpenAlbumDirectory(joined(pass.path, sheet.substr(0, slash))));
  if (folder.fd < 0 || !isRegularAt(folder.fd, sheet.substr(slash + 1).c_str())) return 0;
  return removeFile(Pass{folder.fd, joined(pass.path, sheet.substr(0, slash + 1)), pass.tempAge},
                    sheet.substr(slash + 1));
}

}  // namespace

void outFolderFollow(const std::string& libraryDir, const std::string& outDir) {
  const FileDescriptor out(fileOpenAlbumDirectory(outDir));
  if (out.fd < 0) return;  // nothing made there yet; a folder that can't be opened fails its pages
  Mirrored library{false, libraryDir, {}};
  const DirHandle dir(opendir(libraryDir.c_str()));
  if (!dir) return;  // what the library holds is unknown: nothing can be told gone
  while (const dirent* e = readdir(dir.get()))
    if (!pathIsDotName(e->d_name)) library.names.insert(e->d_name);
  clearFolder(Pass{out.fd, outDir, kStaleTempSeconds}, library);
}

bool outFolderIsMarked(const std::string& dir) { return isRegularAt(AT_FDCWD, joined(dir, kOutFolderMark).c_str()); }

long outFolderClean(const std::string& dir) {
  const FileDescriptor out(open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (out.fd < 0) {
    report("can't read the folder \"%s\": %s", dir.c_str(), strerror(errno));
    return 0;
  }
  // The cleaner runs alone: a temporary no live run holds is a dead one's.
  const Pass pass{out.fd, dir, 0};
  long removed = removePlacedSheet(pass);
  removed += clearFolder(pass, Mirrored{});
  if (isRegularAt(out.fd, kCvPage) && docIsOwnCv(joined(dir, kCvPage).c_str())) removed += removeFile(pass, kCvPage);
  // The mark last: a clean cut short can be run again.
  if (isRegularAt(out.fd, kOutFolderMark)) removed += removeFile(pass, kOutFolderMark);
  return removed;
}
