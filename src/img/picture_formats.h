// The picture formats quorvel reads, how a file's bytes tell which it holds
// (JPEG and GIF as ever, and, with -allpics, PNG, WebP, HEIF and AVIF), and
// every format's header read and decode behind one call each, in
// img/format_codec.h's shape.
#pragma once

#include <cstddef>

#include "img/format_codec.h"

// Video: a video's poster frame (img/video_frame.h), which only a video's
// name asks for, never its bytes.
enum class ImgFormat { Jpeg, Gif, Png, Webp, Heif, Avif, Video };  // img/picture_formats.cpp lists their codecs in this order

// The format the first bytes of a file show; Jpeg for anything else, so
// that the JPEG library says what is wrong with it, as for any JPEG.
ImgFormat imgFormatOfBytes(const unsigned char* head, size_t length);
// Whether head starts as one of the formats does, a JPEG's FF D8 FF
// included: false for bytes imgFormatOfBytes only takes for a JPEG.
bool imgFormatIsKnown(const unsigned char* head, size_t length);
// imgFormatOfBytes of path's first bytes, and, when known is given,
// imgFormatIsKnown of them; false (both untouched) when nothing can be read.
bool imgFormatOfFile(const char* path, ImgFormat* format, bool* known = nullptr);

// True for the formats -allpics adds.
inline bool imgFormatIsAdded(ImgFormat format) {
  return format == ImgFormat::Png || format == ImgFormat::Webp || format == ImgFormat::Heif ||
         format == ImgFormat::Avif;
}

// Whether browsers show the format itself as a picture: not HEIF (Safari
// alone does), not a video.
inline bool imgFormatBrowsersShow(ImgFormat format) { return format != ImgFormat::Heif && format != ImgFormat::Video; }

// The name a format's decode goes by in messages.
const char* imgFormatDecoderName(ImgFormat format);

// The header of path read as format: its verdict in info, what the library
// said in out. Returns 0 or an IMG_DECODE_* failure (IMG_DECODE_OPEN: the
// file cannot be opened; a damaged header with no reason is told by the
// library's own lines, if any). With meta, the formats -allpics adds also
// hand back there the photo's metadata, read in the same pass within
// kImgMetaReadLimit (none found: left empty); a JPEG's and a GIF's are
// not read here (imgPhotoMetaRead reads a JPEG's).
[[nodiscard]] ImgStatus imgFormatReadHeader(const char* path, ImgFormat format, ImgHeaderInfo* info,
                                            ImgDecoded* out, ImgPhotoMeta* meta = nullptr);
// Decodes path as format into dst (an empty record) as target asks. Returns
// 0, an IMG_DECODE_* failure or IMG_DATA_SHORT, or, with enlarge, the
// resizer's (kImgResizeFailures); on failure dst holds no block and records
// it. The reason and the library's lines come back in out, and, for a
// format that carries one, the colour profile.
[[nodiscard]] ImgStatus imgFormatDecode(Img* dst, const char* path, ImgFormat format, const ImgDecodeTarget& target,
                                        ImgDecoded* out);
