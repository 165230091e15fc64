// Exif data: the orientation tag and the photo's facts.
#include "img/exif.h"

#include <algorithm>
#include <cstring>

#include "util/byte_fields.h"

namespace {

constexpr unsigned kOrientation = 0x0112;
constexpr unsigned kDescription = 0x010E, kMake = 0x010F, kModel = 0x0110, kExifIfd = 0x8769;
constexpr unsigned kExposure = 0x829A, kFNumber = 0x829D, kIso = 0x8827, kDateTaken = 0x9003;
constexpr unsigned kFocalLength = 0x920A, kLens = 0xA434;
constexpr unsigned kAscii = 2, kShort = 3, kLong = 4, kRationalType = 5;

// The TIFF structure after "Exif\0\0": its bytes and byte order.
struct Tiff {
  const unsigned char* data = nullptr;
  uint64_t size = 0;
  bool bigEndian = false;

  // The entries of the IFD at offset: its count, or -1 when the IFD is cut off.
  int64_t entries(uint64_t offset) const {
    if (offset + 2 > size) return -1;
    const uint64_t count = byteOrdered16(data + offset, bigEndian);
    return offset + 2 + count * 12 > size ? -1 : int64_t(count);  // a cut-off IFD is not trusted
  }
  const unsigned char* entry(uint64_t ifd, int64_t i) const { return data + ifd + 2 + i * 12; }
  unsigned tag(const unsigned char* e) const { return byteOrdered16(e, bigEndian); }
  unsigned type(const unsigned char* e) const { return byteOrdered16(e + 2, bigEndian); }
  uint32_t count(const unsigned char* e) const { return byteOrdered32(e + 4, bigEndian); }
  uint32_t value32(const unsigned char* e) const { return byteOrdered32(e + 8, bigEndian); }

