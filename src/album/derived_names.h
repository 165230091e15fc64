// Names of the files derived from a picture: the picture's path without its
// extension (pathWithoutExt), in the out folder under -out: (fileOutPath),
// then a suffix. Built on the walk thread only
// (pathWithoutExt's buffer), once per picture, and carried from there.
#pragma once

#include <string>

// The derived pictures of one picture.
struct PictureNames {
  std::string micro;     // pic.vi.jpg, the thumbnail, made last
  std::string rollover;  // pic.vr.jpg, the thumbnail with the lens
  std::string medium;    // pic.md.jpg, made only for a picture larger than the box
};

// path's names into names; false, names untouched, when one would reach 400
// characters (kNameSize).
bool pictureNamesBuild(const char* path, PictureNames* names);

// path's names; a name that would not fit ends the run with
// error("path too long \"<path>\"") rather than hand out a truncated one.
PictureNames pictureNames(const char* path);

// The picture page beside source (the medium's name when there is one, else
// the picture's): source without its extension, then ".html". A name that
// would not fit ends the run as pictureNames does.
std::string picturePageName(const char* source);

// True when path is named as a derived picture (it ends in .md.jpg, .vi.jpg
// or .vr.jpg): such a file is never a picture of the album.
bool isDerivedName(const char* path);
