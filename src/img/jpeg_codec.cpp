// JPEG adapter: libjpeg driven at full size, one scanline at a time.
#include "img/jpeg_codec.h"

#include <jerror.h>  // after jpeglib.h, which img/jpeg_codec.h includes
#include <sys/stat.h>

#include <csetjmp>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>

#include "base/limits.h"
#include "img/exif.h"
#include "img/reduce.h"
#include "img/resize.h"
#include "img/upright_rows.h"
#include "util/file_handle.h"
#include "util/test_hook.h"

namespace {

constexpr int kExifMarker = JPEG_APP0 + 1;

// Begins with the standard manager so that libjpeg sees one. path is what
// every library message is prefixed with, and messages where it goes (null:
// standard error); the jump context is the recovery point of the read or
// write in progress.
struct ErrorMgr {
  jpeg_error_mgr pub;
  const char* path;
  std::string* messages;
  jmp_buf jump;
  bool tooManyScans;  // the jump came from the scan limit, not the library
};

// Prints the library's message as its default output_message does, after the
// file's path: among thousands of photos, "Premature end of JPEG file" alone
// names nothing. Warnings and fatal errors both come through here.
void outputNamedMessage(j_common_ptr cinfo) {
  char text[JMSG_LENGTH_MAX];
  (*cinfo->err->format_message)(cinfo, text);
  std::string line = reinterpret_cast<const ErrorMgr*>(cinfo->err)->path;
  line = line + ": " + text + "\n";
  if (std::string* messages = reinterpret_cast<const ErrorMgr*>(cinfo->err)->messages)
    *messages += line;
  else
    fputs(line.c_str(), stderr);
}

void initErrorMgr(ErrorMgr* err, const char* path, std::string* messages) {
  jpeg_std_error(&err->pub);
  err->pub.output_message = outputNamedMessage;
  err->pub.error_exit = imgJpegErrorExit;
  err->path = path;
  err->messages = messages;
}

// A decompression object with its error record. Zero-initialised, so that
// destroying it is harmless whether or not jpeg_create_decompress ran (or
// failed half-way): libjpeg only frees what its memory manager holds.
struct Reader {
  ErrorMgr err{};
  jpeg_decompress_struct cinfo{};
  jpeg_progress_mgr progress{};

  Reader(const char* path, std::string* messages) {
    initErrorMgr(&err, path, messages);
    cinfo.err = &err.pub;
  }
  ~Reader() { jpeg_destroy_decompress(&cinfo); }
  Reader(const Reader&) = delete;
  Reader& operator=(const Reader&) = delete;
};

// A compression object with its error record; a library error jumps back to
// the recovery point of the write in progress, as for reading.
struct Writer {
  ErrorMgr err{};
  jpeg_compress_struct cinfo{};

