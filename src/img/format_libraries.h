// The libraries of the formats -allpics adds (PNG, WebP, HEIF and AVIF),
// each loaded on its first use: a run over JPEGs alone never maps them, and
// libheif alone pulls in several codec libraries.
#pragma once

#include <png.h>
#include <webp/decode.h>
#include <webp/demux.h>
#include <libheif/heif.h>

// Each struct holds the functions of its library that quorvel calls, typed
// from the library's own header.
struct PngLibrary {
  decltype(&png_create_read_struct) createReadStruct;
  decltype(&png_create_info_struct) createInfoStruct;
  decltype(&png_destroy_read_struct) destroyReadStruct;
  decltype(&png_get_error_ptr) getErrorPtr;
  decltype(&png_init_io) initIo;
  decltype(&png_set_user_limits) setUserLimits;
  decltype(&png_set_chunk_malloc_max) setChunkMallocMax;
  decltype(&png_set_chunk_cache_max) setChunkCacheMax;
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
  decltype(&heif_context_read_from_file) readFromFile;
  decltype(&heif_context_set_maximum_image_size_limit) setMaximumImageSizeLimit;
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

// Each loads its library once per process (thread-safe) and returns its
// functions, or null when the library or one of the functions cannot be
// had; later calls give the same answer. Loaded libraries stay loaded until
// the process ends.
const PngLibrary* pngLibrary();
const WebpLibrary* webpLibrary();
const HeifLibrary* heifLibrary();
