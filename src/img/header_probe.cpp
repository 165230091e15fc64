// Header probe: the signature from the file's first bytes, then, for a JPEG,
// the head of each segment up to its frame, read from the file one by one.
#include "img/header_probe.h"

#include <strings.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "base/limits.h"
#include "util/byte_fields.h"
#include "util/file_handle.h"

namespace {

enum Kind { kJpeg = IMG_KIND_JPEG, kGif = IMG_KIND_GIF, kByContent = 2 };

// The name plus an added ".gif" or ".jpg" must make a path the system takes;
// every path the walk builds does.
constexpr size_t kPathLimit = PATH_MAX - 1;

// Extensions are matched in any case, as everywhere else: "X.GIF" is read
// itself, not a sibling "X.GIF.gif" that the name-less search would try.
bool endsWithNoCase(const std::string& s, const char* tail) {
  const size_t n = strlen(tail);
  return s.size() > n && strcasecmp(s.c_str() + s.size() - n, tail) == 0;
}

bool hasSignature(const unsigned char* buf, unsigned char app, const char* id) {
  return buf[0] == 0xFF && buf[1] == 0xD8 && buf[2] == 0xFF && buf[3] == app &&
         memcmp(buf + 6, id, 5) == 0;
}

ProbeCode fail(ProbeReporter reporter, const char* format, const char* name, ProbeCode code) {
  if (reporter) reporter(format, name);
  return code;
}

// What the signatures need: a GIF's screen size ends at byte 10, a JPEG's
// APP0 or APP1 identifier at byte 11.
constexpr long kHeadBytes = 11;

bool readAt(FILE* file, long offset, unsigned char* out, long n) {
  return fseek(file, offset, SEEK_SET) == 0 && fread(out, 1, static_cast<size_t>(n), file) == static_cast<size_t>(n);
}

// Whether the file of length bytes is a JFIF, Exif or bare (FF D8 FF DB)
// JPEG whose marker chain reaches a C0 or C2 frame header; then sets width
// and height. Every segment must start with FF directly: fill bytes and
// stand-alone markers end the walk. Reads only the bytes it looks at; head
// holds the file's first kHeadBytes (fewer when shorter).
bool jpegSizeInFile(FILE* file, long length, const unsigned char* head, int* width, int* height, bool* readFailed) {
  if (length < kHeadBytes) return false;
  const bool bare = head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF && head[3] == 0xDB;
  if (!bare && !hasSignature(head, 0xE0, "JFIF") && !hasSignature(head, 0xE1, "Exif")) return false;
  unsigned char segment[9];
  for (long offset = 2; offset + 8 < length;) {
    if (!readAt(file, offset, segment, sizeof segment)) {
      *readFailed = true;
      return false;
    }
    if (segment[0] != 0xFF) return false;
    if (segment[1] == 0xC0 || segment[1] == 0xC2) {
      *height = static_cast<int>(byteBig16(segment + 5));
      *width = static_cast<int>(byteBig16(segment + 7));
      return true;
    }
    offset += static_cast<long>(byteBig16(segment + 2)) + 2;
  }
  return false;
}

}  // namespace

bool imgsizeIsGif(const unsigned char* buf, long length) {
  return length >= 0 && byteIsGif(buf, static_cast<size_t>(length));
}

bool imgsizeGetGifSize(const unsigned char* buf, long length, int* width, int* height) {
  if (length < 10 || !imgsizeIsGif(buf, length)) return false;
  *width = static_cast<int>(byteLittle16(buf + 6));
  *height = static_cast<int>(byteLittle16(buf + 8));
  return true;
}

ProbeCode imgsizeGetSize(const char* name, const char* prefix, ProbeReporter reporter, int* width,
                   int* height, int* kind, int* size) {
  const std::string base = std::string(prefix ? prefix : "") + name;
  if (base.size() + 4 > kPathLimit) return fail(reporter, "image imgName \"%s\" too long", name, PROBE_NAME_TOO_LONG);

  const std::string nameText = name;
  Kind found = kByContent;
  FileHandle file;
  if (endsWithNoCase(nameText, ".jpg")) {
    found = kJpeg;
    file = fileOpen(base.c_str(), "rb");
  } else if (endsWithNoCase(nameText, ".gif")) {
    found = kGif;
    file = fileOpen(base.c_str(), "rb");
  } else {
    file = fileOpen((base + ".gif").c_str(), "rb");
    if (file) {
      found = kGif;
    } else {
      file = fileOpen((base + ".jpg").c_str(), "rb");
      if (!file) file = fileOpen(base.c_str(), "rb");
    }
  }
  if (!file) return PROBE_OPEN;

  if (fseek(file.get(), 0, SEEK_END) != 0) return fail(reporter, "fseek on \"%s\"", name, PROBE_SEEK);
  const long length = ftell(file.get());
  if (length < 0) return fail(reporter, "ftell on \"%s\"", name, PROBE_POSITION);
  if (fseek(file.get(), 0, SEEK_SET) != 0) return fail(reporter, "fseek 2 on \"%s\"", name, PROBE_REWIND);
  // Only the header is read: the signature, then for a JPEG the few bytes
  // at the head of each segment up to its frame, however large the file.
  unsigned char head[kHeadBytes];
  const long headLength = std::min<long>(length, kHeadBytes);
  if (!readAt(file.get(), 0, head, headLength)) return fail(reporter, "fread \"%s\"", name, PROBE_READ);

  if (found == kByContent) found = imgsizeIsGif(head, headLength) ? kGif : kJpeg;
  int w = 0;
  int h = 0;
  if (found == kGif) {
    if (!imgsizeGetGifSize(head, headLength, &w, &h))
      return fail(reporter, "imgsizeGetGifSize \"%s\"", name, PROBE_NO_GIF);
  } else {
    bool readFailed = false;
    if (!jpegSizeInFile(file.get(), length, head, &w, &h, &readFailed))
      return readFailed ? fail(reporter, "fread \"%s\"", name, PROBE_READ)
                        : fail(reporter, "imgsizeGetJpgSize \"%s\"", name, PROBE_NO_JPEG);
  }
  if (width) *width = w;
  if (height) *height = h;
  if (kind) *kind = found;
  if (size) *size = static_cast<int>(length);
  return PROBE_OK;
}
