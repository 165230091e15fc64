// Format by content, and every format's decoder behind one call.
#include "img/picture_formats.h"

#include <cstring>
#include <iterator>

#include "img/gif_codec.h"
#include "img/heif_codec.h"
#include "img/jpeg_codec.h"
#include "img/png_codec.h"
#include "img/video_frame.h"
#include "img/webp_codec.h"
#include "util/byte_fields.h"
#include "util/file_handle.h"

namespace {

constexpr size_t kSniffBytes = 32;

// An ISO base media file whose ftyp brands name a still image of HEIF
// (HEVC coded) or AVIF (AV1 coded); AVIF when its brands say so.
bool isoStillImage(const unsigned char* head, size_t length, bool* avif) {
  if (length < 16 || memcmp(head + 4, "ftyp", 4) != 0) return false;
  size_t boxLength = byteBig32(head);
  if (boxLength < 16) return false;
  if (boxLength > length) boxLength = length;
  bool heif = false;
  *avif = false;
  // The major brand, then the compatible brands after the minor version.
  for (size_t at = 8; at + 4 <= boxLength; at += at == 8 ? 8 : 4) {
    const unsigned char* brand = head + at;
    for (const char* name : {"avif", "avis"})
      if (memcmp(brand, name, 4) == 0) *avif = true;
    for (const char* name : {"heic", "heix", "heim", "heis", "hevc", "hevx", "mif1", "msf1"})
      if (memcmp(brand, name, 4) == 0) heif = true;
  }
  return heif || *avif;
}

}  // namespace

ImgFormat imgFormatOfBytes(const unsigned char* head, size_t length) {
  if (byteIsGif(head, length)) return ImgFormat::Gif;
  if (byteIsPng(head, length)) return ImgFormat::Png;
  if (length >= 12 && memcmp(head, "RIFF", 4) == 0 && memcmp(head + 8, "WEBP", 4) == 0) return ImgFormat::Webp;
  bool avif = false;
  if (isoStillImage(head, length, &avif)) return avif ? ImgFormat::Avif : ImgFormat::Heif;
  return ImgFormat::Jpeg;
}

bool imgFormatIsKnown(const unsigned char* head, size_t length) {
  if (imgFormatOfBytes(head, length) != ImgFormat::Jpeg) return true;
  return length >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF;
}

bool imgFormatOfFile(const char* path, ImgFormat* format, bool* known) {
  FileHandle file = fileOpenRead(path);
  if (!file) return false;
  unsigned char head[kSniffBytes];
  const size_t length = fread(head, 1, sizeof head, file.get());
  *format = imgFormatOfBytes(head, length);
  if (known) *known = imgFormatIsKnown(head, length);
  return true;
}

namespace {

// A format's decoder in img/format_codec.h's shape, and the name its decode
// goes by in messages.
struct Codec {
  const char* name;
  ImgStatus (*readHeader)(const char* path, ImgHeaderInfo* info, ImgDecoded* out, ImgPhotoMeta* meta);
  ImgStatus (*decode)(Img* dst, const char* path, const ImgDecodeTarget& target, ImgDecoded* out);
};

// The header reads that carry no metadata.
template <ImgStatus (*read)(const char*, ImgHeaderInfo*, ImgDecoded*)>
ImgStatus headerOnly(const char* path, ImgHeaderInfo* info, ImgDecoded* out, ImgPhotoMeta*) {
  return read(path, info, out);
}

const Codec& codecOf(ImgFormat format) {
  // In ImgFormat's order.
  static const Codec kCodecs[] = {
      {"imgJpegReadFile", headerOnly<imgJpegReadHeader>, imgJpegDecode},
      {"imgGifReadFile", headerOnly<imgGifReadHeader>, imgGifDecode},
      {"imgPngReadFile", imgPngReadHeader, imgPngDecode},    {"imgWebpReadFile", imgWebpReadHeader, imgWebpDecode},
      {"imgHeifReadFile", imgHeifReadHeader, imgHeifDecode}, {"imgAvifReadFile", imgHeifReadHeader, imgHeifDecode},
      {"imgVideoReadFile", imgVideoReadHeader, imgVideoDecode},
  };
  static_assert(std::size(kCodecs) == static_cast<size_t>(ImgFormat::Video) + 1, "a codec for every format");
  return kCodecs[static_cast<int>(format)];
}

}  // namespace

const char* imgFormatDecoderName(ImgFormat format) { return codecOf(format).name; }

ImgStatus imgFormatReadHeader(const char* path, ImgFormat format, ImgHeaderInfo* info, ImgDecoded* out,
                              ImgPhotoMeta* meta) {
  return codecOf(format).readHeader(path, info, out, meta);
}

ImgStatus imgFormatDecode(Img* dst, const char* path, ImgFormat format, const ImgDecodeTarget& target,
                          ImgDecoded* out) {
  const ImgStatus status = codecOf(format).decode(dst, path, target, out);
  return status == IMG_OK ? IMG_OK : imgDecodeFailed(dst, status);
}
