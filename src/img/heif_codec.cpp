// HEIF/AVIF adapter: boxes and pixels from libheif.
#include "img/heif_codec.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "base/limits.h"
#include "img/format_libraries.h"
#include "img/heif_boxes.h"
#include "img/heif_meta.h"
#include "img/icc_profile.h"
#include "img/upright_rows.h"
#include "util/file_handle.h"

namespace {

// What a decode holds for each pixel: the codec's planes and reference
// pictures, libheif's copy of them and its RGB(A) picture, and quorvel's
// rows (23 bytes measured at 8 bits, 27 with alpha).
constexpr long long kHeldPerPixel = 28;

// No side of a picture within the pixel limit needs more; the library
// refuses larger ones before allocating.
constexpr int kMaxSide = 1 << 16;

// libheif reads the stream quorvel opened and checked, never the file by
// name: a file swapped for a FIFO or a device since costs its picture only.
struct HeifStream {
  FILE* file = nullptr;
  int64_t size = 0;
};

int64_t streamPosition(void* stream) { return ftello(static_cast<HeifStream*>(stream)->file); }

int streamRead(void* data, size_t size, void* stream) {
  return fread(data, 1, size, static_cast<HeifStream*>(stream)->file) == size ? 0 : 1;
}

int streamSeek(int64_t position, void* stream) {
  return fseeko(static_cast<HeifStream*>(stream)->file, static_cast<off_t>(position), SEEK_SET);
}

heif_reader_grow_status streamGrow(int64_t target, void* stream) {
  return target <= static_cast<HeifStream*>(stream)->size ? heif_reader_grow_status_size_reached
                                                          : heif_reader_grow_status_size_beyond_eof;
}

constexpr heif_reader kStreamReader = {1, streamPosition, streamRead, streamSeek, streamGrow};

// The checked stream, the context reading it, the primary image's handle
// and the decoded image, released on every path.
struct HeifFile {
  const HeifLibrary* lib;
  FILE* file;
  HeifStream stream;
  heif_context* context = nullptr;
  heif_image_handle* handle = nullptr;
  heif_image* image = nullptr;

