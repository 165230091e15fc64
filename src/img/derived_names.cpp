// Placeholder until the module lands.
#include "img/derived_names.h"
const char* pathMicroName(const char* path) { return path; }
const char* pathRolloverName(const char* path) { return path; }
const char* pathMediumName(const char* path) { return path; }
const char* pathHtmlName(const char* path) { return path; }
const char* pathSiblingName(const char* path, const char*) { return path; }
char* strConcatBounded(char* buf, const char*, const char*) { return buf; }
time_t fileDate(const char*, int*, int*, int*, int*, int*, int*, long long*) { return 0; }
