// Picture header probe: width and height of a JPEG or GIF from its headers,
// without decoding. Never reads outside the file's bytes.
#pragma once

using ProbeReporter = void (*)(const char* format, const char* name);

// Opens prefix + name (see the kind rules by extension), reads it whole and
// probes it. Out-parameters may be null and are written only on success.
// Returns 0, or 1..9 (each failure passes its message through reporter).
int imgsizeGetSize(const char* name, const char* prefix, ProbeReporter reporter, int* width,
                   int* height, int* kind, int* size);

bool imgsizeGetJpgSize(const unsigned char* buf, long length, int* width, int* height);
bool imgsizeGetGifSize(const unsigned char* buf, long length, int* width, int* height);
bool imgsizeIsGif(const unsigned char* buf, long length);
