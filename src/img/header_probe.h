// The design's picture header probe: width and height of a JPEG or GIF
// from its headers, without decoding. Reads only the header (a GIF's first
// 10 bytes, a JPEG's segment heads up to its frame), never outside the
// file's bytes. The program reads every picture's header through
// img/picture_formats.h; imgsizeGetSize is the design's interface, kept for
// the tests, and only the GIF header readers serve the program (the GIF
// adapter's).
#pragma once

// The kinds the probe reports.
enum : int { IMG_KIND_JPEG = 0, IMG_KIND_GIF = 1 };

// Receives a printf-style format holding one "%s" and the picture name.
using ProbeReporter = void (*)(const char* format, const char* name);

// What imgsizeGetSize returns.
enum ProbeCode : int {
  PROBE_OK = 0,
  PROBE_NAME_TOO_LONG = 1,  // prefix + name + 4 longer than PATH_MAX - 1 characters
  PROBE_OPEN = 2,           // nothing opens
  PROBE_SEEK = 3,           // seek to the end failed
  PROBE_POSITION = 4,       // negative position at the end
  PROBE_REWIND = 5,         // seek back to the start failed
  PROBE_MEMORY = 6,         // (no longer returned: only the header is read)
  PROBE_READ = 7,           // short read
  PROBE_NO_GIF = 8,         // no GIF header
  PROBE_NO_JPEG = 9,        // no JPEG signature or baseline/progressive frame
};

// Opens prefix + name (no separator added; prefix may be null) and probes it.
// Kind by name, in any case: "*.jpg" is read as a JPEG, "*.gif" as a GIF;
// any other name tries name.gif (a GIF), then name.jpg, then name itself, whose
// first bytes then decide. Out-parameters may be null and are written only on
// success: kind IMG_KIND_JPEG or IMG_KIND_GIF; size in bytes.
// Every failure but PROBE_OPEN passes its message and name through reporter
// (if any).
[[nodiscard]] ProbeCode imgsizeGetSize(const char* name, const char* prefix, ProbeReporter reporter,
                                       int* width, int* height, int* kind, int* size);

// True when buf holds a GIF header; sets the logical screen width and height.
bool imgsizeGetGifSize(const unsigned char* buf, long length, int* width, int* height);
// True when buf begins with "GIF87a" or "GIF89a".
bool imgsizeIsGif(const unsigned char* buf, long length);
