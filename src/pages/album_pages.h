// The Frameset, Left and Right pages of a directory's album, and the caption
// reader behind its titles.
//
// Pages are written beside the file that causes them (path: that file's path
// as the walk holds it; relPath: its root-relative part, which sets the
// "$rootdir$" climb). A page that cannot be created ends the run through
// error("can't create ..."). Names in href/src values and script arguments
// are written in linkForm, so any file name gives a working link.
#pragma once

#include <cstdio>

#include "util/file_handle.h"
#include "util/str_list.h"

// Loads a caption file: the whole text as plain text into text (textSize) and
// its "t" sections joined by " - " into title (titleSize). A UTF-8 text cut
// inside a character by its buffer ends before that character. False,
// buffers untouched, when the file is missing or empty.
bool captionRead(char* text, int textSize, char* title, int titleSize, const char* path);

// The title block of the title.txt in dirPath's directory (nothing when it
// does not load). dirPath is any path in that directory (directory part used).
void htmlWriteTitleBlock(FILE* out, const char* dirPath);

// quorvelFrameset.html beside path.
void htmlWriteFrameset(const char* path, const char* relPath);
// quorvelRight.html from rightEmpty beside path, unless rightWritten is set.
void htmlWriteRightEmpty(int& rightWritten, const char* relPath, const char* path);
// Opens and begins quorvelLeft.html beside path when left is empty (also
// writing the Frameset and the empty Right page).
void htmlOpenLeft(FileHandle& left, const char* path, int& rightWritten, const char* relPath);

// One picture's Left entry, and its own Right page (pic.md.html with a
// medium, else pic.html when pic.txt loads). Adds the rollover's bare file
// name, unescaped, to preload. medium: mediumPath exists and is shown.
void htmlAddPicture(FileHandle& left, const char* picPath, const char* microPath, int index,
                    const char* rolloverPath, StrList* preload, bool medium, const char* mediumPath,
                    int& rightWritten, const char* relPath);

// Copy of path with '\' turned into '/' (400-byte static buffer); a path of
// 400 characters or more is returned itself.
const char* pathSlashes(const char* path);
