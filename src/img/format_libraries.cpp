// dlopen'ed format libraries: each paid for only when a file of its format is read.
#include "img/format_libraries.h"

#include <dlfcn.h>

#include <dav1d/dav1d.h>
#include <libde265/de265.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdio>

#include "library_names.h"

ImgLibraryLoader::ImgLibraryLoader(const char* soname)
    : soname_(soname), handle_(dlopen(soname, RTLD_NOW | RTLD_LOCAL)) {
  if (handle_) return;
  const char* reason = dlerror();
  fail(reason ? reason : "cannot be opened");
}

void* ImgLibraryLoader::address(const char* symbol) {
  if (!ok()) return nullptr;
  dlerror();  // a function's address is never null: a null is the symbol missing
  void* found = dlsym(handle_, symbol);
  if (!found) {
    const char* reason = dlerror();
    fail(reason ? reason : symbol);
  }
  return found;
}

void ImgLibraryLoader::fail(const char* reason) {
  if (!ok()) return;
  why_ = std::string("unable to load \"") + soname_ + "\" -- " + reason;
}

namespace {

template <typename Library>
struct Loaded {
  Library functions{};
  std::string why;  // empty: every function is had
};

template <typename Library>
const Library* answer(const Loaded<Library>& loaded, std::string* why) {
  if (loaded.why.empty()) return &loaded.functions;
  if (why) *why = loaded.why;
  return nullptr;
}

#define QV_RESOLVE(loader, field, symbol) loader.resolve(#symbol, functions.field)

Loaded<GdLibrary> loadGd() {
  Loaded<GdLibrary> loaded;
  GdLibrary& functions = loaded.functions;
  ImgLibraryLoader gd(kGdSoname);
  QV_RESOLVE(gd, createFromGif, gdImageCreateFromGif);
  QV_RESOLVE(gd, getPixel, gdImageGetPixel);
  QV_RESOLVE(gd, destroy, gdImageDestroy);
  QV_RESOLVE(gd, setErrorMethod, gdSetErrorMethod);
  loaded.why = gd.why();
  return loaded;
}

Loaded<PngLibrary> loadPng() {
  Loaded<PngLibrary> loaded;
  PngLibrary& functions = loaded.functions;
  ImgLibraryLoader png(kPngSoname);
  QV_RESOLVE(png, createReadStruct, png_create_read_struct);
  QV_RESOLVE(png, createInfoStruct, png_create_info_struct);
  QV_RESOLVE(png, destroyReadStruct, png_destroy_read_struct);
  QV_RESOLVE(png, getErrorPtr, png_get_error_ptr);
  QV_RESOLVE(png, initIo, png_init_io);
  QV_RESOLVE(png, setUserLimits, png_set_user_limits);
  QV_RESOLVE(png, setChunkMallocMax, png_set_chunk_malloc_max);
  QV_RESOLVE(png, setChunkCacheMax, png_set_chunk_cache_max);
  QV_RESOLVE(png, setKeepUnknownChunks, png_set_keep_unknown_chunks);
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
  loaded.why = png.why();
  return loaded;
}

Loaded<WebpLibrary> loadWebp() {
  Loaded<WebpLibrary> loaded;
  WebpLibrary& functions = loaded.functions;
  ImgLibraryLoader webp(kWebpSoname);
  QV_RESOLVE(webp, getFeatures, WebPGetFeaturesInternal);
  QV_RESOLVE(webp, initDecoderConfig, WebPInitDecoderConfigInternal);
  QV_RESOLVE(webp, decode, WebPDecode);
  QV_RESOLVE(webp, freeDecBuffer, WebPFreeDecBuffer);
  ImgLibraryLoader demux(kWebpDemuxSoname);
  QV_RESOLVE(demux, demux, WebPDemuxInternal);
  QV_RESOLVE(demux, demuxDelete, WebPDemuxDelete);
  QV_RESOLVE(demux, demuxGetChunk, WebPDemuxGetChunk);
  QV_RESOLVE(demux, demuxReleaseChunkIterator, WebPDemuxReleaseChunkIterator);
  QV_RESOLVE(demux, animOptionsInit, WebPAnimDecoderOptionsInitInternal);
  QV_RESOLVE(demux, animNew, WebPAnimDecoderNewInternal);
  QV_RESOLVE(demux, animGetNext, WebPAnimDecoderGetNext);
  QV_RESOLVE(demux, animDelete, WebPAnimDecoderDelete);
  loaded.why = webp.ok() ? demux.why() : webp.why();
  return loaded;
}

Loaded<HeifLibrary> loadHeif() {
  Loaded<HeifLibrary> loaded;
  HeifLibrary& functions = loaded.functions;
  ImgLibraryLoader heif(kHeifSoname);
  QV_RESOLVE(heif, init, heif_init);
  QV_RESOLVE(heif, contextAlloc, heif_context_alloc);
  QV_RESOLVE(heif, contextFree, heif_context_free);
  QV_RESOLVE(heif, readFromReader, heif_context_read_from_reader);
  QV_RESOLVE(heif, setMaximumImageSizeLimit, heif_context_set_maximum_image_size_limit);
  QV_RESOLVE(heif, setMaxDecodingThreads, heif_context_set_max_decoding_threads);
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
  if (heif.ok()) {
    const heif_error started = functions.init(nullptr);
    if (started.code != heif_error_Ok)
      heif.fail((std::string("heif_init: ") + (started.message ? started.message : "failed")).c_str());
  }
  loaded.why = heif.why();
  return loaded;
}

thread_local HeifDecodeScope* tScope = nullptr;

// dav1d's line, kept for the decode that opened the decoder.
void keepDav1dLine(void* cookie, const char* format, va_list args) {
  char line[1024];
  vsnprintf(line, sizeof line, format, args);
  static_cast<HeifDecodeScope*>(cookie)->append(line);
}

using Dav1dOpen = int (*)(Dav1dContext**, const Dav1dSettings*);

// dav1d's own dav1d_open, as the caller's library resolves it: looked up
// from the caller's object, whose own dependencies hold dav1d (the
// executable, which defines the name, is not among them).
Dav1dOpen dav1dOpen(void* caller) {
  Dl_info info;
  if (!dladdr(caller, &info) || !info.dli_fname) return nullptr;
  void* handle = dlopen(info.dli_fname, RTLD_NOW | RTLD_LOCAL | RTLD_NOLOAD);
  if (!handle) return nullptr;
  Dav1dOpen found = reinterpret_cast<Dav1dOpen>(dlsym(handle, "dav1d_open"));
  dlclose(handle);  // RTLD_NOLOAD took a reference of its own
  return found;
}

// The library's lines go nowhere: a worker must never write on standard error.
void dropLogLine(void*, int, const char*, va_list) {}

Loaded<AvLibrary> loadAv() {
  Loaded<AvLibrary> loaded;
  AvLibrary& functions = loaded.functions;
  // libavutil first: the others need it, and the loader names the first missing.
  ImgLibraryLoader util(kAvUtilSoname);
  QV_RESOLVE(util, malloc, av_malloc);
  QV_RESOLVE(util, free, av_free);
  QV_RESOLVE(util, frameAlloc, av_frame_alloc);
  QV_RESOLVE(util, frameFree, av_frame_free);
  QV_RESOLVE(util, strerror, av_strerror);
  QV_RESOLVE(util, rescaleQ, av_rescale_q);
  QV_RESOLVE(util, logSetLevel, av_log_set_level);
  QV_RESOLVE(util, logSetCallback, av_log_set_callback);
  ImgLibraryLoader codec(kAvCodecSoname);
  QV_RESOLVE(codec, codecFindDecoder, avcodec_find_decoder);
  QV_RESOLVE(codec, codecAllocContext, avcodec_alloc_context3);
  QV_RESOLVE(codec, codecFreeContext, avcodec_free_context);
  QV_RESOLVE(codec, codecParametersToContext, avcodec_parameters_to_context);
  QV_RESOLVE(codec, codecOpen, avcodec_open2);
  QV_RESOLVE(codec, codecSendPacket, avcodec_send_packet);
  QV_RESOLVE(codec, codecReceiveFrame, avcodec_receive_frame);
  QV_RESOLVE(codec, packetAlloc, av_packet_alloc);
  QV_RESOLVE(codec, packetFree, av_packet_free);
  QV_RESOLVE(codec, packetUnref, av_packet_unref);
  ImgLibraryLoader format(kAvFormatSoname);
  QV_RESOLVE(format, formatAllocContext, avformat_alloc_context);
  QV_RESOLVE(format, formatOpenInput, avformat_open_input);
  QV_RESOLVE(format, formatCloseInput, avformat_close_input);
  QV_RESOLVE(format, formatFindStreamInfo, avformat_find_stream_info);
  QV_RESOLVE(format, findBestStream, av_find_best_stream);
  QV_RESOLVE(format, streamGetSideData, av_stream_get_side_data);
  QV_RESOLVE(format, seekFrame, av_seek_frame);
  QV_RESOLVE(format, readFrame, av_read_frame);
  QV_RESOLVE(format, ioAllocContext, avio_alloc_context);
  QV_RESOLVE(format, ioContextFree, avio_context_free);
  ImgLibraryLoader scale(kSwScaleSoname);
  QV_RESOLVE(scale, swsGetContext, sws_getContext);
  QV_RESOLVE(scale, swsFreeContext, sws_freeContext);
  QV_RESOLVE(scale, swsSetColorspaceDetails, sws_setColorspaceDetails);
  QV_RESOLVE(scale, swsGetCoefficients, sws_getCoefficients);
  QV_RESOLVE(scale, swsScale, sws_scale);
  for (const ImgLibraryLoader* part : {&util, &codec, &format, &scale}) {
    if (part->ok()) continue;
    loaded.why = part->why();
    return loaded;
  }
  // Before any thread reads a video: the level and the callback are the process's.
  functions.logSetLevel(AV_LOG_QUIET);
  functions.logSetCallback(dropLogLine);
  return loaded;
}

#undef QV_RESOLVE

}  // namespace

