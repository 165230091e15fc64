// The picture formats quorvel reads and how a file's bytes tell which it
// holds: JPEG and GIF as ever, and, with -allpics, PNG, WebP, HEIF and AVIF
// through img/format_codec.h's decoders.
#pragma once

#include <cstddef>

#include "img/format_codec.h"

enum class ImgFormat { Jpeg, Gif, Png, Webp, Heif, Avif };

// The format the first bytes of a file show; Jpeg for anything else, so
// that the JPEG library says what is wrong with it, as for any JPEG.
ImgFormat imgFormatOfBytes(const unsigned char* head, size_t length);
// imgFormatOfBytes of path's first bytes; false when nothing can be read.
bool imgFormatOfFile(const char* path, ImgFormat* format);

// True for the formats of img/format_codec.h's decoders.
inline bool imgFormatIsAdded(ImgFormat format) {
  return format == ImgFormat::Png || format == ImgFormat::Webp || format == ImgFormat::Heif ||
         format == ImgFormat::Avif;
}

// Whether browsers show the format itself: not HEIF (Safari alone does).
inline bool imgFormatBrowsersShow(ImgFormat format) { return format != ImgFormat::Heif; }

// The name the decode of an added format goes by in messages.
const char* imgFormatDecoderName(ImgFormat format);

// The header and the decode of an added format (img/format_codec.h).
// REQUIRES: imgFormatIsAdded(format).
[[nodiscard]] ImgStatus imgFormatReadHeader(const char* path, ImgFormat format, ImgHeaderInfo* info,
                                            ImgDecoded* out);
[[nodiscard]] ImgStatus imgFormatDecode(Img* dst, const char* path, ImgFormat format, const ImgDecodeTarget& target,
                                        ImgDecoded* out);