  Writer(const char* path, std::string* messages) {
    initErrorMgr(&err, path, messages);
    cinfo.err = &err.pub;
    jpeg_create_compress(&cinfo);
  }
  ~Writer() { jpeg_destroy_compress(&cinfo); }
  Writer(const Writer&) = delete;
  Writer& operator=(const Writer&) = delete;
};

// Orientation from the first Exif APP1 segment kept by jpeg_save_markers.
int savedOrientation(const jpeg_decompress_struct& cinfo) {
  for (jpeg_saved_marker_ptr m = cinfo.marker_list; m; m = m->next) {
    if (m->marker == kExifMarker && m->data_length >= sizeof kImgExifHeader &&
        memcmp(m->data, kImgExifHeader, sizeof kImgExifHeader) == 0)
      return imgExifOrientation(m->data, m->data_length);
  }
  return 1;
}

unsigned char scale255(unsigned a, unsigned b) { return static_cast<unsigned char>((a * b + 127) / 255); }

// One decoded pixel as RGB. Four components are CMYK (libjpeg turns YCCK
// into CMYK); Adobe's files store them inverted, 255 meaning no ink.
// Unusual component counts show their first component as grey.
void pixelToRgb(const JSAMPLE* s, int components, bool adobeInverted, unsigned char* out) {
  if (components == 3) {
    out[0] = s[0];
    out[1] = s[1];
    out[2] = s[2];
  } else if (components == 4) {
    unsigned c = s[0], m = s[1], y = s[2], k = s[3];
    if (!adobeInverted) {
      c = 255 - c;
      m = 255 - m;
      y = 255 - y;
      k = 255 - k;
    }
    out[0] = scale255(c, k);
    out[1] = scale255(m, k);
    out[2] = scale255(y, k);
  } else {
    out[0] = out[1] = out[2] = s[0];
  }
}

void storeRow(Img* dst, int orientation, int w, int h, int y, const JSAMPLE* row, int components,
              bool adobeInverted, int columns) {
  if (orientation == 1 && components == 3) {
    memcpy(dst->rows[y], row, static_cast<size_t>(columns) * 3);
    return;
  }
  const ImgRowWalk walk = imgOrientationRowWalk(orientation, w, h, y);
  for (int x = 0; x < columns; ++x) {
    unsigned char* out = dst->rows[walk.row0 + x * walk.drow] + (walk.col0 + x * walk.dcol) * 3;
    pixelToRgb(row + static_cast<size_t>(x) * components, components, adobeInverted, out);
  }
}

// Progress monitor of a decode: a progressive file of thousands of scans,
// each one a pass over the whole picture, would decode for minutes. Past the
// limit the decode leaves through the recovery point, like a library error.
void limitScans(j_common_ptr cinfo) {
  if (reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number <= kMaxJpegScans) return;
  ErrorMgr* err = reinterpret_cast<ErrorMgr*>(cinfo->err);
  err->tooManyScans = true;
  longjmp(err->jump, 1);
}

bool claimsTooManyPixels(JDIMENSION width, JDIMENSION height) {
  return static_cast<long long>(width) * height > kMaxPicturePixels;
}

// The library calls of a header read. Runs below the recovery point set by
// its caller, so it must hold nothing with a destructor: a library error
// longjmps straight past this frame.
[[gnu::noinline]] void readHeader(Reader* r, FILE* file, bool keepExif) {
  jpeg_create_decompress(&r->cinfo);
  if (keepExif) jpeg_save_markers(&r->cinfo, kExifMarker, 0xFFFF);
  jpeg_stdio_src(&r->cinfo, file);
  jpeg_read_header(&r->cinfo, TRUE);
}

// Returns false after a library error (its message already printed). No
// object with a destructor may live in this frame: longjmp skips destructors.
bool readHeaderGuarded(Reader* r, FILE* file, bool keepExif) {
  if (setjmp(r->err.jump)) return false;
  readHeader(r, file, keepExif);
  return true;
}

// Where a decode puts its lines: in a raster, each pixel at its upright
// place, or, when stream is set, into the reduction of the upright picture
// to fitWidth x fitHeight (a side <= 0 follows from the other) whenever that
// reduces it, so the full-size picture is never held; the lines then go in
// as stored, and the stream is told how they lie upright. Lives above the
// recovery point.
struct Target {
  ImgReduceStream* stream = nullptr;
  int fitWidth = 0, fitHeight = 0;
  bool streamed = false;  // the decode went into the stream, else into a raster
};

// Starts the reduction of the upright picture when the target asks for one
// that reduces it. Returns 0 with target->streamed set or left false, or the
// reduction's failure.
ImgStatus startStream(Target* target, Img* dst, int uprightWidth, int uprightHeight, ImgLineOrder order) {
  if (!target->stream) return IMG_OK;
  int w, h;
  if (imgFitSize(uprightWidth, uprightHeight, target->fitWidth, target->fitHeight, false, &w, &h) != 0 ||
      w > uprightWidth || h > uprightHeight)
    return IMG_OK;  // the whole picture goes through imgResize
  target->streamed = true;
  return target->stream->begin(dst, w, h, uprightWidth, uprightHeight, order);
}

// The whole decode, below the recovery point of decodeGuarded: trivially
// destructible locals only. Writes each scanline straight to its upright
// place, or into the stream, so no second raster is ever needed.
[[gnu::noinline]] ImgStatus decode(Reader* r, FILE* file, Img* dst, Target* target) {
  readHeader(r, file, true);
  jpeg_decompress_struct* c = &r->cinfo;
  if (claimsTooManyPixels(c->image_width, c->image_height)) {
    dst->status = IMG_JPEG_TOO_LARGE;
    return IMG_JPEG_TOO_LARGE;
  }
  // Arithmetic coding can spend less than a bit on a block: only the
  // Huffman-coded are held to their bytes.
  struct stat st;
  if (!c->arith_code && fstat(fileno(file), &st) == 0 &&
      imgClaimOutgrowsBytes(c->image_width, c->image_height, st.st_size, kJpegMaxPixelsPerByte)) {
    dst->status = IMG_DATA_SHORT;
    return IMG_DATA_SHORT;
  }
  r->progress.progress_monitor = limitScans;
  c->progress = &r->progress;
  const int orientation = savedOrientation(*c);
  const int w = static_cast<int>(c->image_width);
  const int h = static_cast<int>(c->image_height);
  const bool swap = imgOrientationSwapsSides(orientation);
  const ImgStatus started = startStream(target, dst, swap ? h : w, swap ? w : h, imgOrientationLineOrder(orientation));
  if (started != IMG_OK) {
    dst->status |= started;
    return started;
  }
  if (!target->streamed && imgCreate(dst, swap ? h : w, swap ? w : h) != 0) {
    dst->status |= IMG_JPEG_ALLOC;
    return IMG_JPEG_ALLOC;
  }

  jpeg_start_decompress(c);
  const int components = c->output_components;
  const JDIMENSION stride = c->output_width * static_cast<JDIMENSION>(components);
  JSAMPARRAY buffer = (*c->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(c), JPOOL_IMAGE, stride, 1);
  const int columns = static_cast<int>(c->output_width) < w ? static_cast<int>(c->output_width) : w;
  const bool adobeInverted = c->saw_Adobe_marker;
  // A streamed line that is not the library's own RGB row is converted here
  // first; the stream takes lines in their stored order either way.
  const bool direct = components == 3;
  JSAMPARRAY line = target->streamed && !direct
                        ? (*c->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(c), JPOOL_IMAGE,
                                                  static_cast<JDIMENSION>(w) * 3, 1)
                        : nullptr;
  int y = 0;
  while (c->output_scanline < c->output_height) {
    jpeg_read_scanlines(c, buffer, 1);
    if (y < h) {
      if (!target->streamed) {
        storeRow(dst, orientation, w, h, y, buffer[0], components, adobeInverted, columns);
      } else if (direct) {
        target->stream->feed(buffer[0]);
      } else {
        for (int x = 0; x < columns; ++x)
          pixelToRgb(buffer[0] + static_cast<size_t>(x) * components, components, adobeInverted, line[0] + 3 * x);
        target->stream->feed(line[0]);
      }
    }
    ++y;
  }
  jpeg_finish_decompress(c);
  dst->status = IMG_OK;
  return IMG_OK;
}

// Recovery point of a decode. Nothing with a destructor lives in this frame
// or in decode's; the parameters are never modified after setjmp, so they
// keep their values when the library jumps back.
ImgStatus decodeGuarded(Reader* r, FILE* file, Img* dst, Target* target) {
  if (setjmp(r->err.jump)) {
    imgDestroy(dst);  // the raster, if the error came after it was made
    dst->rows = nullptr;
    const ImgStatus failure = r->err.tooManyScans ? IMG_JPEG_SCANS : IMG_JPEG_LIBRARY;
    dst->status = failure;
    return failure;
  }
  return decode(r, file, dst, target);
}

// The library calls of an encode, below the recovery point of encodeGuarded:
// trivially destructible locals only, as a library error longjmps past them.
// A colour profile in APP2 segments as ICC has them: "ICC_PROFILE\0", the
// segment's number from 1, their count, then up to 65519 bytes of profile.
void writeIccProfile(jpeg_compress_struct* c, const std::string* icc) {
  constexpr size_t kChunk = 65519;
  const size_t count = (icc->size() + kChunk - 1) / kChunk;
  if (count > 255) return;  // no profile is that large; better none than a cut one
  static const char kTag[12] = {'I', 'C', 'C', '_', 'P', 'R', 'O', 'F', 'I', 'L', 'E', 0};
  for (size_t i = 0; i < count; ++i) {
    const size_t begin = i * kChunk;
    const size_t length = icc->size() - begin < kChunk ? icc->size() - begin : kChunk;
    jpeg_write_m_header(c, JPEG_APP0 + 2, static_cast<unsigned>(length + 14));
    for (char t : kTag) jpeg_write_m_byte(c, t);
    jpeg_write_m_byte(c, static_cast<int>(i + 1));
    jpeg_write_m_byte(c, static_cast<int>(count));
    for (size_t k = 0; k < length; ++k) jpeg_write_m_byte(c, static_cast<unsigned char>((*icc)[begin + k]));
  }
}

[[gnu::noinline]] void encode(Writer* w, FILE* file, Img* src, int quality, const char* path,
                              const std::string* icc) {
  jpeg_compress_struct* c = &w->cinfo;
  jpeg_stdio_dest(c, file);
  c->image_width = static_cast<JDIMENSION>(src->width);
  c->image_height = static_cast<JDIMENSION>(src->height);
  c->input_components = 3;
  c->in_color_space = JCS_RGB;
  jpeg_set_defaults(c);
  jpeg_set_quality(c, quality, TRUE);
  jpeg_start_compress(c, TRUE);
  if (icc && !icc->empty()) writeIccProfile(c, icc);
  // The raster's own rows go to the library, one per call, uncopied.
  while (c->next_scanline < c->image_height) {
    if (c->next_scanline == c->image_height / 2) testHook("writing", path);
    jpeg_write_scanlines(c, src->rows + c->next_scanline, 1);
  }
  jpeg_finish_compress(c);
}

// Recovery point of an encode. Nothing with a destructor lives in this frame
// or in encode's; the parameters are never modified after setjmp.
ImgStatus encodeGuarded(Writer* w, FILE* file, Img* src, int quality, const char* path, const std::string* icc) {
  if (setjmp(w->err.jump)) {
    src->status |= IMG_JPEG_LIBRARY;
    return IMG_JPEG_LIBRARY;
  }
  encode(w, file, src, quality, path, icc);
  return IMG_OK;
}

// The library's errors for a well-formed JPEG of a kind it doesn't decode
// (12-bit samples, the lossless or hierarchical processes, arithmetic coding
// in a build without it), as against a damaged file.
bool isUnsupported(int code) {
  return code == JERR_BAD_PRECISION || code == JERR_SOF_UNSUPPORTED || code == JERR_NOT_COMPILED ||
         code == JERR_ARITH_NOTIMPL;
}

// What the library buffers for a picture coded in several scans: every
// block of every component, 64 coefficients of sizeof(JCOEF) each.
long long coefficientBytes(const jpeg_decompress_struct& c) {
  if (!c.progressive_mode && c.comps_in_scan >= c.num_components) return 0;
  long long bytes = 0;
  for (int i = 0; i < c.num_components; ++i)
    bytes += static_cast<long long>(c.comp_info[i].width_in_blocks) * c.comp_info[i].height_in_blocks *
             static_cast<long long>(sizeof(JBLOCK));
  return bytes;
}

JpegSizeCode headerSize(const char* path, bool upright, int* width, int* height, int* size,
                        std::string* messages, long long* held = nullptr) {
  FileHandle file = fileOpen(path, "rb");
  if (!file) return JPEG_SIZE_OPEN;
  {
    Reader r(path, messages);  // destroyed before the file is measured
    if (!readHeaderGuarded(&r, file.get(), upright))
      return isUnsupported(r.err.pub.msg_code) ? JPEG_SIZE_UNSUPPORTED : JPEG_SIZE_LIBRARY;
    int w = static_cast<int>(r.cinfo.image_width);
    int h = static_cast<int>(r.cinfo.image_height);
    if (upright && imgOrientationSwapsSides(savedOrientation(r.cinfo))) std::swap(w, h);
    if (width) *width = w;
    if (height) *height = h;
    if (held) *held = coefficientBytes(r.cinfo);
  }
  // The file is a regular one (fileOpen): its end is its size, read without
  // the seek that would make stdio read it again.
  struct stat st;
  if (fstat(fileno(file.get()), &st) != 0) return JPEG_SIZE_SEEK;
  if (size) *size = static_cast<int>(st.st_size);
  return JPEG_SIZE_OK;
}

}  // namespace

