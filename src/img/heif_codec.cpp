// HEIF/AVIF adapter: boxes and pixels from libheif.
#include "img/heif_codec.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/limits.h"
#include "img/format_libraries.h"
#include "img/icc_profile.h"
#include "img/upright_rows.h"
#include "util/file_handle.h"

namespace {

// No side of a picture within the pixel limit needs more; the library
// refuses larger ones before allocating.
constexpr int kMaxSide = 1 << 16;

// The context, the primary image's handle and the decoded image, released
// on every path.
struct HeifFile {
  const HeifLibrary* lib;
  heif_context* context = nullptr;
  heif_image_handle* handle = nullptr;
  heif_image* image = nullptr;

  explicit HeifFile(const HeifLibrary* library) : lib(library), context(lib->contextAlloc()) {}
  ~HeifFile() {
    if (image) lib->imageRelease(image);
    if (handle) lib->handleRelease(handle);
    if (context) lib->contextFree(context);
  }
  HeifFile(const HeifFile&) = delete;
  HeifFile& operator=(const HeifFile&) = delete;
};

ImgStatus failed(ImgDecoded* out, const heif_error& error) {
  out->why = error.message ? error.message : "cannot be decoded";
  return error.code == heif_error_Memory_allocation_error ? IMG_DECODE_ALLOC : IMG_DECODE_DAMAGED;
}

// Opens path and its primary image; 0 or the failure.
ImgStatus openPrimary(HeifFile& file, const char* path, ImgDecoded* out) {
  if (!file.context) return IMG_DECODE_ALLOC;
  // The library opens by name: the file must be one quorvel may read.
  if (!fileOpenRead(path)) return IMG_DECODE_OPEN;
  file.lib->setMaximumImageSizeLimit(file.context, kMaxSide);
  heif_error error = file.lib->readFromFile(file.context, path, nullptr);
  if (error.code != heif_error_Ok) return failed(out, error);
  error = file.lib->primaryImageHandle(file.context, &file.handle);
  if (error.code != heif_error_Ok) return failed(out, error);
  const long long w = file.lib->handleWidth(file.handle), h = file.lib->handleHeight(file.handle);
  if (w <= 0 || h <= 0) {
    out->why = "bad size";
    return IMG_DECODE_DAMAGED;
  }
  return w * h > kMaxPicturePixels ? IMG_DECODE_TOO_LARGE : IMG_OK;
}

// The profile the derived pictures carry: the file's own, else the one its
// colour description stands for (none for sRGB's).
std::string colourProfile(const HeifFile& file) {
  const HeifLibrary* lib = file.lib;
  const heif_color_profile_type type = lib->handleColorProfileType(file.handle);
  std::string icc;
  if (type == heif_color_profile_type_prof || type == heif_color_profile_type_rICC) {
    icc.resize(lib->handleRawProfileSize(file.handle));
    if (icc.empty() || lib->handleRawProfile(file.handle, icc.data()).code != heif_error_Ok) icc.clear();
    return icc;
  }
  heif_color_profile_nclx* nclx = nullptr;
  // The library may hand out a profile with an error: freed either way.
  const bool described = lib->handleNclxProfile(file.handle, &nclx).code == heif_error_Ok;
  if (!nclx) return icc;
  const ImgPrimaries primaries{nclx->color_primary_red_x,   nclx->color_primary_red_y,
                               nclx->color_primary_green_x, nclx->color_primary_green_y,
                               nclx->color_primary_blue_x,  nclx->color_primary_blue_y,
                               nclx->color_primary_white_x, nclx->color_primary_white_y};
  const int primariesCode = nclx->color_primaries;
  const int transfer = nclx->transfer_characteristics;
  lib->nclxFree(nclx);
  if (!described) return icc;
  // BT.709's primaries are sRGB's: what a browser assumes without a profile.
  if (primariesCode == heif_color_primaries_ITU_R_BT_709_5 || primariesCode == heif_color_primaries_unspecified)
    return icc;
  return imgIccFromPrimaries(primaries, transfer);
}


// The primary image's size after its transforms, from the boxes of the
// file's meta box, read by quorvel itself so that a warm run neither loads
// libheif nor has it parse every file: pitm names the primary item, ipma its
// properties in order, ispe its coded size, clap a crop, irot a quarter turn.
// False when the file holds no such plain description (libheif then reads it).
class BoxReader {
 public:
  BoxReader(const unsigned char* data, size_t size) : p_(data), end_(data + size) {}
  bool has(size_t n) const { return static_cast<size_t>(end_ - p_) >= n; }
  uint32_t u(int bytes) {
    uint32_t v = 0;
    for (int i = 0; i < bytes; ++i) v = (v << 8) | *p_++;
    return v;
  }
  // The next box: its type and a reader over its body; false at the end.
  bool next(char type[5], BoxReader* body) {
    if (!has(8)) return false;
    uint64_t size = u(4);
    memcpy(type, p_, 4);
    type[4] = '\0';
    p_ += 4;
    size_t header = 8;
    if (size == 1) {
      if (!has(8)) return false;
      size = (uint64_t{u(4)} << 32) | u(4);
      header = 16;
    } else if (size == 0) {
      size = header + static_cast<size_t>(end_ - p_);
    }
    if (size < header || !has(size - header)) return false;
    *body = BoxReader(p_, size - header);
    p_ += size - header;
    return true;
  }
  void skip(size_t n) { p_ += n; }

