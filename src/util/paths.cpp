// Placeholder until the module lands.
#include "util/paths.h"
const char* pathFileName(const char* path) { return path; }
const char* pathWithoutExt(const char* path) { return path; }
const char* pathWithoutFile(const char*) { return ""; }
bool strStartsWith(const char*, const char*) { return false; }
bool strEndsWith(const char*, const char*) { return false; }
bool strEndsWithNoCase(const char*, const char*) { return false; }
bool pathMatch(const char*, const char*) { return false; }
