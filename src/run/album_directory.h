// One album folder's own pages, around the walk's handing of its files: the
// check that quorvel may write there, -notree's one-level pages before the
// files, and once they are handed on, its Top page (or its frameset when it
// only holds sub-albums). Walk thread only.
#pragma once

#include <cstdlib>
#include <memory>

#include "pages/directory_pages.h"
#include "util/str_list.h"

struct AlbumSubAlbumsFree {
  void operator()(StrList* list) const {
    strListRelease(free, list);
    free(list);
  }
};

// What the walk learns of a folder below it while walking its
// subdirectories: the sub-albums that count, in walk order.
struct AlbumDirectory {
  std::unique_ptr<StrList, AlbumSubAlbumsFree> subAlbums;
  bool counts = false;  // a sub-album counts
};

// A folder with no sub-album yet. Ends the run when memory runs out.
AlbumDirectory albumDirectoryNew();
// Records name, a subdirectory of dir that counts.
void albumDirectoryAddSubAlbum(AlbumDirectory& dir, const char* name);

// The paths below are the walk's 300-byte buffer, holding the folder's path
// (len characters) from the album root's rootOffset on.
//
// Before the folder's files: false when quorvel may not write into it (or it
// was swapped for a link since it was listed), and it is left out whole,
// named once when it has anything to show. Else closes dir's sub-album list
// (none is added after), writes -notree's one-level pages, naming them on
// standard output, and returns true.
bool albumDirectoryOpen(char* path, int len, int rootOffset, AlbumDirectory& dir);

// After albumDirectoryOpen, once the folder's files were handed to pages: finishes its Left page and
// writes its Top page, or its frameset when only sub-albums count, then
// closes its media pages. Returns whether it counts (it has a Left page of
// its own or a sub-album that counts). path is restored before return.
bool albumDirectoryFinish(char* path, int len, int rootOffset, AlbumDirectory& dir, DirectoryPages& pages);
