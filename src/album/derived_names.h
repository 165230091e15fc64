// Names of the files derived from a picture. Each builder
// has its own 400-character buffer (NUL included), valid until its next call;
// results of different builders never overwrite each other. A name that would
// reach 400 characters ends the run with error("path too long \"<path>\"").
#pragma once

// pathWithoutExt(path) followed by the suffix shown.
const char* pathMicroName(const char* path);     // pic.vi.jpg
const char* pathRolloverName(const char* path);  // pic.vr.jpg
const char* pathMediumName(const char* path);    // pic.md.jpg
const char* pathHtmlName(const char* path);      // pic.html