  // The bytes of an entry's value: in the entry when they fit 4, else at its
  // offset; null when they leave the data.
  const unsigned char* valueBytes(const unsigned char* e, uint64_t bytes) const {
    if (bytes <= 4) return e + 8;
    const uint64_t at = value32(e);
    return at + bytes <= size ? data + at : nullptr;
  }
};

// A TIFF header: byte order, 42, offset of the first IFD.
bool openTiff(const unsigned char* data, uint64_t length, Tiff* tiff) {
  if (!data || length < 8) return false;
  tiff->data = data;
  tiff->size = length;
  if (tiff->data[0] == 'I' && tiff->data[1] == 'I')
    tiff->bigEndian = false;
  else if (tiff->data[0] == 'M' && tiff->data[1] == 'M')
    tiff->bigEndian = true;
  else
    return false;
  return byteOrdered16(tiff->data + 2, tiff->bigEndian) == 42;
}

std::string asciiValue(const Tiff& t, const unsigned char* e) {
  if (t.type(e) != kAscii) return "";
  const uint64_t n = std::min<uint64_t>(t.count(e), kImgExifTextLimit);
  const unsigned char* p = t.valueBytes(e, n);
  if (!p) return "";
  const unsigned char* end = static_cast<const unsigned char*>(memchr(p, 0, n));
  return std::string(reinterpret_cast<const char*>(p), end ? size_t(end - p) : size_t(n));
}

ImgRational rationalValue(const Tiff& t, const unsigned char* e) {
  if (t.type(e) != kRationalType || t.count(e) < 1) return {};
  const unsigned char* p = t.valueBytes(e, 8);
  return p ? ImgRational{byteOrdered32(p, t.bigEndian), byteOrdered32(p + 4, t.bigEndian)} : ImgRational{};
}

// Bounds wider than any camera or lens gives: outside them a value is a
// writer's fault or a placeholder (0xFFFFFFFF above all), not a fact to show.
struct Range {
  double low, high;
};
constexpr Range kExposureSeconds{1e-6, 86400}, kFNumbers{0.3, 1000}, kFocalMillimetres{0.1, 100000};
constexpr uint32_t kHighestIso = 10'000'000;

// r when it is a value within range, else absent.
ImgRational within(ImgRational r, Range range) {
  if (!r.den) return {};
  const double value = double(r.num) / r.den;
  return value >= range.low && value <= range.high ? r : ImgRational{};
}

uint32_t integerValue(const Tiff& t, const unsigned char* e) {
  if (t.count(e) < 1) return 0;
  if (t.type(e) == kShort) return byteOrdered16(e + 8, t.bigEndian);
  if (t.type(e) == kLong) return t.value32(e);
  return 0;
}

void readIfd(const Tiff& t, uint64_t ifd, ImgExifFacts* facts, uint64_t* exifIfd) {
  const int64_t n = t.entries(ifd);
  for (int64_t i = 0; i < n; ++i) {
    const unsigned char* e = t.entry(ifd, i);
    switch (t.tag(e)) {
      case kDescription: facts->description = asciiValue(t, e); break;
      case kMake: facts->make = asciiValue(t, e); break;
      case kModel: facts->model = asciiValue(t, e); break;
      case kLens: facts->lens = asciiValue(t, e); break;
      case kDateTaken: facts->dateTaken = asciiValue(t, e); break;
      case kExposure: facts->exposure = within(rationalValue(t, e), kExposureSeconds); break;
      case kFNumber: facts->fNumber = within(rationalValue(t, e), kFNumbers); break;
      case kFocalLength: facts->focalLength = within(rationalValue(t, e), kFocalMillimetres); break;
      case kIso: {
        const uint32_t iso = integerValue(t, e);
        facts->iso = iso <= kHighestIso ? iso : 0;
        break;
      }
      case kExifIfd:
        if (exifIfd && t.type(e) == kLong) *exifIfd = t.value32(e);
        break;
    }
  }
}

// The payload after "Exif\0\0"; false when it does not start so.
bool openExif(const unsigned char* data, uint64_t length, Tiff* tiff) {
  if (!data || length < sizeof kImgExifHeader || memcmp(data, kImgExifHeader, sizeof kImgExifHeader) != 0)
    return false;
  return openTiff(data + sizeof kImgExifHeader, length - sizeof kImgExifHeader, tiff);
}

ImgExifFacts tiffFacts(const Tiff& t) {
  ImgExifFacts facts;
  uint64_t exifIfd = 0;
  readIfd(t, byteOrdered32(t.data + 4, t.bigEndian), &facts, &exifIfd);
  if (exifIfd) readIfd(t, exifIfd, &facts, nullptr);
  return facts;
}

int tiffOrientation(const Tiff& t) {
  const uint64_t ifd = byteOrdered32(t.data + 4, t.bigEndian);
  const int64_t n = t.entries(ifd);
  for (int64_t i = 0; i < n; ++i) {
    const unsigned char* e = t.entry(ifd, i);
    if (t.tag(e) != kOrientation) continue;
    // One SHORT, stored at the start of the value field.
    if (t.type(e) != kShort || t.count(e) != 1) return 1;
    const unsigned value = byteOrdered16(e + 8, t.bigEndian);
    return value >= 1 && value <= 8 ? static_cast<int>(value) : 1;
  }
  return 1;
}

}  // namespace

int imgExifOrientation(const unsigned char* data, unsigned length) {
  Tiff t;
  return openExif(data, length, &t) ? tiffOrientation(t) : 1;
}

int imgExifTiffOrientation(const unsigned char* data, size_t length) {
  Tiff t;
  return openTiff(data, length, &t) ? tiffOrientation(t) : 1;
}

ImgExifFacts imgExifReadFacts(const unsigned char* data, size_t length) {
  Tiff t;
  return openExif(data, length, &t) ? tiffFacts(t) : ImgExifFacts{};
}

ImgExifFacts imgExifTiffReadFacts(const unsigned char* data, size_t length) {
  Tiff t;
  return openTiff(data, length, &t) ? tiffFacts(t) : ImgExifFacts{};
}
