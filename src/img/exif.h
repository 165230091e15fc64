// Exif data as a JPEG's APP1 segment (or another format's Exif block) holds
// it: a TIFF structure after "Exif\0\0", read with every offset checked.
#pragma once

// The six bytes an Exif payload starts with.
inline constexpr unsigned char kImgExifHeader[6] = {'E', 'x', 'i', 'f', 0, 0};

// Exif orientation (1..8) read from a JPEG's APP1 segment payload starting at
// "Exif\0\0" (either TIFF byte order). 1 when the tag is absent, its type or
// count is wrong, its value is out of range, or any offset leaves the data.
int imgExifOrientation(const unsigned char* data, unsigned length);
