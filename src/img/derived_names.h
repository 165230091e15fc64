// Names of the files derived from a picture, and file dates. Each builder
// has its own 400-character buffer, valid until its next call; a name that
// would reach 400 characters ends the run with "path too long".
#pragma once

#include <ctime>

const char* pathMicroName(const char* path);     // pic.vi.jpg
const char* pathRolloverName(const char* path);  // pic.vr.jpg
const char* pathMediumName(const char* path);    // pic.md.jpg
const char* pathHtmlName(const char* path);      // pic.html
// name in the directory of path.
const char* pathSiblingName(const char* path, const char* name);

// first + second into buf (400 bytes); returns buf, or "" (buf untouched)
// when the lengths add up to 400 or more. buf may alias either text.
char* strConcatBounded(char* buf, const char* first, const char* second);

// Last modification time (stat, links followed); 0 when unreadable. Each
// non-null out-parameter gets its part of the local-time breakdown.
time_t fileDate(const char* path, int* year = nullptr, int* month = nullptr, int* day = nullptr,
                int* hour = nullptr, int* minute = nullptr, int* second = nullptr,
                long long* size = nullptr);
