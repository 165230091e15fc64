// WebP adapter: RIFF chunks read by hand, pixels from libwebp.
#include "img/webp_codec.h"

#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>
#include <vector>

#include "base/limits.h"
#include "img/exif.h"
#include "img/format_libraries.h"
#include "img/icc_profile.h"
#include "img/photo_meta.h"
#include "img/upright_rows.h"
#include "util/byte_fields.h"
#include "util/file_handle.h"

namespace {

constexpr uint32_t kMaxExifBytes = 1 << 16;
// No picture within the pixel limit needs more; the file is read whole, up
// to its RIFF size (what follows is no part of it).
constexpr long long kMaxWebpFileBytes = 1LL << 30;
constexpr char kFileTooLarge[] = "more than 1 GiB of data";
// The library decodes whole (an animation onto a canvas, with the previous
// one kept). A lossless picture or a canvas costs nothing to claim: a
// 38-byte file codes 15000 x 15000 of one colour. Beyond this much held,
// what it holds must stay within what its bytes give at deflate's best, as
// a PNG's would.
constexpr long long kHeldFloor = 64LL << 20;
constexpr int kMaxChunks = 1000;
constexpr unsigned kVp8xExifFlag = 0x08, kVp8xXmpFlag = 0x04;
constexpr unsigned kVp8xAnimationFlag = 0x02;

ImgStatus damaged(ImgDecoded* out, const char* why) {
  out->why = why;
  return IMG_DECODE_DAMAGED;
}

// The orientation of an EXIF chunk: a TIFF structure, with or without the
// "Exif\0\0" a JPEG puts before it.
int exifOrientation(const unsigned char* data, size_t length) {
  if (length >= sizeof kImgExifHeader && memcmp(data, kImgExifHeader, sizeof kImgExifHeader) == 0)
    return imgExifOrientation(data, static_cast<unsigned>(length));
  return imgExifTiffOrientation(data, length);
}

// The chunks after VP8X, by their headers: the first EXIF chunk's
// orientation (exifFlag: VP8X says there is one) when it is at most
// kMaxExifBytes, as ever, and, when meta is asked for, the facts of the
// first EXIF and XMP chunks within one budget. Returns the orientation.
int scanChunks(FILE* file, bool exifFlag, ImgPhotoMeta* meta) {
  int orientation = 1;
  bool exifSeen = false, xmpSeen = false;
  ImgMetaBudget budget;
  for (int i = 0; i < kMaxChunks && (exifFlag || (meta && !(exifSeen && xmpSeen))); ++i) {
    unsigned char chunk[8];
    if (fread(chunk, 1, 8, file) != 8) break;
    const off_t data = ftello(file);
    const uint32_t length = byteLittle32(chunk + 4);  // after the fourcc
    if (length > INT32_MAX - 1 || data < 0) break;
    std::vector<unsigned char> bytes;
    if (!exifSeen && memcmp(chunk, "EXIF", 4) == 0) {
      exifSeen = true;
      const bool orients = exifFlag && length <= kMaxExifBytes;
      if (orients) {
        bytes.resize(length);
        if (fread(bytes.data(), 1, length, file) != length) break;
        orientation = exifOrientation(bytes.data(), length);
      }
      exifFlag = false;  // the first EXIF chunk alone orients
      if (meta && (orients ? budget.take(length) : budget.read(file, length, &bytes)))
        imgPhotoMetaReadExif(bytes.data(), bytes.size(), meta);
    } else if (meta && !xmpSeen && memcmp(chunk, "XMP ", 4) == 0) {
      xmpSeen = true;
      if (budget.read(file, length, &bytes))
        imgPhotoMetaReadXmp(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), meta);
    }
    if (fseeko(file, data + static_cast<off_t>(length + (length & 1)), SEEK_SET) != 0) break;
  }
  return orientation;
}

// The bytes a decode reads: the RIFF chunk (its size and 8), or the file
// when it is shorter; -1 when the file can't be measured.
long long riffBytes(FILE* file, const unsigned char* head) {
  struct stat st;
  if (fstat(fileno(file), &st) != 0) return -1;
  const long long riff = 8 + static_cast<long long>(byteLittle32(head + 4));
  return riff < st.st_size ? riff : static_cast<long long>(st.st_size);
}

// What the library holds for a picture of width x height, animated or not.
long long pictureHeld(long long width, long long height, bool animated) {
  return width * height * (animated ? 8 : 4);
}

bool claimOutgrowsBytes(long long held, long long bytes) {
  return held > kHeldFloor && held > bytes * kDeflateMaxRatio;
}

}  // namespace

