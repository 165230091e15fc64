// An album written into a folder of its own (-out:): the folder checked and
// marked at start-up, kept following the library on every run, and cleaned
// by the cleaner as a whole.
#pragma once

#include <string>

// The mark at the top of an out folder, a regular file holding
// "quorvel album of <the library root's real path>\n": what shows that the
// folder is an album quorvel made, and of which library.
inline constexpr char kOutFolderMark[] = ".quorvel-album";

// Checks the out folder outRoot against the library root libraryRoot (both
// as given on the command line, the library already checked as readable),
// then opens it for writing (fileWriteAlbumInto) and writes the mark. Ends
// the run with error() and the reason, before anything is written, when
// outRoot is the library, lies inside it or contains it; when it holds
// files but no mark (a folder of the user's, not an album quorvel made);
// when its mark names another library; or when it can't be made, opened or
// written. The paths are compared as real paths, outRoot's missing folders
// as they will be once made. A mark already right is not written again.
// REQUIRES: fileConfineToAlbum(libraryRoot) was called.
void outFolderOpen(const char* libraryRoot, const char* outRoot);

// Removes from outDir, the out folder of the library folder libraryDir (as
// the walk names them), what quorvel wrote there for a picture, music file
// or video that is gone from libraryDir, and every out subfolder whose
// library folder is gone (what quorvel wrote in it, then the folder when
// nothing else is left). A stale temporary there goes too. Nothing else is
// ever removed: a file of the user's put into the out folder stays. What
// can't be removed is reported (report()). Walk thread, before the folder's
// pages are written; every removal through the folder's descriptor, no link
// followed. Nothing to do when outDir is not there. REQUIRES: outFolderOpen.
void outFolderFollow(const std::string& libraryDir, const std::string& outDir);

// True when dir holds the mark (a regular file): the cleaner cleans it as
// an out folder.
bool outFolderIsMarked(const std::string& dir);

// The cleaner on an out folder: removes, below dir and in dir itself, what
// quorvel wrote there (as outFolderFollow does for a library that is gone
// entirely), its cv.html and the mark, then every folder below dir left
// empty. Returns the number of files removed; failures are reported.
long outFolderClean(const std::string& dir);
