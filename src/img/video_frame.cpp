// A video's poster: libavformat reads the container through quorvel's own
// descriptor, libavcodec decodes one frame on the calling thread, libswscale
// makes RGB rows of it, and ImgUprightRows turns them upright into the target.
#include "img/video_frame.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "base/limits.h"
#include "img/format_libraries.h"
#include "img/upright_rows.h"
#include "util/file_handle.h"
#include "util/files.h"

namespace {

constexpr int kIoBufferBytes = 64 * 1024;
// The containers a video's name stands for (MP4 and QuickTime, WebM, Ogg):
// the library would otherwise take a playlist or a concatenation list named
// .mp4 and open the files or addresses it names.
constexpr char kContainers[] = "mov,mp4,matroska,webm,ogg";
// Stream information is probed only for a stream whose header gives no size;
// these bound what the probe may read and decode.
constexpr int64_t kProbeBytes = 2 << 20;
constexpr int64_t kProbeMicroseconds = 2'000'000;
// Where the poster is taken: this far in, or half way for a shorter video.
constexpr long long kPosterMs = 1000;
// What a decode holds a pixel: the RGB frame (3 bytes), and the decoder's
// pictures and state (measured at 4K: about 6 for H.264, 13 for HEVC).
constexpr long long kHeldPerPixel = 3 + 13;
// A stream that gives no frame from this many packets is taken as damaged:
// a broken video costs a bounded time, not a decode of the whole file.
constexpr int kMaxPacketsWithoutFrame = 1000;

// The descriptor behind libavformat's reads: the file fileOpenRead checked is
// the one read, and no name is ever opened by the library.
int readDescriptor(void* opaque, uint8_t* buffer, int size) {
  const int fd = *static_cast<const int*>(opaque);
  for (;;) {
    const ssize_t got = read(fd, buffer, static_cast<size_t>(size));
    if (got > 0) return static_cast<int>(got);
    if (got == 0) return AVERROR_EOF;
    if (errno != EINTR) return AVERROR(errno);
  }
}

int64_t seekDescriptor(void* opaque, int64_t offset, int whence) {
  const int fd = *static_cast<const int*>(opaque);
  if (whence & AVSEEK_SIZE) {
    struct stat st;
    return fstat(fd, &st) == 0 ? static_cast<int64_t>(st.st_size) : AVERROR(errno);
  }
  const off_t at = lseek(fd, static_cast<off_t>(offset), whence & ~AVSEEK_FORCE);
  return at < 0 ? AVERROR(errno) : static_cast<int64_t>(at);
}

// A container naming other files (a reference movie's tracks) gets none.
int refuseNested(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**) { return AVERROR(EPERM); }

// The open file and its container, released on every path. The format
// context is closed before the I/O context it reads through; the library may
// have replaced the I/O buffer, so the one it holds is freed.
struct VideoInput {
  const AvLibrary* lib;
  FileHandle file;
  int fd = -1;
  AVIOContext* io = nullptr;
  AVFormatContext* format = nullptr;
  AVStream* stream = nullptr;  // the video stream, the format context's

  explicit VideoInput(const AvLibrary* library) : lib(library) {}
  ~VideoInput() {
    if (format) lib->formatCloseInput(&format);
    if (io) {
      lib->free(io->buffer);
      lib->ioContextFree(&io);
    }
  }
  VideoInput(const VideoInput&) = delete;
  VideoInput& operator=(const VideoInput&) = delete;
};

struct CodecContextFree {
  const AvLibrary* lib;
  void operator()(AVCodecContext* context) const { lib->codecFreeContext(&context); }
};
struct FrameFree {
  const AvLibrary* lib;
  void operator()(AVFrame* frame) const { lib->frameFree(&frame); }
};
struct PacketFree {
  const AvLibrary* lib;
  void operator()(AVPacket* packet) const { lib->packetFree(&packet); }
};
struct SwsFree {
  const AvLibrary* lib;
  void operator()(SwsContext* context) const { lib->swsFreeContext(context); }
};
struct AvFree {
  const AvLibrary* lib;
  void operator()(uint8_t* block) const { lib->free(block); }
};

ImgStatus damaged(ImgDecoded* out, const char* why) {
  out->why = why;
  return IMG_DECODE_DAMAGED;
}

// The library's words for an error code.
ImgStatus damaged(const AvLibrary* lib, ImgDecoded* out, int error) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  if (lib->strerror(error, text, sizeof text) < 0) snprintf(text, sizeof text, "error %d", error);
  return damaged(out, text);
}