  HeifFile(const HeifLibrary* library, FILE* opened) : lib(library), file(opened), context(lib->contextAlloc()) {}
  ~HeifFile() {
    if (image) lib->imageRelease(image);
    if (handle) lib->handleRelease(handle);
    if (context) lib->contextFree(context);
  }
  HeifFile(const HeifFile&) = delete;
  HeifFile& operator=(const HeifFile&) = delete;
};

// Whether need bytes cannot be had now. libheif tells few of its codecs'
// allocation failures as such: libde265's come as the decoder's own error,
// a grid's tile or a colour conversion short of memory as a malformed
// picture. A failure while the decode's memory cannot be had is told as
// memory, not as damage.
bool memoryShort(long long need) {
  if (need <= 0) return false;
  void* probe = malloc(static_cast<size_t>(need));
  free(probe);
  return !probe;
}

// need: what the decode holds (0 before the picture's size is known).
ImgStatus failed(ImgDecoded* out, const heif_error& error, long long need = 0) {
  if (error.code == heif_error_Memory_allocation_error || memoryShort(need)) {
    out->why.clear();
    return IMG_DECODE_ALLOC;
  }
  out->why = error.message ? error.message : "cannot be decoded";
  // Some of libheif's messages end in a line feed, which would close the
  // error line before its parenthesis.
  while (!out->why.empty() && (out->why.back() == '\n' || out->why.back() == '\r')) out->why.pop_back();
  return IMG_DECODE_DAMAGED;
}

// Runs a step that calls into libheif, whose codecs are C++ too: what they
// throw ends the picture, never the run.
template <typename Step>
ImgStatus guarded(ImgDecoded* out, Step step) {
  try {
    return step();
  } catch (const std::bad_alloc&) {
    out->why.clear();
    return IMG_DECODE_ALLOC;
  } catch (const std::exception& thrown) {
    out->why = thrown.what();
  } catch (...) {
    out->why = "cannot be decoded";
  }
  return IMG_DECODE_DAMAGED;
}

// Opens the file's primary image from its stream; 0 or the failure.
ImgStatus openPrimary(HeifFile& file, ImgDecoded* out) {
  if (!file.context) return IMG_DECODE_ALLOC;
  struct stat st;
  if (fstat(fileno(file.file), &st) != 0 || fseeko(file.file, 0, SEEK_SET) != 0) return IMG_DECODE_OPEN;
  file.stream = {file.file, static_cast<int64_t>(st.st_size)};
  file.lib->setMaximumImageSizeLimit(file.context, kMaxSide);
  // Tiles decoded on this thread, one at a time: the memory a grid holds is
  // its canvas and one tile, and whatever a tile's decode throws reaches
  // guarded() instead of ending the process from a thread of the library's.
  file.lib->setMaxDecodingThreads(file.context, 0);
  heif_error error = file.lib->readFromReader(file.context, &kStreamReader, &file.stream, nullptr);
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

// What the meta box says of its items: pitm names the primary item, ipco
// holds the properties (their index in ipma counts from 1), ipma which
// belong to which item.
struct MetaItems {
  bool havePrimary = false, haveIpma = false;
  uint32_t primary = 0;
  std::vector<ImgBoxHeader> propertyHeaders;
  std::vector<ImgBoxRange> properties;
  ImgBoxRange ipma;
};

// pitm: a full box's version and flags, then the item's id, 16 or 32 bits.
// A pitm too short for its version is no plain description: false.
bool readPitm(ImgBoxRange body, MetaItems* items) {
  const uint32_t version = body.read(1);
  body.skip(3);
  if (!body.ok()) return true;  // passed over, as no pitm
  items->primary = body.read(version ? 4 : 2);
  items->havePrimary = body.ok();
  return body.ok();
}

void readIprp(ImgBoxRange body, MetaItems* items) {
  ImgBoxHeader box;
  ImgBoxRange child;
  while (imgBoxNext(body, &box, &child)) {
    if (!strcmp(box.type, "ipco")) {
      ImgBoxHeader property;
      ImgBoxRange propertyBody;
      while (imgBoxNext(child, &property, &propertyBody)) {
        items->propertyHeaders.push_back(property);
        items->properties.push_back(propertyBody);
      }
    } else if (!strcmp(box.type, "ipma")) {
      items->ipma = child;
      items->haveIpma = true;
    }
  }
}

// The indices (from 1) of the primary item's properties, in order, from
// ipma; false when ipma ends inside an entry.
bool primaryProperties(const MetaItems& items, std::vector<uint32_t>* associated) {
  ImgBoxRange ipma = items.ipma;
  const uint32_t version = ipma.read(1);
  const uint32_t flags = ipma.read(3);
  uint32_t entries = ipma.read(4);
  for (; ipma.ok() && entries > 0; --entries) {
    const uint32_t item = ipma.read(version ? 4 : 2);
    const uint32_t count = ipma.read(1);
    for (uint32_t i = 0; i < count && ipma.ok(); ++i) {
      const uint32_t index = flags & 1 ? ipma.read(2) & 0x7FFF : ipma.read(1) & 0x7F;
      if (ipma.ok() && item == items.primary) associated->push_back(index);
    }
  }
  return ipma.ok();
}

// One property applied to the size so far: ispe sets the coded size, clap
// crops it, irot turns it. A property too short for its fields is passed
// over; false for a crop that makes no size.
bool applyProperty(const char* type, ImgBoxRange property, long long* w, long long* h) {
  if (!strcmp(type, "ispe")) {
    property.skip(4);
    const uint32_t width = property.read(4), height = property.read(4);
    if (property.ok()) *w = width, *h = height;
  } else if (!strcmp(type, "clap") && *w > 0) {
    const uint32_t wn = property.read(4), wd = property.read(4), hn = property.read(4), hd = property.read(4);
    if (!property.ok()) return true;
    if (wd == 0 || hd == 0 || (wn >> 31) || (hn >> 31)) return false;
    *w = (wn + wd / 2) / wd;
    *h = (hn + hd / 2) / hd;
  } else if (!strcmp(type, "irot")) {
    const uint32_t turn = property.read(1);
    if (property.ok() && (turn & 1)) std::swap(*w, *h);
  }
  return true;
}

// The primary's size after its properties, from a canvas of fromW x fromH
// (ispe then passed over), or from ispe's coded size when fromW is 0; false
// as applyProperty, or for a size of no pixel or past an int's sides.
bool transformedSize(const MetaItems& items, const std::vector<uint32_t>& associated, long long fromW,
                     long long fromH, long long* w, long long* h) {
  *w = fromW;
  *h = fromH;
  for (uint32_t index : associated) {
    if (index == 0 || index > items.properties.size()) continue;
    const char* type = items.propertyHeaders[index - 1].type;
    if (fromW && !strcmp(type, "ispe")) continue;
    if (!applyProperty(type, items.properties[index - 1], w, h)) return false;
  }
  return *w > 0 && *h > 0 && *w <= INT32_MAX && *h <= INT32_MAX;
}

// The size the header gives a composed primary image, *w x *h holding
// ispe's: the library decodes its canvas whatever ispe says, so the larger
// of the two is told (an ispe not the canvas's fails the decode), and a
// canvas past the pixel limit is told as it is however small its crop, as
// the library holds it whole first. False for a canvas not read.
bool composedSize(const MetaItems& items, const std::vector<uint32_t>& associated, const ImgHeifCanvases& canvases,
                  long long* w, long long* h) {
  // A side past an int's is past the pixel limit whatever the other.
  const long long rawW = std::min<long long>(canvases.primaryWidth, INT32_MAX);
  const long long rawH = std::min<long long>(canvases.primaryHeight, INT32_MAX);
  long long cw, ch;
  if (!rawW || !transformedSize(items, associated, rawW, rawH, &cw, &ch)) return false;
  if (cw * ch >= *w * *h) *w = cw, *h = ch;
  if (rawW * rawH > kMaxPicturePixels && *w * *h <= kMaxPicturePixels) *w = rawW, *h = rawH;
  return true;
}

// The most pixels the decode holds at once: the picture's, or a coded
// picture's larger than the size its boxes tell (a codec allocates what its
// own parameters say).
long long decodedPixels(const ImgHeaderInfo& info, uint64_t coded) {
  return std::max<long long>(static_cast<long long>(info.width) * info.height,
                             static_cast<long long>(std::min<uint64_t>(coded, INT64_MAX / 16)));
}

// What a decode holds; nothing for a picture past the pixel limit, which is
// refused before it is decoded.
long long heldFor(const ImgHeaderInfo& info, uint64_t coded) {
  const long long pixels = decodedPixels(info, coded);
  return pixels <= kMaxPicturePixels ? pixels * kHeldPerPixel : 0;
}

// The primary image's size after its transforms (a composed one's from
// its canvas too, composedSize), from the boxes of the file's meta box,
// read by quorvel itself so that a warm run neither loads libheif nor has
// it parse every file. False when the file holds no such plain description
// (libheif then reads it). With photo, also the photo's
// metadata items, from the same meta box and file; with coded, the largest
// coded picture's pixels, as soon as the meta box is read.
bool primarySize(FILE* file, int* width, int* height, ImgPhotoMeta* photo = nullptr, uint64_t* coded = nullptr) {
  std::vector<unsigned char> meta;
  if (fseeko(file, 0, SEEK_SET) != 0 || !imgHeifReadMetaBody(file, &meta)) return false;
  if (coded) *coded = imgHeifLargestCodedPixels(meta.data(), meta.size());
  ImgBoxRange boxes(meta.data(), meta.size());
  boxes.skip(4);  // the full box's version and flags
  if (!boxes.ok()) return false;
  MetaItems items;
  ImgBoxHeader box;
  ImgBoxRange body;
  while (imgBoxNext(boxes, &box, &body)) {
    if (!strcmp(box.type, "pitm") && !readPitm(body, &items)) return false;
    if (!strcmp(box.type, "iprp")) readIprp(body, &items);
  }
  if (photo && items.havePrimary) imgHeifReadPhotoMeta(file, meta.data(), meta.size(), items.primary, photo);
  std::vector<uint32_t> associated;
  if (!items.havePrimary || !items.haveIpma || !primaryProperties(items, &associated)) return false;
  long long w, h;
  if (!transformedSize(items, associated, 0, 0, &w, &h)) return false;
  ImgHeifCanvases canvases;
  imgHeifReadCanvases(file, meta.data(), meta.size(), items.primary, &canvases);
  if (canvases.primaryComposed && !composedSize(items, associated, canvases, &w, &h)) return false;
  *width = static_cast<int>(w);
  *height = static_cast<int>(h);
  return true;
}

// Whether the library may decode the file: it allocates an overlay's or a
// grid's canvas whole, whatever the item's ispe says, for the primary image
// and for each it is composed of, and a coded picture at the size its codec
// parameters give. So every canvas of the file is to be read and within the
// pixel limit, and so is every coded size; a meta box or canvas quorvel
// cannot read is refused, as the library might read it otherwise. A grid
// that places one tile more than once claims a canvas its bytes do not
// hold: refused as damaged.
// *pixels: the most pixels the decode holds at once, as the header read
// tells them.
ImgStatus canvasesAllowed(const HeifFile& heif, long long* pixels, ImgDecoded* out) {
  FILE* file = heif.file;
  std::vector<unsigned char> meta;
  if (fseeko(file, 0, SEEK_SET) != 0 || !imgHeifReadMetaBody(file, &meta)) {
    out->why = "meta box not readable";
    return IMG_DECODE_DAMAGED;
  }
  ImgHeifCanvases canvases;
  imgHeifReadCanvases(file, meta.data(), meta.size(), 0, &canvases);
  const uint64_t coded = imgHeifLargestCodedPixels(meta.data(), meta.size());
  if (canvases.largestPixels > static_cast<uint64_t>(kMaxPicturePixels) ||
      coded > static_cast<uint64_t>(kMaxPicturePixels))
    return IMG_DECODE_TOO_LARGE;
  ImgHeaderInfo told;
  told.width = heif.lib->handleWidth(heif.handle);
  told.height = heif.lib->handleHeight(heif.handle);
  *pixels = decodedPixels(told, coded);
  if (canvases.repeatedTile) {
    out->why = "grid repeats a tile";
    return IMG_DECODE_DAMAGED;
  }
  if (!canvases.unread) return IMG_OK;
  out->why = "grid or overlay not readable";
  return IMG_DECODE_DAMAGED;
}

ImgStatus readHeader(FILE* file, ImgHeaderInfo* info, ImgDecoded* out, ImgPhotoMeta* meta) {
  uint64_t coded = 0;
  if (primarySize(file, &info->width, &info->height, meta, &coded)) {
    info->held = heldFor(*info, coded);
    return IMG_OK;
  }
  const HeifLibrary* lib = heifLibrary(&out->why);
  if (!lib) return IMG_DECODE_NO_LIBRARY;
  HeifFile heif(lib, file);
  const ImgStatus opened = openPrimary(heif, out);
  if (opened != IMG_OK && opened != IMG_DECODE_TOO_LARGE) return opened;
  info->width = lib->handleWidth(heif.handle);
  info->height = lib->handleHeight(heif.handle);
  info->held = heldFor(*info, coded);
  return IMG_OK;
}

// The decoded primary image into dst's sink, once its size is the one the
// header read told.
ImgStatus placeRows(Img* dst, HeifFile& file, const char* path, const ImgDecodeTarget& target, long long need,
                    ImgDecoded* out) {
  const HeifLibrary* lib = file.lib;
  const bool alpha = lib->handleHasAlpha(file.handle);
  const int bits = lib->handleLumaBits(file.handle);
  const bool deep = bits > 8;
  const heif_chroma chroma = deep ? (alpha ? heif_chroma_interleaved_RRGGBBAA_LE : heif_chroma_interleaved_RRGGBB_LE)
                                  : (alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB);
  const heif_error error = lib->decodeImage(file.handle, &file.image, heif_colorspace_RGB, chroma, nullptr);
  if (error.code != heif_error_Ok) return failed(out, error, need);
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
  primarySize(file.file, &boxWidth, &boxHeight);
  if (width != lib->handleWidth(file.handle) || height != lib->handleHeight(file.handle) || width != boxWidth ||
      height != boxHeight) {
    out->why = "coded size differs from its header";
    return IMG_DECODE_DAMAGED;
  }
  out->icc = imgIccCarried(colourProfile(file), path, &out->libraryText);
  ImgUprightRows sink;
  if (sink.begin(dst, width, height, 1, target.fit, target.fitWidth, target.fitHeight) != IMG_OK)
    return IMG_DECODE_ALLOC;
  const int channels = alpha ? 4 : 3;
  const int maxValue = deep ? (1 << bits) - 1 : 255;
  sink.putRows(pixels, static_cast<size_t>(stride), height, channels, maxValue);
  return IMG_OK;
}

}  // namespace

ImgStatus imgHeifReadHeader(const char* path, ImgHeaderInfo* info, ImgDecoded* out, ImgPhotoMeta* meta) {
  FileHandle file = fileOpenRead(path);
  if (!file) return IMG_DECODE_OPEN;
  return guarded(out, [&] { return readHeader(file.get(), info, out, meta); });
}

ImgStatus imgHeifDecode(Img* dst, const char* path, const ImgDecodeTarget& target, ImgDecoded* out) {
  *dst = Img{};
  const HeifLibrary* lib = heifLibrary(&out->why);
  if (!lib) return IMG_DECODE_NO_LIBRARY;
  FileHandle opened = fileOpenRead(path);
  if (!opened) return IMG_DECODE_OPEN;
  HeifDecodeScope scope(&out->libraryText);
  const ImgStatus status = guarded(out, [&] {
    HeifFile file(lib, opened.get());
    if (const ImgStatus open = openPrimary(file, out)) return open;
    long long pixels = 0;
    if (const ImgStatus allowed = canvasesAllowed(file, &pixels, out)) return allowed;
    scope.limitFrames(static_cast<uint64_t>(pixels));
    return placeRows(dst, file, path, target, pixels * kHeldPerPixel, out);
  });
  return status == IMG_OK ? status : imgDecodeFailed(dst, status);
}
