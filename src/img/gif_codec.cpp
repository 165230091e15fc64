// GIF adapter: gd decodes, its image's rows go through img/upright_rows.h.
#include "img/gif_codec.h"

#include <sys/stat.h>

#include <gd.h>
#include <gd_errors.h>

#include <cstdarg>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "base/limits.h"
#include "img/format_libraries.h"
#include "img/header_probe.h"
#include "img/upright_rows.h"
#include "util/file_handle.h"

namespace {

struct GdImageDeleter {
  const GdLibrary* gd;
  void operator()(gdImage* im) const { gd->destroy(im); }
};
using GdImageHandle = std::unique_ptr<gdImage, GdImageDeleter>;

// Where gd's messages go on this thread while it decodes: gd has one error
// method for the whole process.
thread_local std::string* tGdMessages = nullptr;

// A message of gd's as its own default method writes it: a word for its
// priority, then the formatted text (which ends its line itself). Outside a
// decode (gd called by some other part of the process) it is written as gd
// would write it.
void catchGdMessage(int priority, const char* format, va_list args) {
  static const char* const kPrefixes[] = {"GD Error: ", "GD Warning: ", "GD Notice: ", "GD Info: ", "GD Debug: "};
  std::string text = priority >= GD_ERROR && priority <= GD_DEBUG ? kPrefixes[priority - GD_ERROR] : "";
  va_list copy;
  va_copy(copy, args);
  const int length = vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (length > 0) {
    const size_t at = text.size();
    text.resize(at + static_cast<size_t>(length) + 1);
    vsnprintf(text.data() + at, static_cast<size_t>(length) + 1, format, args);
    text.resize(at + static_cast<size_t>(length));
  }
  if (tGdMessages) {
    *tGdMessages += text;
  } else {
    fputs(text.c_str(), stderr);
    fflush(stderr);
  }
}

// gd's messages on this thread go to messages while it lives.
struct GdMessagesTo {
  explicit GdMessagesTo(std::string* messages) { tGdMessages = messages; }
  ~GdMessagesTo() { tGdMessages = nullptr; }
  GdMessagesTo(const GdMessagesTo&) = delete;
  GdMessagesTo& operator=(const GdMessagesTo&) = delete;
};

// gd, its messages caught from the first use on (set once, before any
// thread decodes through it); null when it cannot be loaded.
const GdLibrary* caughtGd() {
  static const GdLibrary* const gd = [] {
    const GdLibrary* library = gdLibrary();
    if (library) library->setErrorMethod(catchGdMessage);
    return library;
  }();
  return gd;
}

// The logical screen from a GIF's first 10 bytes.
bool screenOf(FILE* file, int* width, int* height) {
  unsigned char head[10];
  return fread(head, 1, sizeof head, file) == sizeof head && imgsizeGetGifSize(head, sizeof head, width, height);
}

// gd allocates the image the GIF describes before it reads a pixel, and
// keeps each image within the logical screen: a screen past the limit, or
// more than the file's bytes could code, is refused from its first bytes, so
// a 35-byte file cannot cost gigabytes.
ImgStatus screenRefused(FILE* file) {
  int width, height;
  const bool screen = screenOf(file, &width, &height);
  rewind(file);
  if (!screen) return IMG_OK;
  if (static_cast<long long>(width) * height > kMaxPicturePixels) return IMG_DECODE_TOO_LARGE;
  struct stat st;
  if (fstat(fileno(file), &st) == 0 && imgClaimOutgrowsBytes(width, height, st.st_size, kGifMaxPixelsPerByte))
    return IMG_DATA_SHORT;
  return IMG_OK;
}

// gd's reading of path, its messages into messages; null when it refuses.
GdImageHandle readGif(const GdLibrary* gd, FILE* file, std::string* messages) {
  const GdMessagesTo caught(messages);
  return GdImageHandle(gd->createFromGif(file), GdImageDeleter{gd});
}

// gd's image into rows, a row at a time.
void putRows(const GdLibrary* gd, gdImage* im, ImgUprightRows* rows) {
  const int width = gdImageSX(im);
  std::vector<unsigned char> line(static_cast<size_t>(width) * 3);
  for (int y = 0; y < gdImageSY(im); ++y) {
    for (int x = 0; x < width; ++x) {
      const int c = gd->getPixel(im, x, y);
      line[3 * x] = static_cast<unsigned char>(gdImageRed(im, c));
      line[3 * x + 1] = static_cast<unsigned char>(gdImageGreen(im, c));
      line[3 * x + 2] = static_cast<unsigned char>(gdImageBlue(im, c));
    }
    rows->put(line.data(), 3);
  }
}

}  // namespace

ImgStatus imgGifReadHeader(const char* path, ImgHeaderInfo* info, ImgDecoded*) {
  FileHandle file = fileOpenRead(path);
  if (!file) return IMG_DECODE_OPEN;
  if (!screenOf(file.get(), &info->width, &info->height)) return IMG_DECODE_DAMAGED;
  info->held = 7LL * info->width * info->height;
  return IMG_OK;
}

ImgStatus imgGifDecode(Img* dst, const char* path, const ImgDecodeTarget& target, ImgDecoded* out) {
  *dst = Img{};
  // Without gd no GIF can be decoded: as for a file gd refuses.
  const GdLibrary* gd = caughtGd();
  if (!gd) return imgDecodeFailed(dst, IMG_DECODE_UNREADABLE);
  GdImageHandle image(nullptr, GdImageDeleter{gd});
  {
    FileHandle file = fileOpen(path, "rb");
    if (!file) return imgDecodeFailed(dst, IMG_DECODE_UNREADABLE);
    if (const ImgStatus refused = screenRefused(file.get())) return imgDecodeFailed(dst, refused);
    image = readGif(gd, file.get(), &out->libraryText);
  }  // closed as soon as gd is done with it
  if (!image) return imgDecodeFailed(dst, IMG_DECODE_UNREADABLE);
  ImgUprightRows rows;
  ImgStatus status = rows.begin(dst, gdImageSX(image.get()), gdImageSY(image.get()), 1, target.fit,
                                target.fitWidth, target.fitHeight, target.enlarge);
  if (status == IMG_CREATE_FAILED) status = IMG_DECODE_ALLOC;
  if (status == IMG_OK) {
    putRows(gd, image.get(), &rows);
    image.reset();  // not held through an enlargement
    status = rows.finish();
  }
  return status == IMG_OK ? IMG_OK : imgDecodeFailed(dst, status);
}
