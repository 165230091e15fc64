// The files quorvel wrote into a directory.
#include "album/own_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <optional>
#include <set>

#include "album/derived_names.h"
#include "album/derived_pictures.h"
#include "album/pipeline.h"
#include "img/jpeg_codec.h"
#include "pages/page_files.h"
#include "pages/templates.h"
#include "util/file_handle.h"
#include "util/paths.h"
#include "util/temp_file.h"
#include "util/text_encode.h"

namespace {

// Enough for any built-in head, a long -nav title and a -css: link included.
constexpr size_t kPageHeadRead = 16 * 1024;
// A Left page is read whole; one past this is no page quorvel wrote.
constexpr size_t kLeftPageRead = 64 * 1024 * 1024;

// The first bytes (up to limit) of name in dirFd when it is a regular file,
// not a link; empty otherwise.
std::string readStart(int dirFd, const std::string& name, size_t limit) {
  const FileDescriptor in(openat(dirFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  struct stat st;
  if (in.fd < 0 || fstat(in.fd, &st) != 0 || !S_ISREG(st.st_mode)) return {};
  std::string bytes(std::min(limit, static_cast<size_t>(st.st_size)), '\0');
  size_t got = 0;
  while (got < bytes.size()) {
    const ssize_t n = read(in.fd, bytes.data() + got, bytes.size() - got);
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  bytes.resize(got);
  return bytes;
}

// What the lines quorvel's code writes into the folder's own pages, under
// any template, show a run made there; each page read once.
class FolderPages {
 public:
  explicit FolderPages(int dirFd) : dirFd_(dirFd) {}

  // -mp3: the MP3 page's first entry.
  bool linksPlaylist() {
    const std::string right = readStart(dirFd_, kRightPage, kPageHeadRead);
    return right.find(std::string("<li> <a href=\"") + kPlaylistFile + "\"><b>") != std::string::npos;
  }

  // -allpics: a thumbnail's entry shows it.
  bool showsThumbnail(const std::string& micro) {
    return left().find("src=\"" + linkForm(micro.c_str()) + "\"") != std::string::npos;
  }

  // A thumbnail's entry opens page, the picture's own, in the display frame.
  bool opens(const std::string& page) {
    return left().find("<a href=\"" + linkForm(page.c_str()) + "\" target=\"right\"") != std::string::npos;
  }

 private:
  const std::string& left() {
    if (!left_) left_ = readStart(dirFd_, kLeftPage, kLeftPageRead);
    return *left_;
  }

  int dirFd_;
  std::optional<std::string> left_;
};

// Whether a run took name as a picture: its thumbnail stands beside it. An
// earlier version took every name ending in .jpg but its own three so.
bool takenAsPicture(const std::string& name, const std::set<std::string>& regular) {
  PictureNames names;
  return pictureNamesBuild(name.c_str(), &names, false) && regular.count(names.micro);
}

// A video's derived pictures are quorvel's only where its thumbnail carries
// the comment quorvel's posters carry: a run without -nav -video leaves a
// user's clip.vi.jpg beside clip.mp4 for what it is.
bool ownPoster(const std::string& dir, const PictureNames& names, const std::set<std::string>& regular) {
  if (!regular.count(names.micro)) return false;
  ImgHeaderInfo header;
  ImgDecoded said;
  std::string comment;
  return imgJpegReadStoredHeader((dir + "/" + names.micro).c_str(), &header, &said, &comment) == IMG_OK &&
         comment.rfind(kVideoCommentStart, 0) == 0;
}

// Whether a run made derived files from name: every run takes a .jpg or a
// .gif; the others only under the option that shows in what it wrote.
bool madeFrom(const std::string& dir, const std::string& name, const PictureNames& names,
              const std::set<std::string>& regular, FolderPages& pages) {
  // By its path: a -hidpi name is derived where its picture's thumbnail stands beside it.
  if (albumIsAnyPictureName((dir + "/" + name).c_str())) {
    const char* n = name.c_str();
    return strEndsWithNoCase(n, ".jpg") || strEndsWithNoCase(n, ".gif") || pages.showsThumbnail(names.micro);
  }
  return albumIsAnyVideoName(name.c_str()) && ownPoster(dir, names, regular);
}

// What a run writes beside the picture name: derived pictures, their
// earlier versions' temporaries, and the picture's pages.
void addDerived(const std::string& name, const PictureNames& names, const std::set<std::string>& regular,
                std::set<std::string>* own) {
  for (const std::string* derived : {&names.micro, &names.rollover, &names.medium}) {
    own->insert(*derived);
    own->insert(*derived + kLegacyTempSuffix);
  }
  // -hidpi's, whatever this run's options, only beside the thumbnail a run
  // made with them (without it the walk takes such a name as the user's
  // picture), and never one some run took as a picture.
  PictureNames hidpi;
  if (regular.count(names.micro) && pictureNamesBuild(name.c_str(), &hidpi, true))
    for (const std::string* derived : {&hidpi.micro2, &hidpi.micro3, &hidpi.rollover2, &hidpi.rollover3, &hidpi.large})
      if (!takenAsPicture(*derived, regular)) own->insert(*derived);
}

// A picture's page beside its picture is quorvel's when it begins as its
// built-in pages do, or when the thumbnail's entry opens it (a -conf:
// theme's page): a user's pic.html beside pic.jpg stays, whatever the
// picture says of itself.
void addPages(int dirFd, const std::string& name, const PictureNames& names, const std::set<std::string>& regular,
              FolderPages& pages, std::set<std::string>* own) {
  for (const std::string& page : {picturePageName(names.medium.c_str()), picturePageName(name.c_str())})
    if (regular.count(page) && (pages.opens(page) || templatesBuiltInHead(readStart(dirFd, page, kPageHeadRead))))
      own->insert(page);
}

}  // namespace

std::vector<std::string> albumOwnFiles(int dirFd, const std::string& dir, const std::vector<std::string>& files) {
  const std::set<std::string> regular(files.begin(), files.end());
  FolderPages pages(dirFd);
  std::set<std::string> own;
  for (const std::string& name : files) {
    if (pageIsAlbumPage(name.c_str()) || fileIsTempName(name.c_str())) own.insert(name);
    if (name == kPlaylistFile && pages.linksPlaylist()) own.insert(name);
    PictureNames names;
    if (!pictureNamesBuild(name.c_str(), &names, false) || !madeFrom(dir, name, names, regular, pages)) continue;
    addDerived(name, names, regular, &own);
    addPages(dirFd, name, names, regular, pages, &own);
  }
  std::vector<std::string> found;
  for (const std::string& name : own)
    if (regular.count(name)) found.push_back(name);
  return found;
}
