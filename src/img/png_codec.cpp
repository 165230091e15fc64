// PNG adapter: IHDR read by hand, rows from libpng.
#include "img/png_codec.h"

#include <sys/stat.h>

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstring>
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

// Chunks looked at for an eXIf (and, asked for, an XMP iTXt) before the
// image data; past that it is none.
constexpr int kMaxChunks = 1000;
constexpr uint32_t kMaxExifBytes = 1 << 16;
// What libpng inflates of an ancillary chunk (a profile): the pixels are
// bounded by the header, the rest should be too. No larger profile is
// carried, so none is inflated.
constexpr size_t kMaxChunkBytes = kImgIccMaxBytes;
// Texts, palette suggestions and unknown chunks are read by no one: libpng
// keeps none (1 is its count of a full store; 0 would mean no limit), or a
// few kilobytes of zTXt would each inflate to kMaxChunkBytes and stay.
constexpr png_uint_32 kKeptChunks = 1;
// Chunks libpng would buffer whole at the length they claim before looking
// at them, and quorvel reads none of (-exif reads the XMP iTXt itself, from
// the header read): passed over unread instead, so a few bytes claiming
// 2 GiB cost nothing.
constexpr png_byte kUnreadChunks[] = "tEXt\0zTXt\0iTXt\0pCAL\0sCAL\0sPLT";
constexpr int kUnreadChunkCount = sizeof kUnreadChunks / 5;
// An interlaced picture is held whole, at 8 bits a sample, before its first
// row comes out. Beyond this much, what it holds must stay within what its
// bytes can inflate to at deflate's best: a 1-bit picture of 225 MP codes in
// 30 KB, and would otherwise hold 700 MB.
constexpr long long kInterlacedHeldFloor = 64LL << 20;

bool interlacedOutgrowsBytes(long long held, long long fileBytes) {
  return fileBytes >= 0 && held > kInterlacedHeldFloor && held > fileBytes * kDeflateMaxRatio;
}

long long fileBytes(FILE* file) {
  struct stat st;
  return fstat(fileno(file), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}

ImgStatus damaged(ImgDecoded* out, const char* why) {
  out->why = why;
  return IMG_DECODE_DAMAGED;
}

constexpr char kXmpKeyword[] = "XML:com.adobe.xmp";  // with its NUL: how an XMP iTXt starts

// An iTXt chunk's text when it is an uncompressed XMP packet: length bytes
// at file's position (keyword, compression flag and method, language,
// translated keyword, text). Compressed packets are passed over: no
// inflater is loaded for a caption.
void readXmpText(FILE* file, uint32_t length, ImgMetaBudget* budget, ImgPhotoMeta* meta) {
  std::vector<unsigned char> bytes;
  if (!budget->read(file, length, &bytes)) return;
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  if (!text.starts_with(std::string_view(kXmpKeyword, sizeof kXmpKeyword)) || text.size() < sizeof kXmpKeyword + 2 ||
      text[sizeof kXmpKeyword] != 0)
    return;
  const size_t language = text.find('\0', sizeof kXmpKeyword + 2);
  const size_t translated = language == std::string_view::npos ? language : text.find('\0', language + 1);
  if (translated != std::string_view::npos) imgPhotoMetaReadXmp(text.substr(translated + 1), meta);
}

// Whether the iTXt chunk at file's position (of length bytes) is named as
// XMP; reads its keyword.
bool namedXmp(FILE* file, uint32_t length) {
  char keyword[sizeof kXmpKeyword];
  return length >= sizeof keyword && fread(keyword, 1, sizeof keyword, file) == sizeof keyword &&
         memcmp(keyword, kXmpKeyword, sizeof keyword) == 0;
}

// The chunks after IHDR up to the image data, by their headers: the
// orientation of the first eXIf of at most kMaxExifBytes, as ever, and,
// when meta is asked for, the facts of the first eXIf and the first XMP
// iTXt within one budget. What follows the image data is not looked at: a
// header read costs the same however large the picture (the writers of
// today put their metadata first). Returns the orientation.
int scanChunks(FILE* file, ImgPhotoMeta* meta) {
  int orientation = 1;
  bool oriented = false, exifSeen = false, xmpSeen = false;
  ImgMetaBudget budget;
  for (int i = 0; i < kMaxChunks; ++i) {
    unsigned char chunk[8];
    if (fread(chunk, 1, 8, file) != 8) break;
    const off_t data = ftello(file);
    const uint32_t length = byteBig32(chunk);
    if (memcmp(chunk + 4, "IDAT", 4) == 0 || memcmp(chunk + 4, "IEND", 4) == 0 || length > INT32_MAX || data < 0)
      break;
    if (memcmp(chunk + 4, "eXIf", 4) == 0) {
      std::vector<unsigned char> exif;
      const bool orients = !oriented && length <= kMaxExifBytes;
      if (orients) {
        oriented = true;
        exif.resize(length);
        if (fread(exif.data(), 1, length, file) != length) break;
        orientation = imgExifTiffOrientation(exif.data(), length);
        if (!meta) break;
      }
      if (meta && !exifSeen && (orients ? budget.take(length) : budget.read(file, length, &exif)))
        imgPhotoMetaReadExif(exif.data(), exif.size(), meta);
      exifSeen = true;
    } else if (meta && !xmpSeen && memcmp(chunk + 4, "iTXt", 4) == 0 && namedXmp(file, length)) {
      if (fseeko(file, data, SEEK_SET) != 0) break;
      readXmpText(file, length, &budget, meta);
      xmpSeen = true;
    }
    if ((oriented && exifSeen && xmpSeen) || fseeko(file, data + static_cast<off_t>(length) + 4, SEEK_SET) != 0)
      break;
  }
  return orientation;
}

}  // namespace

