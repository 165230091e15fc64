// The Frameset, Left and Right pages of a directory's album, and the caption
// reader behind its titles.
#pragma once

#include <cstdio>

#include "util/file_handle.h"
#include "util/str_list.h"

// Loads a caption file: the whole text as plain text into text (textSize) and
// its "t" sections joined by " - " into title (titleSize). False, buffers
// untouched, when the file is missing or empty.
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

// One picture's Left entry, and its own Right page when it has a medium or a
// caption file.
void htmlAddPicture(FileHandle& left, const char* picPath, const char* microPath, int index,
                    const char* rolloverPath, StrList* preload, bool medium, const char* mediumPath,
                    int& rightWritten, const char* relPath);

// Copy of path with '\' turned into '/' (400-byte static buffer); a path of
// 400 characters or more is returned itself.
const char* pathSlashes(const char* path);