ImgStatus imgWebpReadHeader(const char* path, ImgHeaderInfo* info, ImgDecoded* out, ImgPhotoMeta* meta) {
  FileHandle file = fileOpenRead(path);
  if (!file) return IMG_DECODE_OPEN;
  unsigned char head[30];
  if (fread(head, 1, sizeof head, file.get()) != sizeof head || memcmp(head, "RIFF", 4) != 0 ||
      memcmp(head + 8, "WEBP", 4) != 0)
    return damaged(out, "no WebP header");
  const unsigned char* chunk = head + 12;
  const unsigned char* data = chunk + 8;
  uint32_t width = 0, height = 0;
  int orientation = 1;
  bool animated = false;
  if (memcmp(chunk, "VP8 ", 4) == 0) {
    if (data[3] != 0x9D || data[4] != 0x01 || data[5] != 0x2A) return damaged(out, "bad VP8 header");
    width = byteLittle16(data + 6) & 0x3FFF;
    height = byteLittle16(data + 8) & 0x3FFF;
  } else if (memcmp(chunk, "VP8L", 4) == 0) {
    if (data[0] != 0x2F) return damaged(out, "bad VP8L header");
    const uint32_t bits = byteLittle32(data + 1);
    width = (bits & 0x3FFF) + 1;
    height = ((bits >> 14) & 0x3FFF) + 1;
  } else if (memcmp(chunk, "VP8X", 4) == 0) {
    width = byteLittle24(data + 4) + 1;
    height = byteLittle24(data + 7) + 1;
    animated = data[0] & kVp8xAnimationFlag;
    const bool exifFlag = data[0] & kVp8xExifFlag;
    // Only an extended file holds metadata chunks; its flags say which.
    ImgPhotoMeta* wanted = data[0] & (kVp8xExifFlag | kVp8xXmpFlag) ? meta : nullptr;
    if ((exifFlag || wanted) && fseek(file.get(), 12 + 8 + 10, SEEK_SET) == 0)
      orientation = scanChunks(file.get(), exifFlag, wanted);
  } else {
    return damaged(out, "no WebP image chunk");
  }
  if (width == 0 || height == 0) return damaged(out, "bad size");
  const long long bytes = riffBytes(file.get(), head), held = pictureHeld(width, height, animated);
  if (bytes > kMaxWebpFileBytes) return damaged(out, kFileTooLarge);
  if (bytes >= 0 && claimOutgrowsBytes(held, bytes)) return damaged(out, "too few bytes for the size it claims");
  const bool swap = imgOrientationSwapsSides(orientation);
  info->width = static_cast<int>(swap ? height : width);
  info->height = static_cast<int>(swap ? width : height);
  // The library's RGBA picture, for an animation its canvas besides, and
  // the file's bytes, read whole.
  info->held = held + (bytes > 0 ? bytes : 0);
  return IMG_OK;
}

