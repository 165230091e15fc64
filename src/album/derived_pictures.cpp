// Derived pictures: decode, medium view, lens, thumbnails, encode.
#include "album/derived_pictures.h"

#include <climits>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

#include "base/limits.h"
#include "base/settings.h"
#include "img/icc_profile.h"
#include "img/img.h"
#include "img/jpeg_codec.h"
#include "img/lens_shadow.h"
#include "img/resize.h"
#include "util/paths.h"
#include "util/temp_file.h"

namespace {

constexpr int kQuality = 85;
// -hidpi's large view fits this square, and holds at least this many
// times the medium view's box (a 3x screen showing the medium's size): a
// JPEG is decoded at the library's fastest scale between the two.
constexpr int kLargeSide = 2048;
constexpr int kLargeOverMedium = 3;

// One picture's making: the source, where its words go, and how it ends.
struct Making {
  const char* path;
  ImgFormat format;
  DerivedResult result;
  std::string icc;            // the source's colour profile, for every file made
  std::string thumbnailIcc;   // the one the thumbnails and rollovers carry
  const std::string* micro;   // the thumbnail's name, which alone carries comment
  std::string comment;

  Making(const char* source, ImgFormat kind, const std::string* microName, std::string microComment)
      : path(source), format(kind), micro(microName), comment(std::move(microComment)) {}

