// Placeholder until the module lands.
#include "util/text_encode.h"
const char* dateLabel(const char* name, bool) { return name; }
const char* pathFilterForm(const char* path) { return path; }
int pathDepth(const char*) { return 0; }
const char* sizeText(int) { return ""; }
int fileSize(const char*) { return 0; }
void urlEncodeM3u(FILE*, const char*) {}
std::string linkForm(const char* name) { return name; }
std::string textForm(const char* name) { return name; }
