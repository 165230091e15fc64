// -out: with -originals:copy or -originals:link, the library's own files
// (pictures, music, videos, the style sheet) placed in the out folder beside
// what was derived from them, so that the out folder can be published alone.
#pragma once

#include <string>

// Whether the album's pictures, music and videos are placed in the out
// folder: -out: with -originals:copy or -originals:link.
bool albumPlacesOriginals();

// Places the library file path (as the walk names it) at its place in the
// out folder (fileOutPath): a hard link under -originals:link where the file
// system allows one, else a copy, written aside and renamed into place,
// carrying the original's modification time. A file already there with the
// original's size and modification time is left as it is. Nothing to do
// without an out folder. Returns "" or the reason it could not be placed.
std::string albumPlaceOriginal(const char* path);

// albumPlaceOriginal, its failure reported (report()): the album then holds
// a dead link, and the run fails.
void albumPlaceOriginalOrReport(const char* path);