ImgStatus imgPngReadHeader(const char* path, ImgHeaderInfo* info, ImgDecoded* out, ImgPhotoMeta* meta) {
  FileHandle file = fileOpenRead(path);
  if (!file) return IMG_DECODE_OPEN;
  unsigned char head[33];
  if (fread(head, 1, sizeof head, file.get()) != sizeof head || !byteIsPng(head, sizeof head) ||
      memcmp(head + 12, "IHDR", 4) != 0 || byteBig32(head + 8) != 13)
    return damaged(out, "no PNG header");
  const uint32_t width = byteBig32(head + 16), height = byteBig32(head + 20);
  if (width == 0 || height == 0 || width > INT32_MAX || height > INT32_MAX) return damaged(out, "bad size");
  const int orientation = scanChunks(file.get(), meta);
  const bool swap = imgOrientationSwapsSides(orientation);
  info->width = static_cast<int>(swap ? height : width);
  info->height = static_cast<int>(swap ? width : height);
  // An interlaced file is held whole, 4 bytes a pixel at most after expansion.
  // (A claim past the pixel limit is refused before any decode: nothing held.)
  const long long pixels = static_cast<long long>(width) * height;
  const bool interlaced = head[28] != 0;
  if (interlaced && pixels <= kMaxPicturePixels && interlacedOutgrowsBytes(pixels * 4, fileBytes(file.get())))
    return damaged(out, "too few bytes for the size it claims");
  info->held = interlaced && pixels <= kMaxPicturePixels ? pixels * 4 : 0;
  return IMG_OK;
}

namespace {

// The error record libpng calls back; a library error jumps back to the
// recovery point of the read in progress with its message kept. The last
// warning on the iCCP chunk says why libpng refused a profile.
struct PngError {
  jmp_buf jump;
  char message[200];
  char profileWarning[200];
};

[[noreturn]] void pngErrorExit(png_structp png, png_const_charp message) {
  auto* error = static_cast<PngError*>(pngLibrary()->getErrorPtr(png));
  snprintf(error->message, sizeof error->message, "%s", message);
  longjmp(error->jump, 1);
}

// Warnings (a known-bad sRGB profile, an ancillary chunk's CRC) cost no
// pixel: not worth a line among thousands of photos. Those on the profile
// are kept for the line of a profile dropped.
void pngWarning(png_structp png, png_const_charp message) {
  constexpr std::string_view kProfileChunk = "iCCP: ";
  auto* error = static_cast<PngError*>(pngLibrary()->getErrorPtr(png));
  if (std::string_view(message).starts_with(kProfileChunk))
    snprintf(error->profileWarning, sizeof error->profileWarning, "%s", message + kProfileChunk.size());
}

// The library's read and info structures, destroyed on every path.
struct PngReader {
  const PngLibrary* lib;
  png_structp png = nullptr;
  png_infop info = nullptr;
  PngError error{};

