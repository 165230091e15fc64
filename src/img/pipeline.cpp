// Picture pipeline: decides whether a file is a picture to show, makes its
// medium, rollover and micro pictures when they are out of date, and hands
// the picture to the Left page.
#include "img/pipeline.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "img/derived_names.h"
#include "img/gif_codec.h"
#include "img/header_probe.h"
#include "img/img.h"
#include "img/jpeg_codec.h"
#include "img/lens_shadow.h"
#include "img/resize.h"
#include "pages/album_pages.h"
#include "run/fatal.h"
#include "run/settings.h"
#include "util/paths.h"
#include "util/test_hook.h"

namespace {

constexpr int kQuality = 85;

// Derived pictures are encoded under this suffix and renamed into place once
// complete, so an interrupted run never leaves a truncated thumbnail that a
// later run would take as up to date. The suffix is no picture extension.
constexpr char kTempSuffix[] = ".quorvel-tmp";

// The temporary file being encoded, removed when the run ends before it is
// renamed (error() and the JPEG library's fatal errors both exit()).
std::string gPendingTemp;

void removePendingTemp() {
  if (!gPendingTemp.empty()) unlink(gPendingTemp.c_str());
}

// One raster record of the pipeline; its pixel block goes with it.
struct OwnedImg {
  Img img{};

  OwnedImg() = default;
  ~OwnedImg() { imgDestroy(&img); }
  OwnedImg(const OwnedImg&) = delete;
  OwnedImg& operator=(const OwnedImg&) = delete;

  void release() {
    imgDestroy(&img);
    img = Img{};
  }
  // Takes over other's raster; other becomes an empty record.
  void takeFrom(OwnedImg& other) {
    release();
    img = other.img;
    other.img = Img{};
  }
};

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

void encode(OwnedImg& out, const char* target) {
  static const bool cleanupRegistered = atexit(removePendingTemp) == 0;
  (void)cleanupRegistered;
  gPendingTemp = std::string(target) + kTempSuffix;
  if (imgJpegWriteFile(&out.img, gPendingTemp.c_str(), kQuality, target) != 0)
    error("imgJpegWriteFile(\"%s\")", target);
  testHook("renaming", gPendingTemp.c_str());
  if (rename(gPendingTemp.c_str(), target) != 0) error("imgJpegWriteFile(\"%s\")", target);
  gPendingTemp.clear();
}

// The batch-copy line of a picture. In a batch script '%' must be doubled;
// a '"' or a control byte (a line feed would start a new command) cannot be
// quoted at all, so such a path is left out of the list.
void writeListLine(const char* path, bool gif) {
  FILE* list = gPictureList.file.get();
  if (!list) return;
  std::string quoted;
  for (const char* p = path; *p; ++p) {
    unsigned char c = static_cast<unsigned char>(*p);
    if (c == '"' || c < 0x20) return;
    quoted += *p;
    if (c == '%') quoted += '%';
  }
  fprintf(list, "copy \"%s\" \"%%1\\%05d%s\"\n", quoted.c_str(), gPictureList.counter,
          gif ? ".gif" : ".jpg");
  ++gPictureList.counter;
}

// Medium (when wanted), rollover and micro picture of path, in that order;
// the micro picture last, as it stands for the whole set being complete.
void makeDerivedFiles(const char* path, bool gif, const char* mediumName,
                      const char* rolloverName, const char* microName) {
  OwnedImg working, lens, out;
  if (gif) {
    if (imgGifReadFile(&working.img, path) != 0) error("imgGifReadFile(\"%s\")", path);
  } else {
    if (imgJpegReadFile(&working.img, path) != 0) error("imgJpegReadFile(\"%s\")", path);
  }

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
}

}  // namespace

void imgAddPicture(FileHandle& left, char* path, int rootOffset, int index, StrList* preload,
                   int& rightWritten) {
  bool gif;
  if (strEndsWithNoCase(path, ".gif"))
    gif = true;
  else if (strEndsWithNoCase(path, ".jpg"))
    gif = false;
  else
    return;

  int width, height;
  bool gifData;
  if (!pictureSize(path, gif, &width, &height, &gifData)) return;
  if (height <= gSettings.ih || width <= gSettings.iw) return;
  if (isDerivedName(path)) return;

  writeListLine(path, gif);

  bool medium = width > gSettings.mw || height > gSettings.mh;
  // Copies: the page writer may use the same builders again.
  std::string mediumName = medium ? pathMediumName(path) : "";
  std::string microName = pathMicroName(path);
  std::string rolloverName = pathRolloverName(path);

  if (gSettings.force || fileDate(path) > fileDate(microName.c_str())) {
    printf("%s\n", microName.c_str());
    makeDerivedFiles(path, gifData, medium ? mediumName.c_str() : nullptr, rolloverName.c_str(),
                     microName.c_str());
  }

  htmlAddPicture(left, path, microName.c_str(), index, rolloverName.c_str(), preload, medium,
                 mediumName.c_str(), rightWritten, path + rootOffset);
}

bool imgRemoveLeftoverTemp(const char* path) {
  if (!strEndsWith(path, kTempSuffix)) return false;
  std::string derived(path, strlen(path) - (sizeof kTempSuffix - 1));
  if (!isDerivedName(derived.c_str())) return false;
  unlink(path);
  return true;
}