// A copy in the library's own memory, which the format context frees.
char* libraryString(const AvLibrary* lib, const char* text) {
  const size_t size = strlen(text) + 1;
  char* copy = static_cast<char*>(lib->malloc(size));
  if (copy) memcpy(copy, text, size);
  return copy;
}

// Opens path's container through its descriptor and finds its video stream.
ImgStatus openVideo(VideoInput& in, const char* path, ImgDecoded* out) {
  const AvLibrary* lib = in.lib;
  in.file = fileOpenRead(path);
  if (!in.file) return IMG_DECODE_OPEN;
  in.fd = fileno(in.file.get());
  auto* buffer = static_cast<unsigned char*>(lib->malloc(kIoBufferBytes));
  if (!buffer) return IMG_DECODE_ALLOC;
  in.io = lib->ioAllocContext(buffer, kIoBufferBytes, 0, &in.fd, readDescriptor, nullptr, seekDescriptor);
  if (!in.io) {
    lib->free(buffer);
    return IMG_DECODE_ALLOC;
  }
  in.format = lib->formatAllocContext();
  if (!in.format) return IMG_DECODE_ALLOC;
  in.format->pb = in.io;
  in.format->flags |= AVFMT_FLAG_CUSTOM_IO;
  in.format->io_open = refuseNested;
  in.format->probesize = kProbeBytes;
  in.format->max_analyze_duration = kProbeMicroseconds;
  in.format->format_whitelist = libraryString(lib, kContainers);
  if (!in.format->format_whitelist) return IMG_DECODE_ALLOC;
  // On failure the library frees the format context and nulls the pointer.
  const int opened = lib->formatOpenInput(&in.format, nullptr, nullptr, nullptr);
  if (opened == AVERROR(EINVAL)) return damaged(out, "no MP4, QuickTime, WebM or Ogg container");
  if (opened < 0) return damaged(lib, out, opened);
  int index = lib->findBestStream(in.format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (index < 0) return damaged(out, "no video stream");
  // The containers read give the size in their header; probing, which
  // decodes frames, is paid only when one does not.
  const AVCodecParameters* params = in.format->streams[index]->codecpar;
  if (params->width <= 0 || params->height <= 0) {
    const int probed = lib->formatFindStreamInfo(in.format, nullptr);
    if (probed < 0) return damaged(lib, out, probed);
    index = lib->findBestStream(in.format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (index < 0) return damaged(out, "no video stream");
    params = in.format->streams[index]->codecpar;
    if (params->width <= 0 || params->height <= 0) return damaged(out, "no picture size");
  }
  in.stream = in.format->streams[index];
  // The demuxer then passes over the other streams' packets.
  for (unsigned i = 0; i < in.format->nb_streams; ++i)
    if (static_cast<int>(i) != index) in.format->streams[i]->discard = AVDISCARD_ALL;
  return IMG_OK;
}

// The Exif orientation (1..8) that shows the stored frame as its display
// matrix asks: the matrix's 2 x 2 part maps stored (x, y) to shown
// (a x + c y, b x + d y), y pointing down; a turn other than a quarter's is
// taken to the nearest quarter.
int displayOrientation(const AvLibrary* lib, const AVStream* stream) {
  size_t size = 0;
  const uint8_t* data = lib->streamGetSideData(stream, AV_PKT_DATA_DISPLAYMATRIX, &size);
  if (!data || size < 9 * sizeof(int32_t)) return 1;
  int32_t matrix[9];
  memcpy(matrix, data, sizeof matrix);
  const long long a = matrix[0], b = matrix[1], c = matrix[3], d = matrix[4];
  if (llabs(a) + llabs(d) >= llabs(b) + llabs(c)) {
    if (a == 0 && d == 0) return 1;
    if (a >= 0) return d >= 0 ? 1 : 4;
    return d >= 0 ? 2 : 3;
  }
  if (b > 0) return c > 0 ? 5 : 6;
  return c > 0 ? 8 : 7;
}

// The stored frame's width as shown: pixels that are not square (a sample
// aspect ratio other than 1) are widened or narrowed to square ones.
long long shownWidth(const AVStream* stream, int codedWidth) {
  AVRational ratio = stream->sample_aspect_ratio;
  if (ratio.num <= 0 || ratio.den <= 0) ratio = stream->codecpar->sample_aspect_ratio;
  if (ratio.num <= 0 || ratio.den <= 0 || ratio.num == ratio.den) return codedWidth;
  const long long width = (static_cast<long long>(codedWidth) * ratio.num + ratio.den / 2) / ratio.den;
  return width < 1 ? 1 : width;
}

bool validTimeBase(const AVStream* stream) { return stream->time_base.num > 0 && stream->time_base.den > 0; }

long long durationMs(const VideoInput& in) {
  if (in.format->duration != AV_NOPTS_VALUE && in.format->duration >= 0) return in.format->duration / 1000;
  if (in.stream->duration != AV_NOPTS_VALUE && in.stream->duration >= 0 && validTimeBase(in.stream))
    return in.lib->rescaleQ(in.stream->duration, in.stream->time_base, AVRational{1, 1000});
  return -1;
}

// To the key frame at or before the poster's time. Where the demuxer cannot
// seek, it reads on from the start: the poster is the first frame.
void seekToPoster(const VideoInput& in) {
  const long long duration = durationMs(in);
  const long long at = duration >= 0 && duration / 2 < kPosterMs ? duration / 2 : kPosterMs;
  if (at <= 0 || !validTimeBase(in.stream)) return;
  int64_t ts = in.lib->rescaleQ(at, AVRational{1, 1000}, in.stream->time_base);
  if (in.stream->start_time != AV_NOPTS_VALUE) ts += in.stream->start_time;
  (void)in.lib->seekFrame(in.format, in.stream->index, ts, AVSEEK_FLAG_BACKWARD);
}

// The first frame the decoder gives from where the demuxer stands, the
// decoder drained at the end of the file.
ImgStatus firstFrame(const VideoInput& in, AVCodecContext* codec, AVFrame* frame, ImgDecoded* out) {
  const AvLibrary* lib = in.lib;
  std::unique_ptr<AVPacket, PacketFree> packet(lib->packetAlloc(), PacketFree{lib});
  if (!packet) return IMG_DECODE_ALLOC;
  int failure = 0;  // the decoder's last complaint, for the reason
  bool draining = false;
  for (int packets = 0; packets < kMaxPacketsWithoutFrame;) {
    if (!draining) {
      const int read = lib->readFrame(in.format, packet.get());
      if (read < 0) {
        if (read != AVERROR_EOF) failure = read;
        draining = true;
        (void)lib->codecSendPacket(codec, nullptr);
      } else {
        if (packet->stream_index == in.stream->index) {
          ++packets;
          const int sent = lib->codecSendPacket(codec, packet.get());
          if (sent < 0 && sent != AVERROR(EAGAIN)) failure = sent;
        }
        lib->packetUnref(packet.get());
      }
    }
    const int got = lib->codecReceiveFrame(codec, frame);
    if (got == 0) return IMG_OK;
    if (got != AVERROR(EAGAIN) && got != AVERROR_EOF) failure = got;
    // Once drained, the decoder's first answer that is no frame is its last.
    if (draining) break;
  }
  return failure ? damaged(lib, out, failure) : damaged(out, "no frame decoded");
}

bool fullRange(const AVFrame* frame) {
  switch (frame->format) {
    case AV_PIX_FMT_YUVJ420P:
    case AV_PIX_FMT_YUVJ422P:
    case AV_PIX_FMT_YUVJ444P:
    case AV_PIX_FMT_YUVJ440P:
    case AV_PIX_FMT_YUVJ411P: return true;
    default: return frame->color_range == AVCOL_RANGE_JPEG;
  }
}

// The frame's own colour matrix and range; an unsaid matrix is taken as
// players take it, BT.709 for HD and larger, BT.601 below.
void setColours(const AvLibrary* lib, SwsContext* scale, const AVFrame* frame) {
  int space = frame->colorspace;
  switch (space) {
    case AVCOL_SPC_BT709:
    case AVCOL_SPC_FCC:
    case AVCOL_SPC_BT470BG:
    case AVCOL_SPC_SMPTE170M:
    case AVCOL_SPC_SMPTE240M:
    case AVCOL_SPC_BT2020_NCL:
    case AVCOL_SPC_BT2020_CL: break;
    default: space = frame->height >= 720 ? SWS_CS_ITU709 : SWS_CS_ITU601;
  }
  // An RGB frame has no matrix: the call refuses it, and nothing changes.
  (void)lib->swsSetColorspaceDetails(scale, lib->swsGetCoefficients(space), fullRange(frame) ? 1 : 0,
                                     lib->swsGetCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);
}

// The frame as RGB rows at its shown width, placed upright into dst.
ImgStatus placeFrame(const VideoInput& in, const AVFrame* frame, int orientation, const ImgDecodeTarget& target,
                     Img* dst, ImgDecoded* out) {
  const AvLibrary* lib = in.lib;
  const long long longWidth = shownWidth(in.stream, frame->width);
  const int height = frame->height;
  if (longWidth <= 0 || height <= 0) return damaged(out, "no picture size");
  if (longWidth * height > kMaxPicturePixels) return IMG_DECODE_TOO_LARGE;
  const int width = static_cast<int>(longWidth);
  std::unique_ptr<SwsContext, SwsFree> scale(
      lib->swsGetContext(frame->width, height, static_cast<AVPixelFormat>(frame->format), width, height,
                         AV_PIX_FMT_RGB24, SWS_BILINEAR, nullptr, nullptr, nullptr),
      SwsFree{lib});
  if (!scale) {
    out->why = "pixel format not convertible to RGB";
    return IMG_DECODE_UNSUPPORTED;
  }
  setColours(lib, scale.get(), frame);
  // Rows padded to 64 bytes, which the converter's vector code wants.
  const int stride = (width * 3 + 63) & ~63;
  std::unique_ptr<uint8_t, AvFree> rgb(static_cast<uint8_t*>(lib->malloc(static_cast<size_t>(stride) * height)),
                                       AvFree{lib});
  if (!rgb) return IMG_DECODE_ALLOC;
  uint8_t* const planes[4] = {rgb.get(), nullptr, nullptr, nullptr};
  const int strides[4] = {stride, 0, 0, 0};
  if (lib->swsScale(scale.get(), frame->data, frame->linesize, 0, height, planes, strides) != height)
    return damaged(out, "frame not convertible to RGB");
  ImgUprightRows sink;
  const ImgStatus begun = sink.begin(dst, width, height, orientation, target.fit, target.fitWidth,
                                     target.fitHeight, target.enlarge);
  if (begun != IMG_OK) return begun == IMG_CREATE_FAILED ? IMG_DECODE_ALLOC : begun;
  sink.putRows(rgb.get(), static_cast<size_t>(stride), height, 3);
  return sink.finish();
}

}  // namespace

ImgStatus imgVideoReadHeader(const char* path, ImgHeaderInfo* info, ImgDecoded* out, ImgPhotoMeta*) {
  const AvLibrary* lib = avLibrary(&out->why);
  if (!lib) return IMG_DECODE_NO_LIBRARY;
  VideoInput in(lib);
  if (const ImgStatus opened = openVideo(in, path, out)) return opened;
  const long long width = shownWidth(in.stream, in.stream->codecpar->width);
  const long long height = in.stream->codecpar->height;
  // A side past an int's is past the pixel limit: told as such by its size.
  const int w = static_cast<int>(width < INT32_MAX ? width : INT32_MAX);
  const int h = static_cast<int>(height);
  const bool swap = imgOrientationSwapsSides(displayOrientation(lib, in.stream));
  info->width = swap ? h : w;
  info->height = swap ? w : h;
  info->held = width * height <= kMaxPicturePixels ? width * height * kHeldPerPixel : 0;
  info->durationMs = durationMs(in);
  return IMG_OK;
}

ImgStatus imgVideoDecode(Img* dst, const char* path, const ImgDecodeTarget& target, ImgDecoded* out) {
  *dst = Img{};
  const AvLibrary* lib = avLibrary(&out->why);
  if (!lib) return IMG_DECODE_NO_LIBRARY;
  VideoInput in(lib);
  if (const ImgStatus opened = openVideo(in, path, out)) return opened;
  const AVCodecParameters* params = in.stream->codecpar;
  if (shownWidth(in.stream, params->width) * params->height > kMaxPicturePixels) return IMG_DECODE_TOO_LARGE;
  const AVCodec* decoder = lib->codecFindDecoder(params->codec_id);
  if (!decoder) {
    out->why = "no decoder for the video's codec";
    return IMG_DECODE_UNSUPPORTED;
  }
  std::unique_ptr<AVCodecContext, CodecContextFree> codec(lib->codecAllocContext(decoder), CodecContextFree{lib});
  if (!codec) return IMG_DECODE_ALLOC;
  if (const int copied = lib->codecParametersToContext(codec.get(), params); copied < 0)
    return damaged(lib, out, copied);
  // One thread: the album decodes on its own workers. A frame past the
  // pixel limit is refused by the decoder before it is allocated.
  codec->thread_count = 1;
  codec->max_pixels = kMaxPicturePixels;
  if (const int opened = lib->codecOpen(codec.get(), decoder, nullptr); opened < 0) return damaged(lib, out, opened);
  std::unique_ptr<AVFrame, FrameFree> frame(lib->frameAlloc(), FrameFree{lib});
  if (!frame) return IMG_DECODE_ALLOC;
  seekToPoster(in);
  if (const ImgStatus decoded = firstFrame(in, codec.get(), frame.get(), out)) return decoded;
  return placeFrame(in, frame.get(), displayOrientation(lib, in.stream), target, dst, out);
}
