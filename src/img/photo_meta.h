// A photo's own metadata: the Exif facts, and the titles and descriptions
// that XMP, IPTC and Exif carry, read from the segments of a JPEG before its
// pixels (APP1 Exif and XMP, APP13 IPTC); the other formats' header reads
// hand their Exif blocks and XMP packets to the same readers, under the same
// caps. Every text is untrusted bytes as stored, cut to kImgMetaTextLimit;
// nothing here is markup. Location data is never read. Pure: no settings,
// nothing printed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "img/exif.h"

inline constexpr size_t kImgMetaTextLimit = 2000;

struct ImgPhotoMeta {
  ImgExifFacts exif;
  std::string xmpTitle, xmpDescription;  // dc:title, dc:description (default language); UTF-8
  std::string iptcTitle, iptcCaption;    // Object Name (2:05), Caption-Abstract (2:120)
  bool iptcUtf8 = false;                 // the IPTC coded character set (1:90) is UTF-8
};

// The segments are read until the first scan or frame header, at most
// kImgMetaSegments of them and kImgMetaReadLimit bytes of metadata in all:
// a hostile file costs no more than that.
inline constexpr int kImgMetaSegments = 64;
inline constexpr size_t kImgMetaReadLimit = 512 * 1024;

// The metadata of the JPEG at path; all empty when it can't be read or is no JPEG.
ImgPhotoMeta imgPhotoMetaRead(const char* path);

// The same from a file's leading bytes in memory.
ImgPhotoMeta imgPhotoMetaParse(const unsigned char* data, size_t size);

// One Exif block's facts into meta->exif: a bare TIFF structure, or one after
// "Exif\0\0" as a JPEG's APP1 segment (and some WebP writers) hold it.
void imgPhotoMetaReadExif(const unsigned char* data, size_t size, ImgPhotoMeta* meta);

// One XMP packet's dc:title and dc:description into meta.
void imgPhotoMetaReadXmp(std::string_view packet, ImgPhotoMeta* meta);

// What reading one file's metadata may still cost: kImgMetaReadLimit bytes
// in all, whatever the file claims.
class ImgMetaBudget {
 public:
  // Charges n bytes; false, nothing charged, when fewer are left.
  bool take(uint64_t n);
  // Reads the next length bytes of file into *out when both the budget and
  // the file hold that many, and charges them. False otherwise: nothing is
  // allocated, and the file's position is then unspecified.
  bool read(FILE* file, uint64_t length, std::vector<unsigned char>* out);

 private:
  size_t left_ = kImgMetaReadLimit;
};