HeifDecodeScope::HeifDecodeScope(std::string* text) : text_(text), outer_(tScope) { tScope = this; }

HeifDecodeScope::~HeifDecodeScope() { tScope = outer_; }

void HeifDecodeScope::append(const char* line) {
  if (!*line) return;
  const std::lock_guard<std::mutex> hold(lock_);
  *text_ += line;
  if (text_->back() != '\n') *text_ += '\n';
}

// Called by dav1d's users (libheif's AV1 decoder, libavcodec) instead of
// dav1d's, as the executable exports the name: a decoder opened during a
// decode through libheif on this thread logs into it and decodes no frame
// past its limit; any other is opened as asked.
extern "C" int dav1d_open(Dav1dContext** context, const Dav1dSettings* asked) {
  static const Dav1dOpen open = dav1dOpen(__builtin_return_address(0));
  if (!open) return DAV1D_ERR(ENOSYS);
  if (!tScope) return open(context, asked);
  Dav1dSettings settings = *asked;
  settings.logger = {tScope, keepDav1dLine};
  const uint64_t limit = tScope->framePixels();
  if (limit && (settings.frame_size_limit == 0 || limit < settings.frame_size_limit))
    settings.frame_size_limit = static_cast<unsigned>(std::min<uint64_t>(limit, UINT_MAX));
  return open(context, &settings);
}

