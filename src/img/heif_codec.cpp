// HEIF/AVIF adapter: boxes and pixels from libheif.
#include "img/heif_codec.h"

#include <memory>

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

}  // namespace

ImgStatus imgHeifReadHeader(const char* path, ImgHeaderInfo* info, ImgDecoded* out) {
  const HeifLibrary* lib = heifLibrary();
  if (!lib) return IMG_DECODE_NO_LIBRARY;
  HeifFile file(lib);
  const ImgStatus opened = openPrimary(file, path, out);
  if (opened != IMG_OK && opened != IMG_DECODE_TOO_LARGE) return opened;
  info->width = lib->handleWidth(file.handle);
  info->height = lib->handleHeight(file.handle);
  // The library's coded planes, its RGB(A) picture at up to 16 bits, and
  // its grid's tiles: about 12 bytes a pixel.
  info->held = static_cast<long long>(info->width) * info->height * 12;
  return IMG_OK;
}

ImgStatus imgHeifDecode(Img* dst, const char* path, const ImgDecodeTarget& target, ImgDecoded* out) {
  *dst = Img{};
  const HeifLibrary* lib = heifLibrary();
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
  out->icc = colourProfile(file);
  ImgUprightRows sink;
  if (sink.begin(dst, width, height, 1, target.fit, target.fitWidth, target.fitHeight) != IMG_OK)
    return IMG_DECODE_ALLOC;
  const int channels = alpha ? 4 : 3;
  const int maxValue = deep ? (1 << bits) - 1 : 255;
  for (int y = 0; y < height; ++y) sink.put(pixels + static_cast<size_t>(stride) * y, channels, maxValue);
  return IMG_OK;
}
