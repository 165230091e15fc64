// JPEG adapter: libjpeg driven at full size, one scanline at a time, each
// placed upright or reduced by img/upright_rows.h.
#include "img/jpeg_codec.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <string>

#include <jpeglib.h>  // after <cstdio>, whose FILE it uses
#include <jerror.h>   // after jpeglib.h

#include "base/limits.h"
#include "img/exif.h"
#include "img/resize.h"
#include "img/upright_rows.h"
#include "util/file_handle.h"
#include "util/test_hook.h"

namespace {

constexpr int kExifMarker = JPEG_APP0 + 1;

// Begins with the standard manager so that libjpeg sees one. path is what
// every library message is prefixed with, and messages where it goes (null,
// for the encoder only: standard error); the jump context is the recovery
// point of the read or write in progress.
struct ErrorMgr {
  jpeg_error_mgr pub;
  const char* path;
  std::string* messages;
  jmp_buf jump;
  bool tooManyScans;  // the jump came from the scan limit, not the library
  bool wideSource;    // the pixels are read through the wide buffer (widenSource)
  bool wideSaid;      // and the library had something to say since
};

// Prints the library's message as its default output_message does, after the
// file's path: among thousands of photos, "Premature end of JPEG file" alone
// names nothing. Warnings and fatal errors both come through here.
void outputNamedMessage(j_common_ptr cinfo) {
  char text[JMSG_LENGTH_MAX];
  (*cinfo->err->format_message)(cinfo, text);
  std::string line = reinterpret_cast<const ErrorMgr*>(cinfo->err)->path;
  line = line + ": " + text + "\n";
  auto* err = reinterpret_cast<ErrorMgr*>(cinfo->err);
  if (err->wideSource) err->wideSaid = true;
  if (std::string* messages = err->messages)
    *messages += line;
  else
    fputs(line.c_str(), stderr);
}

// libjpeg's error exit: prints the message (after the path), jumps back to
// the recovery point of the read or write in progress.
[[noreturn]] void errorExit(j_common_ptr cinfo) {
  (*cinfo->err->output_message)(cinfo);
  longjmp(reinterpret_cast<ErrorMgr*>(cinfo->err)->jump, 1);
}

void initErrorMgr(ErrorMgr* err, const char* path, std::string* messages) {
  jpeg_std_error(&err->pub);
  err->pub.output_message = outputNamedMessage;
  err->pub.error_exit = errorExit;
  err->path = path;
  err->messages = messages;
}

// A decompression object with its error record. Zero-initialised, so that
// destroying it is harmless whether or not jpeg_create_decompress ran (or
// failed half-way): libjpeg only frees what its memory manager holds.
// It also keeps what the header read learns past the library's own fields:
// the orientation of the first Exif segment.
struct Reader {
  ErrorMgr err{};
  jpeg_decompress_struct cinfo{};
  jpeg_progress_mgr progress{};
  int orientation = 1;
  bool exifSeen = false;