  explicit PngReader(const PngLibrary* library) : lib(library) {
    png = lib->createReadStruct(PNG_LIBPNG_VER_STRING, &error, pngErrorExit, pngWarning);
    if (png) info = lib->createInfoStruct(png);
  }
  ~PngReader() {
    if (png) lib->destroyReadStruct(&png, info ? &info : nullptr, nullptr);
  }
  PngReader(const PngReader&) = delete;
  PngReader& operator=(const PngReader&) = delete;
};

// What the header and the transforms make of the rows.
struct PngLayout {
  png_uint_32 width = 0, height = 0;
  int bitDepth = 0, colorType = 0, interlace = 0;
  int orientation = 1;
  const unsigned char* icc = nullptr;
  png_uint_32 iccLength = 0;
  int passes = 1, channels = 3;
  size_t rowBytes = 0;
};

// The library calls up to the image data, below the recovery point of
// guardedInfo: trivially destructible locals only, as a library error
// longjmps straight past this frame.
[[gnu::noinline]] void readInfo(PngReader* r, FILE* file, PngLayout* layout) {
  const PngLibrary* lib = r->lib;
  lib->initIo(r->png, file);
  // quorvel's own pixel limit follows; the library's per-side default is lower than a panorama.
  lib->setUserLimits(r->png, 0x7fffffff, 0x7fffffff);
  lib->setChunkMallocMax(r->png, kMaxChunkBytes);
  lib->setChunkCacheMax(r->png, kKeptChunks);
  lib->setKeepUnknownChunks(r->png, PNG_HANDLE_CHUNK_NEVER, kUnreadChunks, kUnreadChunkCount);
  lib->readInfo(r->png, r->info);
  lib->getIHDR(r->png, r->info, &layout->width, &layout->height, &layout->bitDepth, &layout->colorType,
               &layout->interlace, nullptr, nullptr);
  png_charp name;
  int compression;
  png_bytep profile;
  if (lib->getICCP(r->png, r->info, &name, &compression, &profile, &layout->iccLength)) layout->icc = profile;
  png_uint_32 exifLength = 0;
  png_bytep exif = nullptr;
  if (lib->getEXIf1(r->png, r->info, &exifLength, &exif) && exif)
    layout->orientation = imgExifTiffOrientation(exif, exifLength);
}

// Every kind of row becomes 8-bit RGB or RGBA.
[[gnu::noinline]] void setTransforms(PngReader* r, PngLayout* layout) {
  const PngLibrary* lib = r->lib;
  lib->setExpand(r->png);
  lib->setScale16(r->png);
  lib->setGrayToRgb(r->png);
  layout->passes = lib->setInterlaceHandling(r->png);
  lib->readUpdateInfo(r->png, r->info);
  layout->channels = lib->getChannels(r->png, r->info);
  layout->rowBytes = lib->getRowbytes(r->png, r->info);
}

bool guardedInfo(PngReader* r, FILE* file, PngLayout* layout) {
  if (setjmp(r->error.jump)) return false;
  readInfo(r, file, layout);
  return true;
}

bool guardedTransforms(PngReader* r, PngLayout* layout) {
  if (setjmp(r->error.jump)) return false;
  setTransforms(r, layout);
  return true;
}

// The rows, into sink: one at a time, or, interlaced, all passes into
// buffer (the whole picture) first.
[[gnu::noinline]] void readRows(PngReader* r, const PngLayout* layout, unsigned char* buffer, ImgUprightRows* sink) {
  const PngLibrary* lib = r->lib;
  if (layout->passes > 1) {
    for (int pass = 0; pass < layout->passes; ++pass)
      for (png_uint_32 y = 0; y < layout->height; ++y) lib->readRow(r->png, buffer + y * layout->rowBytes, nullptr);
    sink->putRows(buffer, layout->rowBytes, static_cast<int>(layout->height), layout->channels);
    return;
  }
  for (png_uint_32 y = 0; y < layout->height; ++y) {
    lib->readRow(r->png, buffer, nullptr);
    sink->put(buffer, layout->channels);
  }
}

bool guardedRows(PngReader* r, const PngLayout* layout, unsigned char* buffer, ImgUprightRows* sink) {
  if (setjmp(r->error.jump)) return false;
  readRows(r, layout, buffer, sink);
  return true;
}

// What the chunks before the image data claim, walked by their headers
// before libpng reads any: whether each lies within the file (libpng would
// allocate a chunk's claimed length before finding the file short of it),
// and whether there is a profile, or an sRGB chunk.
struct ChunkWalk {
  bool fits = true;
  bool profile = false, srgb = false;
};

ChunkWalk walkChunks(FILE* file, long long size) {
  ChunkWalk walk;
  for (long long at = 8; walk.fits; ) {
    unsigned char chunk[8];
    if (fseeko(file, static_cast<off_t>(at), SEEK_SET) != 0 || fread(chunk, 1, 8, file) != 8) break;
    if (memcmp(chunk + 4, "IDAT", 4) == 0 || memcmp(chunk + 4, "IEND", 4) == 0) break;
    walk.profile = walk.profile || memcmp(chunk + 4, "iCCP", 4) == 0;
    walk.srgb = walk.srgb || memcmp(chunk + 4, "sRGB", 4) == 0;
    at += 12 + static_cast<long long>(byteBig32(chunk));
    walk.fits = at <= size;
  }
  rewind(file);
  return walk;
}

// Bytes of one stored row before filtering, as the header claims it.
long long rawRowBytes(const PngLayout& layout) {
  static constexpr int kSamples[7] = {1, 0, 3, 1, 2, 0, 4};
  const int samples = layout.colorType >= 0 && layout.colorType < 7 ? kSamples[layout.colorType] : 4;
  return 1 + (static_cast<long long>(layout.width) * samples * layout.bitDepth + 7) / 8;
}

}  // namespace

