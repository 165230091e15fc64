// Exif data as a JPEG's APP1 segment (or another format's Exif block) holds
// it: a TIFF structure after "Exif\0\0", read with every offset checked.
#pragma once

#include <cstdint>
#include <string>

// The six bytes an Exif payload starts with.
inline constexpr unsigned char kImgExifHeader[6] = {'E', 'x', 'i', 'f', 0, 0};

// Exif orientation (1..8) read from a JPEG's APP1 segment payload starting at
// "Exif\0\0" (either TIFF byte order). 1 when the tag is absent, its type or
// count is wrong, its value is out of range, or any offset leaves the data.
int imgExifOrientation(const unsigned char* data, unsigned length);

// The same from a bare TIFF structure (no "Exif\0\0" before it), as PNG's
// eXIf chunk and most WebP EXIF chunks hold it.
int imgExifTiffOrientation(const unsigned char* data, size_t length);

// An unsigned fraction as Exif stores it; den 0 when absent.
struct ImgRational {
  uint32_t num = 0, den = 0;
};

// What an Exif block says of a photo beyond its orientation, each text as
// stored (bytes, up to its first NUL, at most kImgExifTextLimit of them),
// empty when absent. GPS data is never read.
struct ImgExifFacts {
  std::string dateTaken;    // DateTimeOriginal, "YYYY:MM:DD HH:MM:SS"
  std::string make, model;  // Make, Model
  std::string lens;         // LensModel
  std::string description;  // ImageDescription
  ImgRational exposure;     // ExposureTime, seconds
  ImgRational fNumber;      // FNumber
  ImgRational focalLength;  // FocalLength, millimetres
  uint32_t iso = 0;         // ISOSpeedRatings (PhotographicSensitivity); 0 when absent
};

inline constexpr size_t kImgExifTextLimit = 2000;

// Reads the facts of the first IFD and of its Exif sub-IFD (the one pointer
// followed, so no loop between IFDs can hold the reader) from a payload as
// imgExifOrientation takes it. Anything malformed is left out, and so is a
// number no camera gives (an exposure outside 1/1000000 s to a day, an
// f-number outside f/0.3 to f/1000, a focal length outside 0.1 mm to 100 m,
// an ISO past 10000000); never reads outside data.
ImgExifFacts imgExifReadFacts(const unsigned char* data, size_t length);
// The same from a bare TIFF structure, as imgExifTiffOrientation takes it.
ImgExifFacts imgExifTiffReadFacts(const unsigned char* data, size_t length);