  Reader(const char* path, std::string* messages) {
    initErrorMgr(&err, path, messages);
    cinfo.err = &err.pub;
    cinfo.client_data = this;
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

Reader* readerOf(j_decompress_ptr c) { return static_cast<Reader*>(c->client_data); }

// The source of a regular file: the stdio source's reads and its ends (an
// empty file an error, a cut one a warning and a fake EOI), but it knows
// where it reads, so a skip past its buffer costs nothing: a photo may carry
// megabytes of segments we never read (extended XMP, depth maps), and
// reading through them would cost more than the rest of its header.
struct FileSource {
  jpeg_source_mgr pub;
  int fd;
  off_t at;    // of the next read
  off_t size;  // a skip past it reads through, as the stdio source does
  size_t want;
  bool startOfFile;
  bool atEnd;  // read to its end: a skip past it takes fake EOIs, not a read each
  JOCTET* buffer;
  size_t capacity;
  JOCTET header[4096];  // the header's reads: the stdio source's size
};

// The pixels' reads. The library decodes Huffman codes on its fast path only
// while the buffer holds a few kilobytes more: with the header's 4 KiB it
// takes the slow path for most of every buffer.
constexpr size_t kScanBufferBytes = 64 << 10;

// After a far skip, the next read is only the next segment's head: a run of
// skipped segments costs one small read each.
constexpr size_t kHopBytes = 256;

// The source's calls, and the marker processor below, are called by the
// library below the recovery point of the read: trivially destructible
// locals only.
void initSource(j_decompress_ptr) {}
void termSource(j_decompress_ptr) {}

boolean fillFromFile(j_decompress_ptr c) {
  auto* src = reinterpret_cast<FileSource*>(c->src);
  ssize_t got = 0;
  if (!src->atEnd) {
    do got = pread(src->fd, src->buffer, src->want, src->at);
    while (got < 0 && errno == EINTR);
  }
  if (got <= 0) {
    src->atEnd = !src->startOfFile;
    if (src->startOfFile) ERREXIT(c, JERR_INPUT_EMPTY);
    WARNMS(c, JWRN_JPEG_EOF);
    src->buffer[0] = 0xFF;
    src->buffer[1] = JPEG_EOI;
    got = 2;
  } else {
    src->at += got;
  }
  src->pub.next_input_byte = src->buffer;
  src->pub.bytes_in_buffer = static_cast<size_t>(got);
  src->startOfFile = false;
  src->want = src->capacity;
  return TRUE;
}

void skipInFile(j_decompress_ptr c, long count) {
  auto* src = reinterpret_cast<FileSource*>(c->src);
  if (count <= 0) return;
  const long beyond = count - static_cast<long>(src->pub.bytes_in_buffer);
  if (beyond > 0 && src->at + beyond <= src->size) {
    src->at += beyond;
    src->pub.bytes_in_buffer = 0;
    src->want = kHopBytes;
    return;
  }
  while (count > static_cast<long>(src->pub.bytes_in_buffer)) {
    count -= static_cast<long>(src->pub.bytes_in_buffer);
    fillFromFile(c);
  }
  src->pub.next_input_byte += count;
  src->pub.bytes_in_buffer -= static_cast<size_t>(count);
}

// The file's source: ours for a regular file read from its start, else the
// stdio source. Allocated in the library's pool, freed with the object.
void setSource(j_decompress_ptr c, FILE* file) {
  struct stat st;
  if (fstat(fileno(file), &st) != 0 || !S_ISREG(st.st_mode) || ftello(file) != 0) {
    jpeg_stdio_src(c, file);
    return;
  }
  auto* src = static_cast<FileSource*>(
      (*c->mem->alloc_small)(reinterpret_cast<j_common_ptr>(c), JPOOL_PERMANENT, sizeof(FileSource)));
  src->pub.init_source = initSource;
  src->pub.fill_input_buffer = fillFromFile;
  src->pub.skip_input_data = skipInFile;
  src->pub.resync_to_restart = jpeg_resync_to_restart;
  src->pub.term_source = termSource;
  src->pub.bytes_in_buffer = 0;
  src->pub.next_input_byte = nullptr;
  src->fd = fileno(file);
  src->at = 0;
  src->size = st.st_size;
  src->buffer = src->header;
  src->capacity = sizeof src->header;
  src->want = src->capacity;
  src->startOfFile = true;
  src->atEnd = false;
  c->src = &src->pub;
}

// Reads from here on into a buffer of kScanBufferBytes, the bytes still in
// the header's buffer first. For our own source only.
void widenSource(j_decompress_ptr c) {
  if (c->src->fill_input_buffer != fillFromFile) return;
  reinterpret_cast<ErrorMgr*>(c->err)->wideSource = true;
  auto* src = reinterpret_cast<FileSource*>(c->src);
  src->buffer = static_cast<JOCTET*>(
      (*c->mem->alloc_large)(reinterpret_cast<j_common_ptr>(c), JPOOL_IMAGE, kScanBufferBytes));
  src->capacity = kScanBufferBytes;
  if (src->want == sizeof src->header) src->want = src->capacity;
}

// One byte of a marker segment. Neither source suspends: its
// fill_input_buffer always returns with bytes (a fake EOI at the end).
unsigned nextByte(j_decompress_ptr c) {
  jpeg_source_mgr* src = c->src;
  if (src->bytes_in_buffer == 0) (*src->fill_input_buffer)(c);
  --src->bytes_in_buffer;
  return *src->next_input_byte++;
}

// APP1 processor of the upright header reads: of all APP1 segments only the
// first that begins as Exif is read, whole, for its orientation; the others
// (XMP, its extensions) are skipped uncopied.
boolean keepFirstExif(j_decompress_ptr c) {
  Reader* r = readerOf(c);
  const unsigned high = nextByte(c);
  const long length = static_cast<long>(high << 8 | nextByte(c)) - 2;
  if (length <= 0) return TRUE;  // a bogus length, as the library's own skip takes it
  if (r->exifSeen) {
    (*c->src->skip_input_data)(c, length);
    return TRUE;
  }
  JOCTET head[sizeof kImgExifHeader];
  long got = 0;
  while (got < length && got < static_cast<long>(sizeof head)) head[got++] = static_cast<JOCTET>(nextByte(c));
  if (got < static_cast<long>(sizeof head) || memcmp(head, kImgExifHeader, sizeof head) != 0) {
    if (length > got) (*c->src->skip_input_data)(c, length - got);
    return TRUE;
  }
  r->exifSeen = true;
  // Gathered whole: IFD0 may lie anywhere in it.
  jpeg_source_mgr* src = c->src;
  auto* data = static_cast<JOCTET*>((*c->mem->alloc_large)(reinterpret_cast<j_common_ptr>(c), JPOOL_IMAGE,
                                                            static_cast<size_t>(length)));
  memcpy(data, head, sizeof head);
  for (size_t at = sizeof head; at < static_cast<size_t>(length);) {
    if (src->bytes_in_buffer == 0) (*src->fill_input_buffer)(c);
    const size_t n = std::min(src->bytes_in_buffer, static_cast<size_t>(length) - at);
    memcpy(data + at, src->next_input_byte, n);
    src->next_input_byte += n;
    src->bytes_in_buffer -= n;
    at += n;
  }
  r->orientation = imgExifOrientation(data, static_cast<size_t>(length));
  return TRUE;
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

// One scanline of components samples a pixel as RGB.
void rowToRgb(const JSAMPLE* row, int components, bool adobeInverted, int width, unsigned char* out) {
  for (int x = 0; x < width; ++x)
    pixelToRgb(row + static_cast<size_t>(x) * components, components, adobeInverted, out + 3 * x);
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
// The most of a comment segment kept: a thumbnail's own comment is a few
// bytes.
constexpr unsigned kCommentKept = 255;

[[gnu::noinline]] void readHeader(Reader* r, FILE* file, bool keepExif, bool keepComment = false) {
  jpeg_create_decompress(&r->cinfo);
  if (keepExif) jpeg_set_marker_processor(&r->cinfo, kExifMarker, keepFirstExif);
  if (keepComment) jpeg_save_markers(&r->cinfo, JPEG_COM, kCommentKept);
  setSource(&r->cinfo, file);
  jpeg_read_header(&r->cinfo, TRUE);
}

// Returns false after a library error (its message already printed). No
// object with a destructor may live in this frame: longjmp skips destructors.
bool readHeaderGuarded(Reader* r, FILE* file, bool keepExif, bool keepComment = false) {
  if (setjmp(r->err.jump)) return false;
  readHeader(r, file, keepExif, keepComment);
  return true;
}

// What the header claims, refused before anything is allocated: more pixels
// than the limit, or, Huffman-coded, than the file's bytes can code
// (arithmetic coding can spend less than a bit on a block).
ImgStatus claimRefused(const jpeg_decompress_struct& c, FILE* file) {
  if (claimsTooManyPixels(c.image_width, c.image_height)) return IMG_DECODE_TOO_LARGE;
  struct stat st;
  if (!c.arith_code && fstat(fileno(file), &st) == 0 &&
      imgClaimOutgrowsBytes(c.image_width, c.image_height, st.st_size, kJpegMaxPixelsPerByte))
    return IMG_DATA_SHORT;
  return IMG_OK;
}

// The scanlines into rows, converted to RGB unless they are the library's
// own RGB. Below the recovery point: trivially destructible locals only.
[[gnu::noinline]] void readScanlines(jpeg_decompress_struct* c, ImgUprightRows* rows) {
  jpeg_start_decompress(c);
  const int components = c->output_components;
  const auto pool = reinterpret_cast<j_common_ptr>(c);
  // Sixteen rows (a 4:2:0 photo's MCU row) before the reduction takes them,
  // in pairs: its totals then stay in the cache for the batch instead of
  // being evicted by the library's decoding between every pair.
  constexpr JDIMENSION kBatch = 16;
  JSAMPARRAY buffer =
      (*c->mem->alloc_sarray)(pool, JPOOL_IMAGE, c->output_width * static_cast<JDIMENSION>(components), kBatch);
  JSAMPARRAY line = components == 3 ? nullptr : (*c->mem->alloc_sarray)(pool, JPOOL_IMAGE, c->output_width * 3, 1);
  while (c->output_scanline < c->output_height) {
    JDIMENSION got = 0;
    while (got < kBatch && c->output_scanline < c->output_height) {
      const JDIMENSION more = jpeg_read_scanlines(c, buffer + got, kBatch - got);
      if (more == 0) break;  // a source that suspends; ours never does
      got += more;
    }
    if (got == 0) break;
    JDIMENSION k = 0;
    if (line) {
      for (; k < got; ++k) {
        rowToRgb(buffer[k], components, c->saw_Adobe_marker, static_cast<int>(c->output_width), line[0]);
        rows->put(line[0], 3);
      }
    }
    for (; k + 1 < got; k += 2) rows->putPair(buffer[k], buffer[k + 1], 3);
    if (k < got) rows->put(buffer[k], 3);
  }
  jpeg_finish_decompress(c);
}

// With the target's prescale box, sets the library's smallest scale (in
// eighths) whose upright output still holds the picture's fit into that
// box; true when it scales. A scaled inverse DCT costs less than a whole
// one, and far less than the exact reduction of the pixels it saves.
bool prescale(jpeg_decompress_struct* c, const ImgDecodeTarget& target, int orientation) {
  if (!target.fit || target.prescaleWidth <= 0 || target.prescaleHeight <= 0) return false;
  const bool swap = imgOrientationSwapsSides(orientation);
  const int width = static_cast<int>(swap ? c->image_height : c->image_width);
  const int height = static_cast<int>(swap ? c->image_width : c->image_height);
  int fitWidth, fitHeight;
  if (imgFitSize(width, height, target.prescaleWidth, target.prescaleHeight, false, &fitWidth, &fitHeight) != IMG_OK)
    return false;
  for (unsigned eighths = 1; eighths < 8; ++eighths) {
    // The library rounds a scaled side up.
    if ((static_cast<long long>(width) * eighths + 7) / 8 < fitWidth ||
        (static_cast<long long>(height) * eighths + 7) / 8 < fitHeight)
      continue;
    c->scale_num = eighths;
    c->scale_denom = 8;
    jpeg_calc_output_dimensions(c);
    return true;
  }
  return false;
}

// The whole decode, below the recovery point of decodeGuarded: trivially
// destructible locals only. rows, above it, places each scanline upright or
// feeds it to the reduction, so no second raster is ever needed.
[[gnu::noinline]] ImgStatus decode(Reader* r, FILE* file, Img* dst, const ImgDecodeTarget& target,
                                   ImgUprightRows* rows, bool wide) {
  readHeader(r, file, true);
  jpeg_decompress_struct* c = &r->cinfo;
  if (const ImgStatus refused = claimRefused(*c, file)) return refused;
  if (wide) widenSource(c);
  r->progress.progress_monitor = limitScans;
  c->progress = &r->progress;
  const bool scaled = prescale(c, target, r->orientation);
  const JDIMENSION width = scaled ? c->output_width : c->image_width;
  const JDIMENSION height = scaled ? c->output_height : c->image_height;
  const ImgStatus begun = rows->begin(dst, static_cast<int>(width), static_cast<int>(height),
                                      r->orientation, target.fit, target.fitWidth, target.fitHeight,
                                      target.enlarge);
  if (begun != IMG_OK) return begun == IMG_CREATE_FAILED ? IMG_DECODE_ALLOC : begun;
  readScanlines(c, rows);
  return IMG_OK;
}

// Recovery point of a decode. Nothing with a destructor lives in this frame
// or in decode's; the parameters are never modified after setjmp, so they
// keep their values when the library jumps back.
ImgStatus decodeGuarded(Reader* r, FILE* file, Img* dst, const ImgDecodeTarget& target, ImgUprightRows* rows,
                        bool wide) {
  if (setjmp(r->err.jump)) return r->err.tooManyScans ? IMG_DECODE_SCANS : IMG_DECODE_DAMAGED;
  return decode(r, file, dst, target, rows, wide);
}

// One decode of the file from its start. *wideSaid: the library spoke while
// reading through the wide buffer.
ImgStatus decodeOnce(Img* dst, FILE* file, const char* path, const ImgDecodeTarget& target, ImgDecoded* out,
                     bool wide, bool* wideSaid) {
  // Both above the recovery point; the reader, declared after the file, is
  // destroyed before it is closed.
  ImgUprightRows rows;
  Reader reader(path, &out->libraryText);
  ImgStatus status = decodeGuarded(&reader, file, dst, target, &rows, wide);
  if (status == IMG_OK) status = rows.finish();
  *wideSaid = reader.err.wideSaid;
  return status;
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
                              const std::string* icc, const std::string* comment) {
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
  if (comment && !comment->empty() && comment->size() <= 65533)
    jpeg_write_marker(c, JPEG_COM, reinterpret_cast<const JOCTET*>(comment->data()),
                      static_cast<unsigned>(comment->size()));
  // The raster's own rows go to the library, one per call, uncopied.
  while (c->next_scanline < c->image_height) {
    if (c->next_scanline == c->image_height / 2) testHook("writing", path);
    jpeg_write_scanlines(c, src->rows + c->next_scanline, 1);
  }
  jpeg_finish_compress(c);
}

// Recovery point of an encode. Nothing with a destructor lives in this frame
// or in encode's; the parameters are never modified after setjmp.
ImgStatus encodeGuarded(Writer* w, FILE* file, Img* src, int quality, const char* path, const std::string* icc,
                        const std::string* comment) {
  if (setjmp(w->err.jump)) {
    src->status |= IMG_JPEG_WRITE_LIBRARY;
    return IMG_JPEG_WRITE_LIBRARY;
  }
  encode(w, file, src, quality, path, icc, comment);
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

ImgStatus headerOf(const char* path, bool upright, ImgHeaderInfo* info, ImgDecoded* out,
                   std::string* comment = nullptr) {
  FileHandle file = fileOpen(path, "rb");
  if (!file) return IMG_DECODE_OPEN;
  Reader r(path, &out->libraryText);  // declared after the file: destroyed before it is closed
  if (comment) comment->clear();
  if (!readHeaderGuarded(&r, file.get(), upright, comment != nullptr))
    return isUnsupported(r.err.pub.msg_code) ? IMG_DECODE_UNSUPPORTED : IMG_DECODE_DAMAGED;
  const int w = static_cast<int>(r.cinfo.image_width);
  const int h = static_cast<int>(r.cinfo.image_height);
  const bool swap = upright && imgOrientationSwapsSides(r.orientation);
  info->width = swap ? h : w;
  info->height = swap ? w : h;
  info->held = coefficientBytes(r.cinfo);
  if (comment)
    for (jpeg_saved_marker_ptr m = r.cinfo.marker_list; m; m = m->next)
      if (m->marker == JPEG_COM) {
        comment->assign(reinterpret_cast<const char*>(m->data), m->data_length);
        break;
      }
  return IMG_OK;
}

}  // namespace

ImgStatus imgJpegReadHeader(const char* path, ImgHeaderInfo* info, ImgDecoded* out) {
  return headerOf(path, true, info, out);
}

ImgStatus imgJpegReadStoredHeader(const char* path, ImgHeaderInfo* info, ImgDecoded* out, std::string* comment) {
  return headerOf(path, false, info, out, comment);
}

ImgStatus imgJpegDecode(Img* dst, const char* path, const ImgDecodeTarget& target, ImgDecoded* out) {
  *dst = Img{};
  FileHandle file = fileOpen(path, "rb");
  if (!file) return imgDecodeFailed(dst, IMG_DECODE_OPEN);
  const size_t said = out->libraryText.size();
  bool wideSaid = false;
  ImgStatus status = decodeOnce(dst, file.get(), path, target, out, true, &wideSaid);
  if (wideSaid) {
    // On damaged data, what the library says (the count of bytes before a
    // marker, which fault it meets first) follows how far its Huffman
    // decoder had read ahead, and so the buffer's size: such a file is
    // decoded again with the header's buffer, so its lines read as they
    // always have. A sound file is read once, and to the same pixels.
    imgDestroy(dst);
    *dst = Img{};
    out->libraryText.resize(said);
    status = decodeOnce(dst, file.get(), path, target, out, false, &wideSaid);
  }
  return status == IMG_OK ? IMG_OK : imgDecodeFailed(dst, status);
}

ImgStatus imgJpegWrite(Img* src, FILE* file, int quality, const char* name, std::string* messages,
                       const std::string* icc, const std::string* comment) {
  if (src->status != 0) {
    src->status |= IMG_JPEG_WRITE_SOURCE;
    return IMG_JPEG_WRITE_SOURCE;
  }
  Writer writer(name, messages);
  return encodeGuarded(&writer, file, src, quality, name, icc, comment);
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