ImgStatus imgPngDecode(Img* dst, const char* path, const ImgDecodeTarget& target, ImgDecoded* out) {
  *dst = Img{};
  const PngLibrary* lib = pngLibrary(&out->why);
  if (!lib) return IMG_DECODE_NO_LIBRARY;
  FileHandle file = fileOpenRead(path);
  if (!file) return IMG_DECODE_OPEN;
  const long long size = fileBytes(file.get());
  const ChunkWalk walk = walkChunks(file.get(), size);
  if (!walk.fits) return damaged(out, "a chunk runs past the end of the file");
  PngReader reader(lib);  // after the file: destroyed before it is closed
  if (!reader.info) return IMG_DECODE_ALLOC;
  PngLayout layout;
  if (!guardedInfo(&reader, file.get(), &layout)) return damaged(out, reader.error.message);
  if (static_cast<long long>(layout.width) * layout.height > kMaxPicturePixels) return IMG_DECODE_TOO_LARGE;
  // Deflate gives at most 1032 bytes a byte: a claim past that is no picture.
  if (size >= 0 && rawRowBytes(layout) * layout.height > size * kDeflateMaxRatio) return IMG_DATA_SHORT;
  if (!guardedTransforms(&reader, &layout)) return damaged(out, reader.error.message);
  if (layout.channels != 3 && layout.channels != 4) return damaged(out, "unexpected samples");
  const size_t rows = layout.passes > 1 ? layout.height : 1;
  if (layout.passes > 1 && interlacedOutgrowsBytes(static_cast<long long>(layout.rowBytes) * rows, size))
    return IMG_DATA_SHORT;
  std::vector<unsigned char> buffer;
  try {
    buffer.resize(layout.rowBytes * rows);
  } catch (const std::bad_alloc&) {
    return IMG_DECODE_ALLOC;
  }
  ImgUprightRows sink;
  if (sink.begin(dst, static_cast<int>(layout.width), static_cast<int>(layout.height), layout.orientation,
                 target.fit, target.fitWidth, target.fitHeight) != IMG_OK)
    return IMG_DECODE_ALLOC;
  if (!guardedRows(&reader, &layout, buffer.data(), &sink)) return damaged(out, reader.error.message);
  if (layout.icc) {
    const std::string_view profile(reinterpret_cast<const char*>(layout.icc), layout.iccLength);
    out->icc = imgIccCarried(profile, path, &out->libraryText);
  } else if (walk.profile && !walk.srgb) {
    // Refused by libpng (too large, not for the picture's colours): said,
    // unless an sRGB chunk says what the pictures are shown as anyway.
    const char* why = reader.error.profileWarning;
    imgIccDropped(path, *why ? why : "refused by the PNG library", &out->libraryText);
  }
  return IMG_OK;
}
