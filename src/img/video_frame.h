// A video's poster: one frame near its start, read through Debian's FFmpeg
// libraries (libavformat, libavcodec, libswscale, libavutil), loaded on the
// first video, in img/format_codec.h's shape, so that the poster goes the
// way of any picture (reduction, lens, encode). Nothing is transcoded.
#pragma once

#include "img/format_codec.h"

// Both read path through a descriptor of their own (a FIFO or device is
// refused as IMG_DECODE_OPEN, never waited on) and accept the containers a
// video's name stands for: MP4 and QuickTime, Matroska and WebM, Ogg. The
// library's log stays silent; a failure's reason comes back in out->why,
// worded from FFmpeg's error codes. Each call owns its contexts: any thread.

// The best video stream's size as shown: its pixels made square (a sample
// aspect ratio other than 1 widens or narrows it) and its display matrix's
// turn or mirror applied (sides swapped for a quarter turn); the video's
// running time (info->durationMs, -1 when neither the container nor the
// stream says); info->held, what imgVideoDecode holds (its RGB frame and
// the decoder's pictures; 0 past kMaxPicturePixels, which the size tells).
// IMG_DECODE_OPEN when the file cannot be opened; IMG_DECODE_NO_LIBRARY with
// the loader's reason; IMG_DECODE_DAMAGED with a reason when the container
// cannot be read or holds no video stream; no metadata.
[[nodiscard]] ImgStatus imgVideoReadHeader(const char* path, ImgHeaderInfo* info, ImgDecoded* out,
                                           ImgPhotoMeta* meta);

// The poster: the first frame decoded from the key frame at or before the
// first second, or half the running time when that is shorter (so the first
// frame of a very short video), shown as imgVideoReadHeader sizes it, into
// dst as target asks (no prescale). The failures of imgVideoReadHeader, and
// IMG_DECODE_TOO_LARGE past kMaxPicturePixels, IMG_DECODE_UNSUPPORTED for a
// codec or pixel format the libraries cannot decode, IMG_DECODE_DAMAGED when
// no frame comes, IMG_DECODE_ALLOC, or with enlarge the resizer's.
// REQUIRES: dst is an empty record (imgFormatDecode releases it on failure).
[[nodiscard]] ImgStatus imgVideoDecode(Img* dst, const char* path, const ImgDecodeTarget& target, ImgDecoded* out);
