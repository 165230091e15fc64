// Derived pictures: decode, medium view, lens, thumbnails, encode.
#include "album/derived_pictures.h"

#include <cerrno>
#include <cstring>
#include <string>

#include "base/limits.h"
#include "base/settings.h"
#include "img/img.h"
#include "img/jpeg_codec.h"
#include "img/lens_shadow.h"
#include "img/resize.h"
#include "util/temp_file.h"

namespace {

constexpr int kQuality = 85;

// One picture's making: the source, where its words go, and how it ends.
struct Making {
  const char* path;
  ImgFormat format;
  DerivedResult result;
  std::string icc;  // the source's colour profile, for every file made

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

// Decodes the picture into out as target says: what the library said goes
// with the files' words, its profile is kept for the files.
bool decode(Making& m, OwnedImg& out, const ImgDecodeTarget& target) {
  errno = 0;
  ImgDecoded decoded;
  const ImgStatus status = imgFormatDecode(&out.img, m.path, m.format, target, &decoded);
  const int openErrno = errno;
  m.result.libraryText += decoded.libraryText;
  m.icc = std::move(decoded.icc);
  if (status == IMG_OK) return true;
  if (status & kImgResizeFailures) return m.failCall("imgResize");
  return leaveOut(m, status, openErrno, decoded.why);
}

// The medium view in out, fitted to the -mw: x -mh: box, reduced as the
// picture is decoded wherever its library hands out rows, never held at full
// size. A JPEG or a GIF the box would enlarge is enlarged; a picture of an
// added format never is, nor one that gets its medium view only because
// -originals:none links no original.
bool decodeMedium(Making& m, OwnedImg& out) {
  const bool enlarge = !imgFormatIsAdded(m.format) && gSettings.originals != Originals::None;
  return decode(m, out, {true, gSettings.mw, gSettings.mh, enlarge});
}

// Fits src into the thumbnail box into out (empty), shadowed when a shadow is on.
bool makeThumbnail(Making& m, OwnedImg& out, const Img& src) {
  int boxWidth = gSettings.uw;
  int boxHeight = gSettings.uh;
  if (gSettings.shadow) {
    boxWidth -= shadowWidth();
    boxHeight -= shadowHeight();
  }
  if (imgResize(&out.img, boxWidth, boxHeight, &src, false) != IMG_OK) return m.failCall("imgResize");
  if (!gSettings.shadow) return true;
  OwnedImg spare;
  spare.takeFrom(out);
  const int failed = gSettings.shadowColor ? imgShadowColor(&out.img, &spare.img, gSettings.shadowRed,
                                                            gSettings.shadowGreen, gSettings.shadowBlue)
                                           : imgShadow(&out.img, &spare.img);
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
// link planted at target is replaced, not written through.
bool encode(Making& m, OwnedImg& out, const std::string& target) {
  const char* name = target.c_str();
  TempFile file;
  int failure = file.create(target);
  if (failure == 0) {
    const ImgStatus written = imgJpegWrite(&out.img, file.get(), kQuality, name, &m.result.libraryText, &m.icc);
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

bool makeAll(Making& m, bool medium, const PictureNames& names) {
  OwnedImg working, lens, out;
  if (medium) {
    if (!decodeMedium(m, out) || !encode(m, out, names.medium)) return false;
    // Thumbnails come from the smaller picture from here on.
    working.takeFrom(out);
  } else if (!decode(m, working, {})) {
    return false;
  }
  if (imgLens(&lens.img, &working.img) != IMG_OK) return m.failCall("imgLens");
  if (!makeThumbnail(m, out, lens.img) || !encode(m, out, names.rollover)) return false;
  out.release();
  return makeThumbnail(m, out, working.img) && encode(m, out, names.micro);
}

}  // namespace

std::string derivedNoLibraryReason(const std::string& why) {
  std::string reason = "its format's library cannot be loaded";
  return why.empty() ? reason : reason + " (" + why + ")";
}

DerivedResult derivedMake(const char* path, ImgFormat format, bool medium, const PictureNames& names) {
  Making m{path, format, {}, {}};
  makeAll(m, medium, names);
  return std::move(m.result);
}
