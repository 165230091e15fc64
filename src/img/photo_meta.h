// A photo's own metadata: the Exif facts, and the titles and descriptions
// that XMP, IPTC and Exif carry, read from the segments of a JPEG before its
// pixels (APP1 Exif and XMP, APP13 IPTC). Every text is untrusted bytes as
// stored, cut to kImgMetaTextLimit; nothing here is markup. Location data is
// never read. Pure: no settings, nothing printed.
#pragma once

#include <cstddef>
#include <string>

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
