// Names of the files derived from a picture: the picture's path without its
// extension (pathWithoutExt), in the out folder under -out: (fileOutPath),
// then a suffix. Built on the walk thread only
// (pathWithoutExt's buffer), once per picture, and carried from there.
#pragma once

#include <string>

#include "base/settings.h"

// The derived pictures of one picture.
struct PictureNames {
  std::string micro;     // pic.vi.jpg, the thumbnail, made last
  std::string rollover;  // pic.vr.jpg, the thumbnail with the lens
  std::string medium;    // pic.md.jpg, made only for a picture larger than the box
  // -hidpi only (empty without it): the thumbnail and the rollover with 2x
  // and 3x the box's pixels, and the large view.
  std::string micro2, micro3;        // pic.vi2.jpg, pic.vi3.jpg
  std::string rollover2, rollover3;  // pic.vr2.jpg, pic.vr3.jpg
  std::string large;                 // pic.lg.jpg, made only beside a medium view
};

// path's names into names (with hidpi, -hidpi's too); false, names
// untouched, when one would reach 400 characters (kNameSize).
bool pictureNamesBuild(const char* path, PictureNames* names, bool hidpi = gSettings.hidpi);

// path's names; a name that would not fit ends the run with
// error("path too long \"<path>\"") rather than hand out a truncated one.
PictureNames pictureNames(const char* path);

// The picture page beside source (the medium's name when there is one, else
// the picture's): source without its extension, then ".html". A name that
// would not fit ends the run as pictureNames does.
std::string picturePageName(const char* source);

// True when path is named as a derived picture (it ends in .md.jpg, .vi.jpg
// or .vr.jpg; or in -hidpi's .vi2.jpg, .vi3.jpg, .vr2.jpg, .vr3.jpg, .lg.jpg
// under -hidpi, or beside its picture's .vi.jpg and without one of its own):
// such a file is never a picture of the album. Walk thread (it may look at
// the file system).
bool isDerivedName(const char* path);

// True when path ends in one of -hidpi's suffixes: whether such a file is a
// picture may change as the run makes thumbnails, so it is never planned
// ahead for the workers, only taken where the walk reaches it.
bool isHidpiName(const char* path);

// path without its -hidpi suffix ("a/pic" of "a/pic.vr2.jpg"); "" for a
// name without one.
std::string hidpiStem(const char* path);