namespace {

struct DemuxDeleter {
  const WebpLibrary* lib;
  void operator()(WebPDemuxer* demux) const { lib->demuxDelete(demux); }
};
struct AnimDeleter {
  const WebpLibrary* lib;
  void operator()(WebPAnimDecoder* decoder) const { lib->animDelete(decoder); }
};

// A decoded still picture's buffer, freed on every path.
struct StillPicture {
  const WebpLibrary* lib;
  WebPDecoderConfig config{};
  ~StillPicture() { lib->freeDecBuffer(&config.output); }
};

// The chunk named fourcc of a demuxed file, or an empty one: a view of the
// bytes the demuxer was given.
std::string_view chunkBytes(const WebpLibrary* lib, const WebPDemuxer* demux, const char* fourcc) {
  WebPChunkIterator it;
  std::string_view bytes;
  if (lib->demuxGetChunk(demux, fourcc, 1, &it)) bytes = {reinterpret_cast<const char*>(it.chunk.bytes), it.chunk.size};
  lib->demuxReleaseChunkIterator(&it);
  return bytes;
}

ImgStatus feed(Img* dst, const ImgDecodeTarget& target, const unsigned char* pixels, int width, int height,
               size_t stride, int channels, int orientation) {
  ImgUprightRows sink;
  if (sink.begin(dst, width, height, orientation, target.fit, target.fitWidth, target.fitHeight) != IMG_OK)
    return IMG_DECODE_ALLOC;
  sink.putRows(pixels, stride, height, channels);
  return IMG_OK;
}

// The file's RIFF chunk into bytes.
ImgStatus readRiff(const char* path, std::vector<unsigned char>* bytes, ImgDecoded* out) {
  FileHandle file = fileOpenRead(path);
  if (!file) return IMG_DECODE_OPEN;
  unsigned char head[12];
  if (fread(head, 1, sizeof head, file.get()) != sizeof head) return damaged(out, "no WebP header");
  const long long size = riffBytes(file.get(), head);
  if (size < 0) return IMG_DECODE_OPEN;
  // A RIFF size that ends inside the header holds no bitstream.
  if (size < static_cast<long long>(sizeof head)) return damaged(out, "no WebP bitstream");
  if (size > kMaxWebpFileBytes) return damaged(out, kFileTooLarge);
  try {
    bytes->resize(static_cast<size_t>(size));
  } catch (const std::bad_alloc&) {
    return IMG_DECODE_ALLOC;
  }
  memcpy(bytes->data(), head, sizeof head);
  const size_t rest = bytes->size() - sizeof head;
  if (fread(bytes->data() + sizeof head, 1, rest, file.get()) != rest) return IMG_DECODE_OPEN;
  return IMG_OK;
}

// The picture coded in bytes into dst, upright by its EXIF chunk; its
// ICCP chunk in profile, a view of bytes.
ImgStatus decodeBytes(Img* dst, const WebpLibrary* lib, const std::vector<unsigned char>& bytes,
                      const ImgDecodeTarget& target, std::string_view* profile, ImgDecoded* out) {
  WebPBitstreamFeatures features;
  if (lib->getFeatures(bytes.data(), bytes.size(), &features, WEBP_DECODER_ABI_VERSION) != VP8_STATUS_OK)
    return damaged(out, "no WebP bitstream");
  if (static_cast<long long>(features.width) * features.height > kMaxPicturePixels) return IMG_DECODE_TOO_LARGE;
  if (claimOutgrowsBytes(pictureHeld(features.width, features.height, features.has_animation),
                         static_cast<long long>(bytes.size())))
    return IMG_DATA_SHORT;
  const WebPData data{bytes.data(), bytes.size()};
  int orientation = 1;
  {
    const std::unique_ptr<WebPDemuxer, DemuxDeleter> demux(
        lib->demux(&data, 0, nullptr, WEBP_DEMUX_ABI_VERSION), DemuxDeleter{lib});
    if (demux) {
      *profile = chunkBytes(lib, demux.get(), "ICCP");
      const std::string_view exif = chunkBytes(lib, demux.get(), "EXIF");
      if (!exif.empty()) orientation = exifOrientation(reinterpret_cast<const unsigned char*>(exif.data()), exif.size());
    }
  }
  if (features.has_animation) {
    WebPAnimDecoderOptions options;
    if (!lib->animOptionsInit(&options, WEBP_DEMUX_ABI_VERSION)) return IMG_DECODE_ALLOC;
    options.color_mode = MODE_RGBA;
    options.use_threads = 0;
    const std::unique_ptr<WebPAnimDecoder, AnimDeleter> decoder(
        lib->animNew(&data, &options, WEBP_DEMUX_ABI_VERSION), AnimDeleter{lib});
    uint8_t* canvas = nullptr;
    int timestamp = 0;
    if (!decoder || !lib->animGetNext(decoder.get(), &canvas, &timestamp)) return damaged(out, "animation cannot be decoded");
    return feed(dst, target, canvas, features.width, features.height, static_cast<size_t>(features.width) * 4, 4,
                orientation);
  }
  StillPicture still{lib};
  if (!lib->initDecoderConfig(&still.config, WEBP_DECODER_ABI_VERSION)) return IMG_DECODE_ALLOC;
  still.config.output.colorspace = features.has_alpha ? MODE_RGBA : MODE_RGB;
  const VP8StatusCode status = lib->decode(bytes.data(), bytes.size(), &still.config);
  if (status == VP8_STATUS_OUT_OF_MEMORY) return IMG_DECODE_ALLOC;
  if (status != VP8_STATUS_OK) return damaged(out, status == VP8_STATUS_NOT_ENOUGH_DATA ? "not enough data" : "bitstream error");
  const WebPRGBABuffer& rgba = still.config.output.u.RGBA;
  return feed(dst, target, rgba.rgba, still.config.output.width, still.config.output.height,
              static_cast<size_t>(rgba.stride), features.has_alpha ? 4 : 3, orientation);
}

}  // namespace

ImgStatus imgWebpDecode(Img* dst, const char* path, const ImgDecodeTarget& target, ImgDecoded* out) {
  *dst = Img{};
  const WebpLibrary* lib = webpLibrary(&out->why);
  if (!lib) return IMG_DECODE_NO_LIBRARY;
  std::vector<unsigned char> bytes;
  const ImgStatus read = readRiff(path, &bytes, out);
  if (read != IMG_OK) return read;
  std::string_view profile;
  const ImgStatus status = decodeBytes(dst, lib, bytes, target, &profile, out);
  if (status == IMG_OK) out->icc = imgIccCarried(profile, path, &out->libraryText);
  return status;
}
