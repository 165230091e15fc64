// Placeholder until the module lands.
#include "pages/media_pages.h"
void htmlAddMp3(FileHandle&, const char*, int, FileHandle&, int&, FileHandle&) {}
void htmlAddVideo(FileHandle&, const char*, int, FileHandle&, int&) {}
MpgHeader mpgHeaderBytes(const char*) { return {0, 0}; }