 private:
  const unsigned char* p_;
  const unsigned char* end_;
};

constexpr size_t kMaxMetaBytes = 4 << 20;

// What a decode holds; nothing for a picture past the pixel limit, which is
// refused before it is decoded.
long long heldFor(const ImgHeaderInfo& info) {
  const long long pixels = static_cast<long long>(info.width) * info.height;
  return pixels <= kMaxPicturePixels ? pixels * 12 : 0;
}

bool primarySize(const char* path, int* width, int* height) {
  FileHandle file = fileOpenRead(path);
  if (!file) return false;
  // The top-level boxes up to meta: ftyp first, meta usually second.
  std::vector<unsigned char> meta;
  for (int box = 0; box < 8 && meta.empty(); ++box) {
    unsigned char head[16];
    if (fread(head, 1, 8, file.get()) != 8) return false;
    BoxReader r(head, 8);
    uint64_t size = r.u(4);
    const bool isMeta = memcmp(head + 4, "meta", 4) == 0;
    size_t header = 8;
    if (size == 1) {
      if (fread(head + 8, 1, 8, file.get()) != 8) return false;
      BoxReader big(head + 8, 8);
      size = (uint64_t{big.u(4)} << 32) | big.u(4);
      header = 16;
    }
    if (size < header) return false;
    if (isMeta) {
      if (size - header > kMaxMetaBytes) return false;
      meta.resize(size - header);
      if (fread(meta.data(), 1, meta.size(), file.get()) != meta.size()) return false;
    } else if (fseeko(file.get(), static_cast<off_t>(size - header), SEEK_CUR) != 0) {
      return false;
    }
  }
  if (meta.size() < 4) return false;
  BoxReader boxes(meta.data() + 4, meta.size() - 4);  // after the full box's version and flags
  uint32_t primary = 0;
  bool havePrimary = false;
  std::vector<BoxReader> properties;
  std::vector<std::string> propertyTypes;
  std::vector<uint32_t> associated;  // indices into properties, from 1, in order
  char type[5];
  BoxReader body(nullptr, 0);
  BoxReader ipmaBody(nullptr, 0);
  bool haveIpma = false;
  while (boxes.next(type, &body)) {
    if (!strcmp(type, "pitm") && body.has(4)) {
      const uint32_t version = body.u(1);
      body.skip(3);
      if (!body.has(version ? 4 : 2)) return false;
      primary = body.u(version ? 4 : 2);
      havePrimary = true;
    } else if (!strcmp(type, "iprp")) {
      BoxReader child(nullptr, 0);
      while (body.next(type, &child)) {
        if (!strcmp(type, "ipco")) {
          BoxReader property(nullptr, 0);
          char ptype[5];
          while (child.next(ptype, &property)) {
            properties.push_back(property);
            propertyTypes.emplace_back(ptype);
          }
        } else if (!strcmp(type, "ipma")) {
          ipmaBody = child;
          haveIpma = true;
        }
      }
    }
  }
  if (!havePrimary || !haveIpma || !ipmaBody.has(8)) return false;
  const uint32_t version = ipmaBody.u(1);
  const uint32_t flags = ipmaBody.u(3);
  for (uint32_t entries = ipmaBody.u(4); entries > 0; --entries) {
    if (!ipmaBody.has(version ? 5 : 3)) return false;
    const uint32_t item = ipmaBody.u(version ? 4 : 2);
    const uint32_t count = ipmaBody.u(1);
    for (uint32_t i = 0; i < count; ++i) {
      if (!ipmaBody.has(flags & 1 ? 2 : 1)) return false;
      const uint32_t index = flags & 1 ? ipmaBody.u(2) & 0x7FFF : ipmaBody.u(1) & 0x7F;
      if (item == primary) associated.push_back(index);
    }
  }
  long long w = 0, h = 0;
  for (uint32_t index : associated) {
    if (index == 0 || index > properties.size()) continue;
    BoxReader property = properties[index - 1];
    const std::string& ptype = propertyTypes[index - 1];
    if (ptype == "ispe" && property.has(12)) {
      property.skip(4);
      w = property.u(4);
      h = property.u(4);
    } else if (ptype == "clap" && property.has(16) && w > 0) {
      const uint32_t wn = property.u(4), wd = property.u(4), hn = property.u(4), hd = property.u(4);
      if (wd == 0 || hd == 0 || (wn >> 31) || (hn >> 31)) return false;
      w = (wn + wd / 2) / wd;
      h = (hn + hd / 2) / hd;
    } else if (ptype == "irot" && property.has(1)) {
      if (property.u(1) & 1) std::swap(w, h);
    }
  }
  if (w <= 0 || h <= 0 || w > INT32_MAX || h > INT32_MAX) return false;
  *width = static_cast<int>(w);
  *height = static_cast<int>(h);
  return true;
}

}  // namespace

