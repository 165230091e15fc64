// One input through the added formats' decoders, as a real file: the
// header (alone, and with the photo's metadata), then the whole and the
// fitted decodes, which must agree with it on the picture's size. Each format's harness runs it over its own corpus.
//
// Pictures larger than kMaxPixels are skipped: such inputs only slow the
// search down (the decoders' own limits are tested end to end).
#pragma once

#include <cstdint>
#include <cstdlib>

#include "fuzz_scratch.h"
#include "img/photo_meta.h"
#include "img/picture_formats.h"

inline int fuzzAddedFormat(const uint8_t* data, size_t size) {
  constexpr long long kMaxPixels = 1LL << 20;
  static MemoryFile file;
  const std::string& path = file.write(data, size);
  ImgFormat format;
  if (!imgFormatOfFile(path.c_str(), &format) || !imgFormatIsAdded(format)) return 0;
  ImgHeaderInfo info;
  ImgDecoded out;
  if (imgFormatReadHeader(path.c_str(), format, &info, &out) != IMG_OK) return 0;
  if (info.width <= 0 || info.height <= 0) abort();
  // Asked for the photo's metadata too, the header read gives the same header.
  ImgHeaderInfo asked;
  ImgPhotoMeta meta;
  if (imgFormatReadHeader(path.c_str(), format, &asked, &out, &meta) != IMG_OK || asked.width != info.width ||
      asked.height != info.height || asked.held != info.held)
    abort();
  if (static_cast<long long>(info.width) * info.height > kMaxPixels) return 0;
  for (const ImgDecodeTarget target : {ImgDecodeTarget{}, ImgDecodeTarget{true, 64, 48}}) {
    OwnedImg img;
    if (imgFormatDecode(&img.img, path.c_str(), format, target, &out) != IMG_OK) continue;
    if (!img.img.rows || img.img.width > info.width || img.img.height > info.height) abort();
    if (!target.fit && (img.img.width != info.width || img.img.height != info.height)) abort();
  }
  return 0;
}