void imgJpegErrorExit(j_common_ptr cinfo) {
  (*cinfo->err->output_message)(cinfo);
  longjmp(reinterpret_cast<ErrorMgr*>(cinfo->err)->jump, 1);
}

JpegSizeCode imgJpegGetSize(const char* path, int* width, int* height, int* size, std::string* messages) {
  return headerSize(path, false, width, height, size, messages);
}

JpegSizeCode imgJpegGetUprightSize(const char* path, int* width, int* height, int* size,
                                   std::string* messages, long long* held) {
  return headerSize(path, true, width, height, size, messages, held);
}

namespace {

ImgStatus readFile(Img* dst, const char* path, Target* target, std::string* messages) {
  dst->rows = nullptr;
  FileHandle file = fileOpen(path, "rb");
  if (!file) {
    dst->status = IMG_JPEG_OPEN;
    return IMG_JPEG_OPEN;
  }
  Reader reader(path, messages);  // declared after the file: destroyed before it is closed
  return decodeGuarded(&reader, file.get(), dst, target);
}

}  // namespace

ImgStatus imgJpegReadFile(Img* dst, const char* path, std::string* messages) {
  Target whole;
  return readFile(dst, path, &whole, messages);
}

ImgStatus imgJpegReadFitted(Img* dst, const char* path, int width, int height, std::string* messages) {
  ImgReduceStream stream;
  Target target{&stream, width, height};
  const ImgStatus status = readFile(dst, path, &target, messages);
  if (status != IMG_OK || target.streamed) return status;
  // Fitting enlarges it: through the whole raster, as imgResize does it.
  OwnedImg whole;
  whole.img = *dst;
  *dst = Img{};
  return imgResize(dst, width, height, &whole.img, false);
}

ImgStatus imgJpegWrite(Img* src, FILE* file, int quality, const char* name, std::string* messages,
                       const std::string* icc) {
  if (src->status != 0) {
    src->status |= IMG_JPEG_WRITE_SOURCE;
    return IMG_JPEG_WRITE_SOURCE;
  }
  Writer writer(name, messages);
  return encodeGuarded(&writer, file, src, quality, name, icc);
}

ImgStatus imgJpegWriteFile(Img* src, const char* path, int quality) {
  if (src->status != 0) {
    src->status |= IMG_JPEG_WRITE_SOURCE;
    return IMG_JPEG_WRITE_SOURCE;
  }
  FileHandle file = fileCreateNew(path);
  if (!file) {
    src->status |= IMG_JPEG_WRITE_CREATE;
    return IMG_JPEG_WRITE_CREATE;
  }
  return imgJpegWrite(src, file.get(), quality, path);
}
