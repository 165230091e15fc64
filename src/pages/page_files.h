// The files of an album's pages: named beside the file that causes them,
// written aside and renamed into place when finished. A page that cannot be
// named, created or written ends the run: an album with a missing or cut
// page would be broken.
#pragma once

#include <string>

#include "util/temp_file.h"

// name in the directory of path (pathSiblingName); a name that would reach
// 400 characters ends the run with error("path too long \"<path>\"").
std::string pageSiblingName(const char* path, const char* name);

// Starts pagePath: an open temporary beside it (TempFile), or the run ends
// with error("can't create \"<pagePath>\": <reason>").
TempFile pageCreate(const std::string& pagePath);

// pageCreate(pageSiblingName(path, name)).
TempFile pageCreateBeside(const char* path, const char* name);

// Gives a finished page its name (TempFile::commit); nothing when the page
// is not open. A failed write, flush, close or rename ends the run with
// error("can't write \"<pagePath>\": <reason>").
void pageFinish(TempFile& page);