ImgStatus imgHeifReadHeader(const char* path, ImgHeaderInfo* info, ImgDecoded* out) {
  // The library's coded planes, its RGB(A) picture at up to 16 bits, and
  // its grid's tiles: about 12 bytes a pixel.
  if (primarySize(path, &info->width, &info->height)) {
    info->held = heldFor(*info);
    return IMG_OK;
  }
  const HeifLibrary* lib = heifLibrary(&out->why);
  if (!lib) return IMG_DECODE_NO_LIBRARY;
  HeifFile file(lib);
  const ImgStatus opened = openPrimary(file, path, out);
  if (opened != IMG_OK && opened != IMG_DECODE_TOO_LARGE) return opened;
  info->width = lib->handleWidth(file.handle);
  info->height = lib->handleHeight(file.handle);
  info->held = heldFor(*info);
  return IMG_OK;
}

ImgStatus imgHeifDecode(Img* dst, const char* path, const ImgDecodeTarget& target, ImgDecoded* out) {
  *dst = Img{};
  const HeifLibrary* lib = heifLibrary(&out->why);
  if (!lib) return IMG_DECODE_NO_LIBRARY;
  HeifFile file(lib);
  if (const ImgStatus opened = openPrimary(file, path, out)) return opened;
  const bool alpha = lib->handleHasAlpha(file.handle);
  const int bits = lib->handleLumaBits(file.handle);
  const bool deep = bits > 8;
  const heif_chroma chroma = deep ? (alpha ? heif_chroma_interleaved_RRGGBBAA_LE : heif_chroma_interleaved_RRGGBB_LE)
                                  : (alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB);
  const heif_error error = lib->decodeImage(file.handle, &file.image, heif_colorspace_RGB, chroma, nullptr);
  if (error.code != heif_error_Ok) return failed(out, error);
  int stride = 0;
  const uint8_t* pixels = lib->planeReadonly(file.image, heif_channel_interleaved, &stride);
  const int width = lib->imageWidth(file.image, heif_channel_interleaved);
  const int height = lib->imageHeight(file.image, heif_channel_interleaved);
  if (!pixels || width <= 0 || height <= 0 || stride <= 0) {
    out->why = "no picture decoded";
    return IMG_DECODE_DAMAGED;
  }
  // The size the header gave decided the thresholds and the limit: a coded
  // picture of another size is no picture the header describes.
  int boxWidth = width, boxHeight = height;
  primarySize(path, &boxWidth, &boxHeight);
  if (width != lib->handleWidth(file.handle) || height != lib->handleHeight(file.handle) || width != boxWidth ||
      height != boxHeight) {
    out->why = "coded size differs from its header";
    return IMG_DECODE_DAMAGED;
  }
  out->icc = colourProfile(file);
  ImgUprightRows sink;
  if (sink.begin(dst, width, height, 1, target.fit, target.fitWidth, target.fitHeight) != IMG_OK)
    return IMG_DECODE_ALLOC;
  const int channels = alpha ? 4 : 3;
  const int maxValue = deep ? (1 << bits) - 1 : 255;
  for (int y = 0; y < height; ++y) sink.put(pixels + static_cast<size_t>(stride) * y, channels, maxValue);
  return IMG_OK;
}
