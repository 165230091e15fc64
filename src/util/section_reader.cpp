// Placeholder until the module lands.
#include "util/section_reader.h"
void uxmlInit(UxmlCursor*, const char*, const char*) {}
bool uxmlNext(UxmlCursor*, char*, int, bool) { return false; }
void uxmlCopy(char*, int, const char*, int, bool) {}
void uxmlJoin(UxmlCursor*, char*, int, const char*, const char*, const char*, bool) {}
FILE* fileOpenIn(const char*, const char*, const char*) { return nullptr; }
char* fileLoadIn(AllocFn, const char*, const char*) { return nullptr; }
char* fileLoad(AllocFn, const char*) { return nullptr; }
