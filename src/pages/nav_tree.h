// The navigation tree pages (quorvelTop.html, or quorvelFrameset.html for a
// directory with only sub-albums) and the one-level pages of -notree.
#pragma once

#include "util/str_list.h"

// dirPath: the directory's path with a trailing separator; its root-relative
// part starts at rootOffset. Writes the tree page pageName there; nothing
// under -notree.
void htmlWriteTop(const char* dirPath, NameList subAlbums, const char* pageName, int rootOffset,
                  bool titleBlock);

// pagePath: the full file name of the page; its directory part is dirLen long.
// current: the entry of subAlbums whose page it is, or null for the root's.
// A page that cannot be created is skipped silently.
void htmlWriteTopLevel(char* pagePath, int dirLen, NameList subAlbums, int rootOffset,
                       const char* current);