  // Ends the making with outcome and the message; false, for returning.
  bool fail(DerivedOutcome outcome, std::string message, const char* reason = "can't be written") {
    result.outcome = outcome;
    result.reason = reason;
    result.failure = std::move(message);
    return false;
  }
  bool failCall(const char* call) { return fail(DerivedOutcome::Failed, std::string(call) + "(\"" + path + "\")"); }
};

// What a failed decode says after the decoder's name. A failure without a
// reason has been told by the library's own line before.
std::string decodeReason(int status, int openErrno, const std::string& why) {
  std::string reason;
  if (status & IMG_DECODE_TOO_LARGE)
    reason = "picture too large";
  else if (status & IMG_DATA_SHORT)
    reason = "too few bytes for the size it claims";
  else if (status & IMG_DECODE_SCANS)
    reason = "more than " + std::to_string(kMaxJpegScans) + " scans";
  else if (status & IMG_DECODE_ALLOC)
    reason = "out of memory";
  else if ((status & IMG_DECODE_UNREADABLE) == IMG_DECODE_UNREADABLE)
    reason = "cannot be opened or decoded";
  else if (status & IMG_DECODE_OPEN)
    reason = openErrno ? strerror(openErrno) : "cannot be opened";
  else if (status & IMG_DECODE_NO_LIBRARY)
    reason = derivedNoLibraryReason(why);
  else if ((status & IMG_DECODE_DAMAGED) && !why.empty())
    reason = "damaged (" + why + ")";
  return reason.empty() ? reason : ": " + reason;
}

// A picture that fails to decode (damaged after a good header, or gone or
// replaced since its header was read) costs its own place in the album only.
bool leaveOut(Making& m, int status, int openErrno, const std::string& why) {
  const char* reason = status & IMG_DECODE_TOO_LARGE                             ? "too large"
                       : (status & IMG_DECODE_UNREADABLE) == IMG_DECODE_OPEN ? "unreadable"
                                                                             : "damaged";
  return m.fail(DerivedOutcome::LeftOut,
                std::string(imgFormatDecoderName(m.format)) + "(\"" + m.path + "\")" + decodeReason(status, openErrno, why),
                reason);
}

// A video the libraries can't read keeps its tile: a plain frame of a
// phone's 16:9 stands in for its poster.
constexpr int kStandInWidth = 640, kStandInHeight = 360;
constexpr unsigned char kStandInGrey = 0x44;

bool standIn(Making& m, OwnedImg& out, const ImgDecodeTarget& target) {
  OwnedImg plain;
  if (imgCreate(&plain.img, kStandInWidth, kStandInHeight) != IMG_OK) return m.failCall("imgCreate");
  for (int y = 0; y < plain.img.height; ++y) memset(plain.img.rows[y], kStandInGrey, 3 * size_t{kStandInWidth});
  if (!target.fit) {
    out.takeFrom(plain);
    return true;
  }
  if (imgResize(&out.img, target.fitWidth, target.fitHeight, &plain.img, false) != IMG_OK)
    return m.failCall("imgResize");
  return true;
}

// Decodes the picture into out as target says: what the library said goes
// with the files' words, its profile is kept for the files.
bool decode(Making& m, OwnedImg& out, const ImgDecodeTarget& target) {
  errno = 0;
  ImgDecoded decoded;
  const ImgStatus status = imgFormatDecode(&out.img, m.path, m.format, target, &decoded);
  const int openErrno = errno;
  m.result.libraryText += decoded.libraryText;
  m.icc = std::move(decoded.icc);
  m.thumbnailIcc = imgIccForThumbnail(m.icc);
  if (status == IMG_OK) return true;
  if (status & kImgResizeFailures) return m.failCall("imgResize");
  if (m.format == ImgFormat::Video) {
    m.result.notice = std::string(imgFormatDecoderName(m.format)) + "(\"" + m.path + "\")" +
                      decodeReason(status, openErrno, decoded.why);
    m.comment = kVideoUnreadComment;
    m.icc.clear();
    m.thumbnailIcc.clear();
    return standIn(m, out, target);
  }
  return leaveOut(m, status, openErrno, decoded.why);
}

// The medium view in out, fitted to the -mw: x -mh: box, reduced as the
// picture is decoded wherever its library hands out rows, never held at full
// size. A JPEG or a GIF the box would enlarge is enlarged; a picture of an
// added format or a video's poster never is, nor one that gets its medium view only because
// -originals:none links no original or -hidpi shows every picture through one.
bool decodeMedium(Making& m, OwnedImg& out) {
  const bool enlarge = !imgFormatIsAdded(m.format) && m.format != ImgFormat::Video &&
                       gSettings.originals != Originals::None && !gSettings.hidpi;
  return decode(m, out, {true, gSettings.mw, gSettings.mh, enlarge});
}

// The thumbnail box, without the shadow's strip, at scale times its pixels.
void thumbnailBox(int scale, int* width, int* height) {
  *width = gSettings.uw - (gSettings.shadow ? shadowWidth() : 0);
  *height = gSettings.uh - (gSettings.shadow ? shadowHeight() : 0);
  *width *= scale;
  *height *= scale;
}

// Fits src into the thumbnail box at scale into out (empty), shadowed at the
// same scale when a shadow is on.
bool makeThumbnail(Making& m, OwnedImg& out, const Img& src, int scale = 1) {
  int boxWidth, boxHeight;
  thumbnailBox(scale, &boxWidth, &boxHeight);
  if (imgResize(&out.img, boxWidth, boxHeight, &src, false) != IMG_OK) return m.failCall("imgResize");
  if (!gSettings.shadow) return true;
  OwnedImg spare;
  spare.takeFrom(out);
  const int failed = gSettings.shadowColor ? imgShadowColorScaled(&out.img, &spare.img, scale, gSettings.shadowRed,
                                                                  gSettings.shadowGreen, gSettings.shadowBlue)
                                           : imgShadowScaled(&out.img, &spare.img, scale);
  return failed == IMG_OK || m.failCall("imgShadow");
}

// A name the file system can't hold, a directory at the name, a folder
// that refuses the file or was swapped for a link: faults of this picture's
// place, not of the disk,
// so the walk goes on without it.
bool costsOnlyThisPicture(int failure) {
  switch (failure) {
    case ENAMETOOLONG: case EISDIR: case ENOTDIR: case EEXIST: case ENOTEMPTY: case EACCES: case EPERM: case EROFS:
    case ELOOP:
      return true;
    default:
      return false;
  }
}

// Encodes out aside and renames it to target, so an interrupted run never
// leaves a truncated picture that a later run would take as up to date, and a
// link planted at target is replaced, not written through. A thumbnail
// carries the thumbnail's profile.
bool encode(Making& m, OwnedImg& out, const std::string& target, bool thumbnail = false) {
  const char* name = target.c_str();
  TempFile file;
  int failure = file.create(target);
  if (failure == 0) {
    const ImgStatus written = imgJpegWrite(&out.img, file.get(), kQuality, name, &m.result.libraryText,
                                           thumbnail ? &m.thumbnailIcc : &m.icc,
                                           &target == m.micro ? &m.comment : nullptr);
    // The failure bits are the write's; the raster is whole and is freed
    // only with a clear status.
    out.img.status = IMG_OK;
    // The library's message is the whole report.
    if (written == IMG_JPEG_WRITE_LIBRARY) return m.fail(DerivedOutcome::Failed, "");
    failure = file.commit();
  }
  if (failure == 0) return true;
  return m.fail(costsOnlyThisPicture(failure) ? DerivedOutcome::LeftOut : DerivedOutcome::Failed,
                std::string("imgJpegWriteFile(\"") + name + "\"): " + strerror(failure));
}

// The rollover and the thumbnail from working, the thumbnail last: it
// stands for the whole set being complete.
bool makeThumbnails(Making& m, const Img& working, const PictureNames& names) {
  OwnedImg lens, out;
  if (imgLens(&lens.img, &working) != IMG_OK) return m.failCall("imgLens");
  if (!makeThumbnail(m, out, lens.img) || !encode(m, out, names.rollover, true)) return false;
  out.release();
  return makeThumbnail(m, out, working) && encode(m, out, names.micro, true);
}

bool makeAll(Making& m, bool medium, const PictureNames& names) {
  OwnedImg working;
  if (medium) {
    OwnedImg out;
    if (!decodeMedium(m, out) || !encode(m, out, names.medium)) return false;
    // Thumbnails come from the smaller picture from here on.
    working.takeFrom(out);
  } else if (!decode(m, working, {})) {
    return false;
  }
  return makeThumbnails(m, working.img, names);
}

// The largest whole scale up to most at which src fills the thumbnail box
// without being enlarged (1 at least: the 1x thumbnail's own). A whole scale
// keeps the shadow's strips and the page's layout in proportion.
int scaleReached(const Img& src, int most) {
  int boxWidth, boxHeight;
  thumbnailBox(1, &boxWidth, &boxHeight);
  for (int scale = most; scale > 1; --scale)
    if (src.width >= scale * boxWidth || src.height >= scale * boxHeight) return scale;
  return 1;
}

// -hidpi's thumbnails and rollovers at 3x and 2x from src, the largest view made.
bool makeScaledThumbnails(Making& m, const Img& src, const PictureNames& names) {
  OwnedImg lens, out;
  for (auto [scale, name] : {std::pair{3, &names.micro3}, {2, &names.micro2}}) {
    out.release();
    if (!makeThumbnail(m, out, src, scaleReached(src, scale)) || !encode(m, out, *name, true)) return false;
  }
  if (imgLens(&lens.img, &src) != IMG_OK) return m.failCall("imgLens");
  for (auto [scale, name] : {std::pair{3, &names.rollover3}, {2, &names.rollover2}}) {
    out.release();
    if (!makeThumbnail(m, out, lens.img, scaleReached(src, scale)) || !encode(m, out, *name, true)) return false;
  }
  return true;
}

// -hidpi, from one decode: the large view (when large), the medium view
// reduced from it or decoded at most at the picture's size, the 3x and 2x
// thumbnails from the smaller of the two that holds their pixels, then the
// 1x ones as without it.
bool makeHidpi(Making& m, bool large, const PictureNames& names) {
  // -hidpi's longest names may pass the file system's limit where the
  // others fit: refused before a file is written, so none is left behind.
  for (const std::string* name : {&names.micro2, &names.micro3, &names.rollover2, &names.rollover3, &names.large})
    if (strlen(pathBaseName(name->c_str())) > NAME_MAX)
      return m.fail(DerivedOutcome::LeftOut, "imgJpegWriteFile(\"" + *name + "\"): " + strerror(ENAMETOOLONG));
  OwnedImg largest, medium;
  if (large) {
    // Decoded straight into the fit: a 48 MP photo is never held whole.
    const ImgDecodeTarget target{true, kLargeSide, kLargeSide, false, kLargeOverMedium * gSettings.mw,
                                 kLargeOverMedium * gSettings.mh};
    if (!decode(m, largest, target) || !encode(m, largest, names.large)) return false;
    if (imgResize(&medium.img, gSettings.mw, gSettings.mh, &largest.img, false) != IMG_OK)
      return m.failCall("imgResize");
  } else if (!decodeMedium(m, medium)) {
    return false;
  }
  if (!encode(m, medium, names.medium)) return false;
  // The medium view gives the 3x thumbnails whenever it holds their pixels
  // (the default boxes): the lens and the reduction then cost a few hundred
  // thousand pixels, not the large view's millions.
  const bool fromLarge = large && scaleReached(medium.img, 3) < scaleReached(largest.img, 3);
  if (!makeScaledThumbnails(m, fromLarge ? largest.img : medium.img, names)) return false;
  largest.release();
  return makeThumbnails(m, medium.img, names);
}

}  // namespace

