// Picture pipeline: decides whether a file is a picture to show, makes its
// medium, rollover and micro pictures when they are out of date, and hands
// the picture to the Left page.
#include "album/pipeline.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "album/derived_names.h"
#include "album/picture_list.h"
#include "base/fatal.h"
#include "base/limits.h"
#include "base/settings.h"
#include "img/gif_codec.h"
#include "img/header_probe.h"
#include "img/img.h"
#include "img/jpeg_codec.h"
#include "img/lens_shadow.h"
#include "img/resize.h"
#include "pages/album_pages.h"
#include "util/files.h"
#include "util/paths.h"
#include "util/temp_file.h"
#include "util/test_hook.h"

namespace {

constexpr int kQuality = 85;

// Earlier versions wrote a derived picture aside as its name plus this
// suffix; such leftovers are recognised as temporaries too.
constexpr char kLegacyTempSuffix[] = ".quorvel-tmp";

// Size of the picture as it will be shown: Exif-rotated photos count upright.
// gifData tells how to decode it: only what the probe reads as GIF data goes
// to the GIF decoder. Anything else under a .gif name, in any case, is
// measured and decoded as the JPEG it may be (handing it to the GIF decoder
// would end the whole run).
bool pictureSize(const char* path, bool gif, int* width, int* height, bool* gifData) {
  int kind = -1;
  *gifData = gif && imgsizeGetSize(path, nullptr, nullptr, width, height, &kind, nullptr) == 0 &&
             kind == IMG_KIND_GIF;
  if (*gifData) return true;
  int size;
  return imgJpegGetUprightSize(path, width, height, &size) == 0;
}

bool isDerivedName(const char* path) {
  return strEndsWith(path, ".md.jpg") || strEndsWith(path, ".vi.jpg") ||
         strEndsWith(path, ".vr.jpg");
}

// Fits src into the box into out (empty), shadowed when a shadow is on.
void makeThumbnail(OwnedImg& out, const Img& src, int boxWidth, int boxHeight,
                   const char* path) {
  if (imgResize(&out.img, boxWidth, boxHeight, &src, false) != 0)
    error("imgResize(\"%s\")", path);
  if (!gSettings.shadow) return;
  OwnedImg spare;
  spare.takeFrom(out);
  int failed = gSettings.shadowColor
                   ? imgShadowColor(&out.img, &spare.img, gSettings.shadowRed,
                                    gSettings.shadowGreen, gSettings.shadowBlue)
                   : imgShadow(&out.img, &spare.img);
  if (failed) error("imgShadow(\"%s\")", path);
}

// Encodes out into a new temporary beside target and renames it into place,
// so an interrupted run never leaves a truncated picture that a later run
// would take as up to date, and a link planted at target is replaced, not
// written through. A failure removes the temporary and ends the run.
void encode(OwnedImg& out, const char* target) {
  const std::string temp = fileTempName(target);
  testHookNames(temp.c_str(), target);
  const int failed = imgJpegWriteFile(&out.img, temp.c_str(), kQuality, target);
  int reason = errno;
  if (failed == IMG_JPEG_LIBRARY) {
    // The library's message is the whole report, as it always was.
    unlink(temp.c_str());
    exit(1);
  }
  if (failed == 0) {
    testHook("renaming", temp.c_str());
    if (rename(temp.c_str(), target) == 0) return;
    reason = errno;
  }
  // What a failed create left at the name is not ours to remove.
  if (failed != IMG_JPEG_WRITE_CREATE) unlink(temp.c_str());
  error("imgJpegWriteFile(\"%s\"): %s", target, strerror(reason));
}

// What a failed decode says after the decoder's name. A library error has
// already printed its own reason on the line before.
std::string decodeReason(int status, int openErrno) {
  std::string reason;
  if (status & (IMG_JPEG_TOO_LARGE | IMG_GIF_TOO_LARGE))
    reason = "picture too large";
  else if (status & IMG_JPEG_SCANS)
    reason = "more than " + std::to_string(kMaxJpegScans) + " scans";
  else if (status & (IMG_JPEG_ALLOC | IMG_GIF_ALLOC))
    reason = "out of memory";
  else if (status & IMG_JPEG_OPEN)
    reason = openErrno ? strerror(openErrno) : "cannot be opened";
  else if (status & IMG_GIF_READ)
    reason = "cannot be opened or decoded";
  return reason.empty() ? reason : ": " + reason;
}

// Decodes path into working. A picture that fails here (damaged after a good
// header, or gone or replaced since its header was read) costs its own place
// in the album only: it is reported and the walk goes on.
bool decodePicture(OwnedImg& working, const char* path, bool gif) {
  errno = 0;
  const int status =
      gif ? imgGifReadFile(&working.img, path) : imgJpegReadFile(&working.img, path);
  if (status == IMG_OK) return true;
  const int openErrno = errno;
  report("%s(\"%s\")%s", gif ? "imgGifReadFile" : "imgJpegReadFile", path,
         decodeReason(status, openErrno).c_str());
  return false;
}

// Medium (when wanted), rollover and micro picture of path, in that order;
// the micro picture last, as it stands for the whole set being complete.
// False, with nothing written, when path cannot be decoded.
bool makeDerivedFiles(const char* path, bool gif, const char* mediumName,
                      const char* rolloverName, const char* microName) {
  OwnedImg working, lens, out;
  if (!decodePicture(working, path, gif)) return false;

  if (mediumName) {
    if (imgResize(&out.img, gSettings.mw, gSettings.mh, &working.img, false) != 0)
      error("imgResize(\"%s\")", path);
    encode(out, mediumName);
    // Thumbnails come from the smaller picture from here on.
    working.takeFrom(out);
  }

  if (imgLens(&lens.img, &working.img) != 0) error("imgLens(\"%s\")", path);

  int boxWidth = gSettings.uw;
  int boxHeight = gSettings.uh;
  if (gSettings.shadow) {
    boxWidth -= shadowWidth();
    boxHeight -= shadowHeight();
  }

  makeThumbnail(out, lens.img, boxWidth, boxHeight, path);
  encode(out, rolloverName);
  out.release();

  makeThumbnail(out, working.img, boxWidth, boxHeight, path);
  encode(out, microName);
  return true;
}

// A captioned picture named like one of the album's own pages (a
// "quorvelLeft.jpg") would write its page over that page, the Left page even
// while it is open; such a picture keeps no page of its own.
bool isAlbumPageName(const char* name) {
  for (const char* page : {"quorvelFrameset.html", "quorvelTop.html", "quorvelLeft.html",
                           "quorvelRight.html", "quorvelVideo.html"})
    if (!strcmp(name, page)) return true;
  return false;
}

PictureSize sizeOf(const std::string& path) {
  PictureSize size;
  int bytes;
  size.known = imgJpegGetSize(path.c_str(), &size.width, &size.height, &bytes) == 0;
  return size;
}

// Which decoder a shown picture needs: false when path is no picture to show
// (not .gif/.jpg, unreadable header, too small, or a derived file).
bool isShownPicture(const char* path, bool* gifData, bool* medium) {
  bool gif;
  if (strEndsWithNoCase(path, ".gif"))
    gif = true;
  else if (strEndsWithNoCase(path, ".jpg"))
    gif = false;
  else
    return false;
  int width, height;
  if (!pictureSize(path, gif, &width, &height, gifData)) return false;
  if (height <= gSettings.ih || width <= gSettings.iw) return false;
  if (isDerivedName(path)) return false;
  // A few bytes can claim gigapixels; refused before anything is decoded.
  if (static_cast<long long>(width) * height > kMaxPicturePixels) {
    report("picture too large \"%s\" (%d x %d)", path, width, height);
    return false;
  }
  pictureListAdd(path, gif);
  *medium = width > gSettings.mw || height > gSettings.mh;
  return true;
}

}  // namespace

