// The libraries quorvel loads itself, each on the first file of its format
// (gd for GIF; libpng, libwebp and libheif for the formats -allpics adds;
// FFmpeg's four for a video's poster): a run over JPEGs alone never maps
// them, and gd, libheif or FFmpeg alone pull in several more. Each is named
// once, in format_libraries.list.
#pragma once

#include <gd.h>
#include <png.h>
#include <webp/decode.h>
#include <webp/demux.h>
#include <libheif/heif.h>

// FFmpeg's headers declare C functions without saying so to C++.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include <cstdint>
#include <mutex>
#include <string>

// One library opened by its soname, then its functions resolved one by one.
// The first failure is remembered as the text the user reads, naming the
// soname and, from the system's loader, the missing file or symbol:
//   unable to load "libheif.so.1" -- <the loader's reason>
// After a failure, resolve() gives null. An opened library stays loaded
// until the process ends. Not thread-safe: one loader per thread.
class ImgLibraryLoader {
 public:
  explicit ImgLibraryLoader(const char* soname);
  ImgLibraryLoader(const ImgLibraryLoader&) = delete;
  ImgLibraryLoader& operator=(const ImgLibraryLoader&) = delete;

  // Puts the address of symbol into slot, typed as the library's header
  // declares it; null when the library or the symbol is missing.
  template <typename F>
  void resolve(const char* symbol, F& slot) {
    slot = reinterpret_cast<F>(address(symbol));
  }
  // Records a failure past the loader's own (a library's start-up call)
  // unless one is recorded already.
  void fail(const char* reason);
  bool ok() const { return why_.empty(); }
  // Empty while every step succeeded.
  const std::string& why() const { return why_; }

 private:
  void* address(const char* symbol);
  const char* soname_;
  void* handle_;
  std::string why_;
};

// Each struct holds the functions of its library that quorvel calls, typed
// from the library's own header.

// gd's image fields (size, palette) are read directly, as its own accessor
// macros do.
struct GdLibrary {
  decltype(&gdImageCreateFromGif) createFromGif;
  decltype(&gdImageGetPixel) getPixel;
  decltype(&gdImageDestroy) destroy;
  decltype(&gdSetErrorMethod) setErrorMethod;
};

struct PngLibrary {
  decltype(&png_create_read_struct) createReadStruct;
  decltype(&png_create_info_struct) createInfoStruct;
  decltype(&png_destroy_read_struct) destroyReadStruct;
  decltype(&png_get_error_ptr) getErrorPtr;
  decltype(&png_init_io) initIo;
  decltype(&png_set_user_limits) setUserLimits;
  decltype(&png_set_chunk_malloc_max) setChunkMallocMax;
  decltype(&png_set_chunk_cache_max) setChunkCacheMax;
  decltype(&png_set_keep_unknown_chunks) setKeepUnknownChunks;
  decltype(&png_read_info) readInfo;
  decltype(&png_get_IHDR) getIHDR;
  decltype(&png_set_expand) setExpand;
  decltype(&png_set_scale_16) setScale16;
  decltype(&png_set_gray_to_rgb) setGrayToRgb;
  decltype(&png_set_interlace_handling) setInterlaceHandling;
  decltype(&png_read_update_info) readUpdateInfo;
  decltype(&png_get_rowbytes) getRowbytes;
  decltype(&png_get_channels) getChannels;
  decltype(&png_read_row) readRow;
  decltype(&png_get_iCCP) getICCP;
  decltype(&png_get_eXIf_1) getEXIf1;
};

struct WebpLibrary {
  decltype(&WebPGetFeaturesInternal) getFeatures;
  decltype(&WebPInitDecoderConfigInternal) initDecoderConfig;
  decltype(&WebPDecode) decode;
  decltype(&WebPFreeDecBuffer) freeDecBuffer;
  // libwebpdemux: the chunks of an extended file, the first frame of an animation.
  decltype(&WebPDemuxInternal) demux;
  decltype(&WebPDemuxDelete) demuxDelete;
  decltype(&WebPDemuxGetChunk) demuxGetChunk;
  decltype(&WebPDemuxReleaseChunkIterator) demuxReleaseChunkIterator;
  decltype(&WebPAnimDecoderOptionsInitInternal) animOptionsInit;
  decltype(&WebPAnimDecoderNewInternal) animNew;
  decltype(&WebPAnimDecoderGetNext) animGetNext;
  decltype(&WebPAnimDecoderDelete) animDelete;
};

