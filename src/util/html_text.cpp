// Placeholder until the module lands.
#include "util/html_text.h"
void htmlWriteText(FILE*, const char*) {}
bool htmlIsTag(const char*) { return false; }
bool htmlIsEntity(const char*) { return false; }