void albumAddPicture(DirectoryPages& pages, char* path, int rootOffset, int index) {
  bool gifData, medium;
  if (!isShownPicture(path, &gifData, &medium)) return;

  // Copies: the builders' buffers are reused by the next picture.
  const std::string mediumName = medium ? pathMediumName(path) : "";
  const std::string microName = pathMicroName(path);
  const std::string rolloverName = pathRolloverName(path);
  if (gSettings.force || fileDate(path) > fileDate(microName.c_str())) {
    printf("%s\n", microName.c_str());
    if (!makeDerivedFiles(path, gifData, medium ? mediumName.c_str() : nullptr,
                          rolloverName.c_str(), microName.c_str()))
      return;
  }

  const char* relPath = path + rootOffset;
  htmlOpenLeft(pages, path, relPath);
  htmlAddPicture(pages, pictureEntry(path, relPath, index, medium));
}

PictureEntry pictureEntry(const char* path, const char* relPath, int index, bool medium) {
  PictureEntry entry;
  entry.path = path;
  entry.relPath = relPath;
  entry.index = index;

  char captionPath[kNameSize];
  char text[kCaptionTextSize];
  char title[kCaptionTitleSize];
  // An overlong caption path joins to "", which loads nothing: no caption.
  entry.captioned = captionRead(text, kCaptionTextSize, title, kCaptionTitleSize,
                                strConcatBounded(captionPath, pathWithoutExt(path), ".txt"));
  if (entry.captioned) {
    entry.captionText = text;
    entry.captionTitle = title;
  }

  if (medium) entry.mediumPath = pathMediumName(path);
  if (medium || entry.captioned) {
    entry.pagePath = pathHtmlName(medium ? entry.mediumPath.c_str() : path);
    if (isAlbumPageName(pathBaseName(entry.pagePath.c_str()))) entry.pagePath.clear();
  }

  entry.microPath = pathMicroName(path);
  entry.rolloverPath = pathRolloverName(path);
  entry.microSize = sizeOf(entry.microPath);
  if (medium) entry.mediumSize = sizeOf(entry.mediumPath);
  return entry;
}

bool albumRemoveLeftoverTemp(const char* path) {
  bool temporary = fileIsTempName(pathBaseName(path));
  if (!temporary && strEndsWith(path, kLegacyTempSuffix)) {
    const std::string derived(path, strlen(path) - (sizeof kLegacyTempSuffix - 1));
    temporary = isDerivedName(derived.c_str());
  }
  if (temporary) fileRemoveStaleTemp(path);
  return temporary;
}
