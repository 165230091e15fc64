// Names of the files derived from a picture, and file dates. Each builder
// has its own 400-character buffer (NUL included), valid until its next call;
// results of different builders never overwrite each other. A name that would
// reach 400 characters ends the run with error("path too long \"<path>\"").
#pragma once

#include <ctime>

// pathWithoutExt(path) followed by the suffix shown.
const char* pathMicroName(const char* path);     // pic.vi.jpg
const char* pathRolloverName(const char* path);  // pic.vr.jpg
const char* pathMediumName(const char* path);    // pic.md.jpg
const char* pathHtmlName(const char* path);      // pic.html
// name in the directory of path: pathWithoutFile(path) followed by name.
const char* pathSiblingName(const char* path, const char* name);

// first + second into buf (400 bytes); returns buf, or a static "" (buf
// untouched) when the lengths add up to 400 or more. buf may be the very
// memory of first (second is appended), of second (first is put in front)
// or of both (the text is doubled).
char* strConcatBounded(char* buf, const char* first, const char* second);

// Last modification time in seconds since the epoch (stat, links followed);
// 0 when the file cannot be examined, out-parameters then untouched. Each
// non-null out-parameter gets its part of the local-time breakdown (year in
// full, month 1..12, day of month, hour, minute, second) or the size in bytes.
time_t fileDate(const char* path, int* year = nullptr, int* month = nullptr, int* day = nullptr,
                int* hour = nullptr, int* minute = nullptr, int* second = nullptr,
                long long* size = nullptr);