struct HeifLibrary {
  decltype(&heif_init) init;
  decltype(&heif_context_alloc) contextAlloc;
  decltype(&heif_context_free) contextFree;
  decltype(&heif_context_read_from_reader) readFromReader;
  decltype(&heif_context_set_maximum_image_size_limit) setMaximumImageSizeLimit;
  decltype(&heif_context_set_max_decoding_threads) setMaxDecodingThreads;
  decltype(&heif_context_get_primary_image_handle) primaryImageHandle;
  decltype(&heif_image_handle_release) handleRelease;
  decltype(&heif_image_handle_get_width) handleWidth;
  decltype(&heif_image_handle_get_height) handleHeight;
  decltype(&heif_image_handle_has_alpha_channel) handleHasAlpha;
  decltype(&heif_image_handle_get_luma_bits_per_pixel) handleLumaBits;
  decltype(&heif_image_handle_get_color_profile_type) handleColorProfileType;
  decltype(&heif_image_handle_get_raw_color_profile_size) handleRawProfileSize;
  decltype(&heif_image_handle_get_raw_color_profile) handleRawProfile;
  decltype(&heif_image_handle_get_nclx_color_profile) handleNclxProfile;
  decltype(&heif_nclx_color_profile_free) nclxFree;
  decltype(&heif_decode_image) decodeImage;
  decltype(&heif_image_get_plane_readonly) planeReadonly;
  decltype(&heif_image_get_width) imageWidth;
  decltype(&heif_image_get_height) imageHeight;
  decltype(&heif_image_release) imageRelease;
};

// A decode through libheif on this thread, while one lives: the lines its
// codecs write are appended to *text instead of standard error, so that a
// worker hands them back for the walk to write in order, and a codec is
// held to the frame size the decode was allowed. dav1d, behind libheif's
// AV1, prints through the logger of its settings and refuses a frame past
// their frame_size_limit: every dav1d decoder opened while one lives takes
// both, its logger called from whatever thread dav1d decodes on until that
// decoder is closed (libheif closes it before its decode returns). libde265
// has no logger: the few lines it prints itself (on a malformed parameter
// set) still reach standard error. libaom decodes only without dav1d.
class HeifDecodeScope {
 public:
  explicit HeifDecodeScope(std::string* text);
  ~HeifDecodeScope();
  HeifDecodeScope(const HeifDecodeScope&) = delete;
  HeifDecodeScope& operator=(const HeifDecodeScope&) = delete;
  // The most pixels of a frame the codecs opened from now on may decode;
  // 0: their own limit.
  void limitFrames(uint64_t pixels) { framePixels_ = pixels; }
  uint64_t framePixels() const { return framePixels_; }
  void append(const char* line);

 private:
  std::mutex lock_;
  std::string* text_;
  uint64_t framePixels_ = 0;
  HeifDecodeScope* outer_;
};

// FFmpeg's libavformat, libavcodec, libswscale and libavutil, for a video's
// poster. Loading them also silences the library's log for the whole
// process: nothing of it may reach standard error from a worker, so the
// poster's failures are worded from error codes instead.
struct AvLibrary {
  // libavformat: the container, read through quorvel's own descriptor.
  decltype(&avformat_alloc_context) formatAllocContext;
  decltype(&avformat_open_input) formatOpenInput;
  decltype(&avformat_close_input) formatCloseInput;
  decltype(&avformat_find_stream_info) formatFindStreamInfo;
  decltype(&av_find_best_stream) findBestStream;
  decltype(&av_stream_get_side_data) streamGetSideData;
  decltype(&av_seek_frame) seekFrame;
  decltype(&av_read_frame) readFrame;
  decltype(&avio_alloc_context) ioAllocContext;
  decltype(&avio_context_free) ioContextFree;
  // libavcodec: one frame decoded.
  decltype(&avcodec_find_decoder) codecFindDecoder;
  decltype(&avcodec_alloc_context3) codecAllocContext;
  decltype(&avcodec_free_context) codecFreeContext;
  decltype(&avcodec_parameters_to_context) codecParametersToContext;
  decltype(&avcodec_open2) codecOpen;
  decltype(&avcodec_send_packet) codecSendPacket;
  decltype(&avcodec_receive_frame) codecReceiveFrame;
  decltype(&av_packet_alloc) packetAlloc;
  decltype(&av_packet_free) packetFree;
  decltype(&av_packet_unref) packetUnref;
  // libswscale: the frame's planes to RGB rows.
  decltype(&sws_getContext) swsGetContext;
  decltype(&sws_freeContext) swsFreeContext;
  decltype(&sws_setColorspaceDetails) swsSetColorspaceDetails;
  decltype(&sws_getCoefficients) swsGetCoefficients;
  decltype(&sws_scale) swsScale;
  // libavutil.
  decltype(&av_malloc) malloc;
  decltype(&av_free) free;
  decltype(&av_frame_alloc) frameAlloc;
  decltype(&av_frame_free) frameFree;
  decltype(&av_strerror) strerror;
  decltype(&av_rescale_q) rescaleQ;
  decltype(&av_log_set_level) logSetLevel;
  decltype(&av_log_set_callback) logSetCallback;
};

// Each loads its library once per process (thread-safe) and returns its
// functions, or null when the library or one of its functions cannot be
// had, with *why (when given) set to what failed as ImgLibraryLoader words
// it; later calls give the same answer.
const GdLibrary* gdLibrary(std::string* why = nullptr);
const PngLibrary* pngLibrary(std::string* why = nullptr);
const WebpLibrary* webpLibrary(std::string* why = nullptr);
const HeifLibrary* heifLibrary(std::string* why = nullptr);
const AvLibrary* avLibrary(std::string* why = nullptr);
