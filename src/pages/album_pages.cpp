// Placeholder until the module lands.
#include "pages/album_pages.h"
bool captionRead(char*, int, char*, int, const char*) { return false; }
void htmlWriteTitleBlock(FILE*, const char*) {}
void htmlWriteFrameset(const char*, const char*) {}
void htmlWriteRightEmpty(int&, const char*, const char*) {}
void htmlOpenLeft(FileHandle&, const char*, int&, const char*) {}
void htmlAddPicture(FileHandle&, const char*, const char*, int, const char*, StrList*, bool,
                    const char*, int&, const char*) {}
const char* pathSlashes(const char* path) { return path; }
