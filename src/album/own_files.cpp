// The files quorvel wrote into a directory.
#include "album/own_files.h"

#include <set>

#include "album/derived_names.h"
#include "album/derived_pictures.h"
#include "album/photo_facts.h"
#include "album/pipeline.h"
#include "img/jpeg_codec.h"
#include "pages/page_files.h"
#include "pages/picture_nav.h"
#include "util/file_handle.h"
#include "util/paths.h"
#include "util/temp_file.h"

namespace {

// The bar follows the page's head, which a theme may make long.
constexpr size_t kPictureBarSearch = 64 * 1024;

// A picture's own page is written when it has a caption: its .txt, or, with
// -exif, the title, description or facts the picture carries.
bool captioned(const std::string& dir, const std::string& picture, const std::set<std::string>& present) {
  if (present.count(std::string(pathWithoutExt(picture.c_str())) + ".txt")) return true;
  const PhotoFacts facts = photoFacts(albumPhotoMeta((dir + "/" + picture).c_str()));
  return !facts.line.empty() || !facts.text.empty();
}

// A page -nav wrote, whatever the picture had: it carries the picture bar.
bool holdsPictureBar(const std::string& path) {
  FileHandle in = fileOpenRead(path.c_str());
  if (!in) return false;
  std::string head(kPictureBarSearch, '\0');
  head.resize(fread(head.data(), 1, head.size(), in.get()));
  return head.find(kNavBarMarker) != std::string::npos;
}

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

}  // namespace

std::vector<std::string> albumOwnFiles(const std::string& dir, const std::vector<ListedFile>& files) {
  std::set<std::string> present, regular;
  for (const ListedFile& f : files) {
    present.insert(f.name);
    if (f.regular) regular.insert(f.name);
  }
  std::set<std::string> own;
  for (const ListedFile& f : files) {
    const char* name = f.name.c_str();
    if (pageIsAlbumPage(name) || f.name == kPlaylistFile || fileIsTempName(name)) own.insert(f.name);
    PictureNames names;
    if (!pictureNamesBuild(name, &names, false)) continue;
    // By its path: a -hidpi name is derived where its picture's thumbnail stands beside it.
    if (!albumIsAnyPictureName((dir + "/" + f.name).c_str()) &&
        !(albumIsAnyVideoName(name) && ownPoster(dir, names, regular)))
      continue;
    for (const std::string* derived : {&names.micro, &names.rollover, &names.medium}) {
      own.insert(*derived);
      own.insert(*derived + kLegacyTempSuffix);
    }
    // -hidpi's, whatever this run's options, only beside the thumbnail a run
    // made with them (without it the walk takes such a name as the user's
    // picture), and never one some run took as a picture.
    PictureNames hidpi;
    if (regular.count(names.micro) && pictureNamesBuild(name, &hidpi, true))
      for (const std::string* derived :
           {&hidpi.micro2, &hidpi.micro3, &hidpi.rollover2, &hidpi.rollover3, &hidpi.large})
        if (!takenAsPicture(*derived, regular)) own.insert(*derived);
    const std::string mediumPage = picturePageName(names.medium.c_str());
    if (regular.count(names.medium) || (regular.count(mediumPage) && holdsPictureBar(dir + "/" + mediumPage)))
      own.insert(mediumPage);
    const std::string page = picturePageName(name);
    if (regular.count(page) && (captioned(dir, f.name, present) || holdsPictureBar(dir + "/" + page)))
      own.insert(page);
  }
  std::vector<std::string> found;
  for (const std::string& name : own)
    if (regular.count(name)) found.push_back(name);
  return found;
}