// Called by libheif's HEVC decoder instead of libde265's, as the executable
// exports the name: no worker thread is started, so libde265 decodes on the
// calling thread, its own default. A thread of its own could neither fail
// to start (libde265 would then wait for ever) nor throw std::bad_alloc
// (which would end the process) where no caller can catch it; on the
// caller's thread what it throws reaches the decoder's catch. The pixels
// are the same: libheif starts one worker, which the caller only waits for.
extern "C" de265_error de265_start_worker_threads(de265_decoder_context*, int) { return DE265_OK; }

const GdLibrary* gdLibrary(std::string* why) {
  static const Loaded<GdLibrary> loaded = loadGd();
  return answer(loaded, why);
}

const PngLibrary* pngLibrary(std::string* why) {
  static const Loaded<PngLibrary> loaded = loadPng();
  return answer(loaded, why);
}

const WebpLibrary* webpLibrary(std::string* why) {
  static const Loaded<WebpLibrary> loaded = loadWebp();
  return answer(loaded, why);
}

const HeifLibrary* heifLibrary(std::string* why) {
  static const Loaded<HeifLibrary> loaded = loadHeif();
  return answer(loaded, why);
}

const AvLibrary* avLibrary(std::string* why) {
  static const Loaded<AvLibrary> loaded = loadAv();
  return answer(loaded, why);
}
