// The batch-copy list of -list:: one "copy" line per picture shown, numbered
// across the whole run.
#pragma once

#include "util/temp_file.h"

// The list file and its run-wide line counter. The entry creates the file
// (written aside, renamed at the end of the run); the picture pipeline writes
// a line for each picture it shows.
struct PictureList {
  TempFile file;  // not open when -list: is absent
  int counter = 0;
};

extern PictureList gPictureList;

// Writes the copy line of path (its target named with extension, ".gif",
// ".jpg", or an added format's own in lower case) and counts it; nothing
// when there is no list file, or when path holds a '"' or a control byte,
// which a batch line cannot quote.
void pictureListAdd(const char* path, const char* extension);
