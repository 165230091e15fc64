// Picture pipeline: one source picture to its derived JPEG files (pic.md.jpg
// when larger than the -mw: x -mh: box, pic.vr.jpg with the lens, pic.vi.jpg),
// then its entry in the directory's Left page.
#pragma once

#include "util/file_handle.h"
#include "util/str_list.h"

// path: directory path, separator, file name; path + rootOffset is the
// root-relative path. Silently ignores names not ending in .gif/.jpg (any
// case), unreadable headers, pictures not wider than -iw: and taller than
// -ih: (Exif-rotated JPEGs measured upright) and derived files. Otherwise
// writes the -list: line, remakes the derived files when pic.vi.jpg is older
// than path (or -force; prints its name on stdout), and calls htmlAddPicture.
// Any failure while making the files ends the run through error().
// left and rightWritten belong to the walk's per-directory state; preload
// receives the rollover name through htmlAddPicture.
void imgAddPicture(FileHandle& left, char* path, int rootOffset, int index, StrList* preload,
                   int& rightWritten);

// True when path is a temporary picture left by an interrupted run (a
// derived name with the temporary suffix); such a file is removed. The walk
// calls it on every listed file before handing files to the handlers, so a
// leftover never counts as a file of the album.
bool imgRemoveLeftoverTemp(const char* path);