std::string derivedVideoComment(long long durationMs) {
  return "quorvel video " + std::to_string(durationMs < 0 ? -1 : durationMs) + " ms";
}

long long derivedVideoDuration(const std::string& comment) {
  long long ms = -1;
  char unit[3] = "";
  if (sscanf(comment.c_str(), "quorvel video %lld %2s", &ms, unit) != 2 || strcmp(unit, "ms") != 0) return -1;
  return ms < 0 ? -1 : ms;
}

std::string derivedNoLibraryReason(const std::string& why) {
  std::string reason = "its format's library cannot be loaded";
  return why.empty() ? reason : reason + " (" + why + ")";
}

long long derivedLargePixels(int width, int height) {
  if (!gSettings.hidpi || (width <= gSettings.mw && height <= gSettings.mh)) return 0;
  int largeWidth = width, largeHeight = height, mediumWidth, mediumHeight;
  if ((width > kLargeSide || height > kLargeSide) &&
      imgFitSize(width, height, kLargeSide, kLargeSide, false, &largeWidth, &largeHeight) != IMG_OK)
    return 0;
  if (imgFitSize(width, height, gSettings.mw, gSettings.mh, false, &mediumWidth, &mediumHeight) != IMG_OK) return 0;
  // A medium box reaching past the large one on a side may hold as many pixels.
  if (largeWidth <= mediumWidth && largeHeight <= mediumHeight) return 0;
  return static_cast<long long>(largeWidth) * largeHeight;
}

DerivedResult derivedMake(const char* path, ImgFormat format, bool medium, const PictureNames& names, bool large,
                          const std::string& microComment) {
  Making m(path, format, &names.micro, microComment);
  if (gSettings.hidpi)
    makeHidpi(m, large, names);
  else
    makeAll(m, medium, names);
  return std::move(m.result);
}
