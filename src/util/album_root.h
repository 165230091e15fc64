// The album root of the run: files are written below it only through
// directories reached from its descriptor, never through a symbolic link,
// and texts that end in a page are read only from within it.
#pragma once

#include <string>

// From now on every directory below root (the album root as the walk names
// it) is reached from root's own descriptor one name at a time, never
// through a symbolic link: a directory of the album swapped for a link to
// elsewhere during the run takes no file. root itself is opened once, as
// given. Returns 0 or the errno of opening root. Call before any thread
// writes.
int fileConfineToAlbum(const char* root);

// -out: the album is written into a folder of its own, outRoot (as given),
// whose tree of folders mirrors the album root's. Opens outRoot once,
// creating it (and its missing parents) when needed. From then on
// fileOpenAlbumDirectory refuses every directory of the album root with
// EROFS, so that nothing can be written there. Returns 0 or the errno of
// making or opening outRoot. Call after fileConfineToAlbum, before any
// thread writes.
int fileWriteAlbumInto(const char* outRoot);

// Whether fileWriteAlbumInto was called: the run writes into an out folder.
bool fileAlbumIsOut();

// The out root as given; "" when the album is written beside its pictures.
const std::string& fileAlbumOutRoot();

// Where the album writes what belongs to path: path below the album root
// gives the same place below the out root; anything else, and every path
// when there is no out root, is given back as it is.
std::string fileOutPath(const std::string& path);

// With an out root and Originals::Linked, the link from the album folder of
// the file relPath (root-relative) to that file in the album root, e.g.
// "../../photos/trip/a.jpg" (from the out root's folder, the climb to it,
// then the way to the album root); else relPath's file name alone.
std::string fileLibraryLink(const char* relPath);

// The way from the out root to the album root ("../photos"), "" without an
// out root: the -css: sheet's link puts it after its climb.
const std::string& fileLibraryFromOut();

// A descriptor (the caller closes it) of the directory dir (with or without
// its final '/'; "" is the current one), reached as above when dir is below
// the album root or the out root, else opened as named; -1, errno set
// (ELOOP for a link, EROFS for the album root's own folders under -out:),
// when it can't be. With create, missing folders below the out root are
// made on the way (mode 0777 less the umask).
int fileOpenAlbumDirectory(const std::string& dir, bool create = false);

// False for a symbolic link at path whose target lies outside the album
// root (or that can't be resolved), which is named on standard error, once
// a run: a caption or title read through it would publish a file from
// elsewhere. True for anything else, links within the album included.
// Walk thread only.
bool fileStaysInAlbum(const char* path);
