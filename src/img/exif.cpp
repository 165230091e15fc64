// Exif data: the orientation tag.
#include "img/exif.h"

#include <cstdint>
#include <cstring>

namespace {

unsigned read16(const unsigned char* p, bool bigEndian) {
  return bigEndian ? (p[0] << 8) | p[1] : (p[1] << 8) | p[0];
}

uint32_t read32(const unsigned char* p, bool bigEndian) {
  return bigEndian ? (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3]
                   : (uint32_t{p[3]} << 24) | (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
}

}  // namespace

int imgExifOrientation(const unsigned char* data, unsigned length) {
  // "Exif\0\0", then a TIFF header: byte order, 42, offset of the first IFD.
  if (!data || length < sizeof kImgExifHeader + 8 || memcmp(data, kImgExifHeader, sizeof kImgExifHeader) != 0)
    return 1;
  const unsigned char* tiff = data + sizeof kImgExifHeader;
  const uint64_t n = length - sizeof kImgExifHeader;
  bool bigEndian;
  if (tiff[0] == 'I' && tiff[1] == 'I')
    bigEndian = false;
  else if (tiff[0] == 'M' && tiff[1] == 'M')
    bigEndian = true;
  else
    return 1;
  if (read16(tiff + 2, bigEndian) != 42) return 1;

  const uint64_t ifd = read32(tiff + 4, bigEndian);
  if (ifd + 2 > n) return 1;
  const uint64_t entries = read16(tiff + ifd, bigEndian);
  if (ifd + 2 + entries * 12 > n) return 1;  // a cut-off IFD is not trusted
  for (uint64_t i = 0; i < entries; ++i) {
    const unsigned char* entry = tiff + ifd + 2 + i * 12;
    if (read16(entry, bigEndian) != 0x0112) continue;
    // One SHORT, stored at the start of the value field.
    if (read16(entry + 2, bigEndian) != 3 || read32(entry + 4, bigEndian) != 1) return 1;
    const unsigned value = read16(entry + 8, bigEndian);
    return value >= 1 && value <= 8 ? static_cast<int>(value) : 1;
  }
  return 1;
}
