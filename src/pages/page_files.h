// The files of an album's pages: named beside the file that causes them and
// created for writing. A page that cannot be named or created ends the run:
// an album with a missing page would be broken.
#pragma once

#include <string>

#include "util/file_handle.h"

// name in the directory of path (pathSiblingName); a name that would reach
// 400 characters ends the run with error("path too long \"<path>\"").
std::string pageSiblingName(const char* path, const char* name);

// Creates pagePath for writing, or ends the run with
// error("can't create \"<pagePath>\"").
FileHandle pageCreate(const std::string& pagePath);

// pageCreate(pageSiblingName(path, name)).
FileHandle pageCreateBeside(const char* path, const char* name);
