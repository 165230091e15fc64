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

// A descriptor (the caller closes it) of the directory dir (with or without
// its final '/'; "" is the current one), reached as above when dir is below
// the album root, else opened as named; -1, errno set (ELOOP for a link),
// when it can't be.
int fileOpenAlbumDirectory(const std::string& dir);

// False for a symbolic link at path whose target lies outside the album
// root (or that can't be resolved), which is named on standard error, once
// a run: a caption or title read through it would publish a file from
// elsewhere. True for anything else, links within the album included.
// Walk thread only.
bool fileStaysInAlbum(const char* path);
