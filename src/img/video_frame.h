// A video's poster: one frame near its start, read through Debian's FFmpeg
// libraries (libavformat, libavcodec, libswscale, libavutil), loaded on the
// first video, in img/format_codec.h's shape, so that the poster goes the
// way of any picture (reduction, lens, encode). Nothing is transcoded.
#pragma once

#include "img/format_codec.h"

// The video stream's size as shown (its rotation applied) and the video's
// running time (info->durationMs, -1 when the container does not say).
// IMG_DECODE_OPEN when the file cannot be opened; IMG_DECODE_DAMAGED with
// a reason when the container or its stream cannot be read; no metadata.
[[nodiscard]] ImgStatus imgVideoReadHeader(const char* path, ImgHeaderInfo* info, ImgDecoded* out,
                                           ImgPhotoMeta* meta);

// One frame, from the key frame at or before the first second (the first
// frame of a shorter video), upright, into dst as target asks.
[[nodiscard]] ImgStatus imgVideoDecode(Img* dst, const char* path, const ImgDecodeTarget& target, ImgDecoded* out);
