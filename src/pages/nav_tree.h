// The navigation tree pages (quorvelTop.html, or quorvelFrameset.html for a
// directory with only sub-albums) and the one-level pages of -notree.
#pragma once

#include "util/str_list.h"

// dirPath: the directory's path with a trailing separator; its root-relative
// part starts at rootOffset. Writes the tree page pageName there; nothing
// under -notree.
void htmlWriteTop(const char* dirPath, NameList subAlbums, const char* pageName, int rootOffset,
                  bool titleBlock);

// One one-level page of -notree, listing subAlbums: the sub-albums of the
// page's directory (current null, links without prefix) or of its parent
// (current: the entry of subAlbums whose page it is, links with "../").
// pagePath: the full file name of the page; its directory part is dirLen long
// and is all that is left of it afterwards. titleBlock: the title block of
// the page's directory follows the list. A page that cannot be created is
// skipped silently.
void htmlWriteTopLevel(char* pagePath, int dirLen, NameList subAlbums, int rootOffset,
                       const char* current, bool titleBlock);
