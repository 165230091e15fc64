// dlopen'ed format libraries: each paid for only when a file of its format is read.
#include "img/format_libraries.h"

#include <dlfcn.h>

#include <initializer_list>

namespace {

// Opens the first library of names that loads, kept for the process's life.
void* openLibrary(std::initializer_list<const char*> names) {
  for (const char* name : names)
    if (void* handle = dlopen(name, RTLD_NOW | RTLD_LOCAL)) return handle;
  return nullptr;
}

// Resolves one function into slot; false when it is missing.
template <typename F>
bool resolve(void* handle, const char* name, F& slot) {
  slot = handle ? reinterpret_cast<F>(dlsym(handle, name)) : nullptr;
  return slot != nullptr;
}

#define QV_RESOLVE(handle, field, symbol) ok = resolve(handle, #symbol, functions.field) && ok

template <typename Library>
struct Loaded {
  Library functions{};
  bool complete = false;
};

Loaded<PngLibrary> loadPng() {
  Loaded<PngLibrary> loaded;
  PngLibrary& functions = loaded.functions;
  void* png = openLibrary({"libpng16.so.16"});
  bool ok = png != nullptr;
  QV_RESOLVE(png, createReadStruct, png_create_read_struct);
  QV_RESOLVE(png, createInfoStruct, png_create_info_struct);
  QV_RESOLVE(png, destroyReadStruct, png_destroy_read_struct);
  QV_RESOLVE(png, getErrorPtr, png_get_error_ptr);
  QV_RESOLVE(png, initIo, png_init_io);
  QV_RESOLVE(png, setUserLimits, png_set_user_limits);
  QV_RESOLVE(png, setChunkMallocMax, png_set_chunk_malloc_max);
  QV_RESOLVE(png, setChunkCacheMax, png_set_chunk_cache_max);
  QV_RESOLVE(png, readInfo, png_read_info);
  QV_RESOLVE(png, getIHDR, png_get_IHDR);
  QV_RESOLVE(png, setExpand, png_set_expand);
  QV_RESOLVE(png, setScale16, png_set_scale_16);
  QV_RESOLVE(png, setGrayToRgb, png_set_gray_to_rgb);
  QV_RESOLVE(png, setInterlaceHandling, png_set_interlace_handling);
  QV_RESOLVE(png, readUpdateInfo, png_read_update_info);
  QV_RESOLVE(png, getRowbytes, png_get_rowbytes);
  QV_RESOLVE(png, getChannels, png_get_channels);
  QV_RESOLVE(png, readRow, png_read_row);
  QV_RESOLVE(png, getICCP, png_get_iCCP);
  QV_RESOLVE(png, getEXIf1, png_get_eXIf_1);
  loaded.complete = ok;
  return loaded;
}

Loaded<WebpLibrary> loadWebp() {
  Loaded<WebpLibrary> loaded;
  WebpLibrary& functions = loaded.functions;
  void* webp = openLibrary({"libwebp.so.7"});
  void* demux = openLibrary({"libwebpdemux.so.2"});
  bool ok = webp && demux;
  QV_RESOLVE(webp, getFeatures, WebPGetFeaturesInternal);
  QV_RESOLVE(webp, initDecoderConfig, WebPInitDecoderConfigInternal);
  QV_RESOLVE(webp, decode, WebPDecode);
  QV_RESOLVE(webp, freeDecBuffer, WebPFreeDecBuffer);
  QV_RESOLVE(demux, demux, WebPDemuxInternal);
  QV_RESOLVE(demux, demuxDelete, WebPDemuxDelete);
  QV_RESOLVE(demux, demuxGetChunk, WebPDemuxGetChunk);
  QV_RESOLVE(demux, demuxReleaseChunkIterator, WebPDemuxReleaseChunkIterator);
  QV_RESOLVE(demux, animOptionsInit, WebPAnimDecoderOptionsInitInternal);
  QV_RESOLVE(demux, animNew, WebPAnimDecoderNewInternal);
  QV_RESOLVE(demux, animGetNext, WebPAnimDecoderGetNext);
  QV_RESOLVE(demux, animDelete, WebPAnimDecoderDelete);
  loaded.complete = ok;
  return loaded;
}

Loaded<HeifLibrary> loadHeif() {
  Loaded<HeifLibrary> loaded;
  HeifLibrary& functions = loaded.functions;
  void* heif = openLibrary({"libheif.so.1"});
  bool ok = heif != nullptr;
  QV_RESOLVE(heif, init, heif_init);
  QV_RESOLVE(heif, contextAlloc, heif_context_alloc);
  QV_RESOLVE(heif, contextFree, heif_context_free);
  QV_RESOLVE(heif, readFromFile, heif_context_read_from_file);
  QV_RESOLVE(heif, setMaximumImageSizeLimit, heif_context_set_maximum_image_size_limit);
  QV_RESOLVE(heif, primaryImageHandle, heif_context_get_primary_image_handle);
  QV_RESOLVE(heif, handleRelease, heif_image_handle_release);
  QV_RESOLVE(heif, handleWidth, heif_image_handle_get_width);
  QV_RESOLVE(heif, handleHeight, heif_image_handle_get_height);
  QV_RESOLVE(heif, handleHasAlpha, heif_image_handle_has_alpha_channel);
  QV_RESOLVE(heif, handleLumaBits, heif_image_handle_get_luma_bits_per_pixel);
  QV_RESOLVE(heif, handleColorProfileType, heif_image_handle_get_color_profile_type);
  QV_RESOLVE(heif, handleRawProfileSize, heif_image_handle_get_raw_color_profile_size);
  QV_RESOLVE(heif, handleRawProfile, heif_image_handle_get_raw_color_profile);
  QV_RESOLVE(heif, handleNclxProfile, heif_image_handle_get_nclx_color_profile);
  QV_RESOLVE(heif, nclxFree, heif_nclx_color_profile_free);
  QV_RESOLVE(heif, decodeImage, heif_decode_image);
  QV_RESOLVE(heif, planeReadonly, heif_image_get_plane_readonly);
  QV_RESOLVE(heif, imageWidth, heif_image_get_width);
  QV_RESOLVE(heif, imageHeight, heif_image_get_height);
  QV_RESOLVE(heif, imageRelease, heif_image_release);
  // Registers the library's decoders once, before any thread reads a file.
  loaded.complete = ok && functions.init(nullptr).code == heif_error_Ok;
  return loaded;
}

#undef QV_RESOLVE

}  // namespace

const PngLibrary* pngLibrary() {
  static const Loaded<PngLibrary> loaded = loadPng();
  return loaded.complete ? &loaded.functions : nullptr;
}

const WebpLibrary* webpLibrary() {
  static const Loaded<WebpLibrary> loaded = loadWebp();
  return loaded.complete ? &loaded.functions : nullptr;
}

const HeifLibrary* heifLibrary() {
  static const Loaded<HeifLibrary> loaded = loadHeif();
  return loaded.complete ? &loaded.functions : nullptr;
}
