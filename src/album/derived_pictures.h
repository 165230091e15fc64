// Derived pictures: one source picture decoded and made into its medium view
// (when it gets one), its rollover thumbnail with the lens and its thumbnail
// (under -hidpi also its large view and both thumbnails at 2x and 3x), each
// written aside and renamed into place. Runs on any thread: it reads the
// settings (fixed before the walk), calls no function that returns a static
// buffer, and never ends the process or writes on standard error. What it
// has to say comes back in its result, for the walk thread to write out
// where a run on one thread would.
#pragma once

#include <string>

#include "album/derived_names.h"
#include "img/picture_formats.h"

// What making a picture's derived files came to.
enum class DerivedOutcome {
  Made,     // every file written
  LeftOut,  // the picture cannot be decoded: nothing written, the run goes on
  Failed,   // a file could not be made: the run is to end
};

struct DerivedResult {
  DerivedOutcome outcome = DerivedOutcome::Made;
  // The libraries' own lines, in the order they came, each ending in a line
  // feed: written on standard error before the failure's line.
  std::string libraryText;
  // The message of the failure's line (report() for LeftOut, error() for
  // Failed, without the "**** ERROR quorvel : " prefix); empty for Failed
  // when the library's own line is the whole report.
  std::string failure;
  // For LeftOut, the short reason a run's summary counts it under.
  const char* reason = "";
  // Made, but from a stand-in: a video the libraries could not read gets a
  // plain poster, and this is the report() line saying why ("" otherwise).
  std::string notice;
};

// A video's thumbnail says in its comment segment how long the video runs,
// or that its poster stands in for a video that could not be read, so that
// a later run knows both without opening the video.
inline constexpr char kVideoCommentStart[] = "quorvel video ";
inline constexpr char kVideoUnreadComment[] = "quorvel video unread";
std::string derivedVideoComment(long long durationMs);
// The running time a thumbnail's comment gives; -1 for none or a stand-in.
long long derivedVideoDuration(const std::string& comment);

// Makes the derived files of the picture at path: names.medium first when
// medium, then names.rollover, then names.micro, which stands for the whole
// set being complete. format: what the file holds (img/picture_formats.h).
// A picture of an added format carries its colour profile into the three
// files; its medium view is never larger than the picture.
// Under -hidpi, from one decode: names.large when large (the picture fitted
// into 2048 x 2048, never enlarged) and names.medium reduced from it, else
// names.medium at most at the picture's size; the 3x and 2x thumbnails and
// rollovers from the larger of the two (never enlarged: a picture too small
// for 3x gives the largest whole scale it fills, 1x at least, the shadow at
// that scale); then the 1x ones as without it, names.micro last. Every file
// carries the colour profile and no other metadata.
// REQUIRES: under -hidpi, names built with its names, and large set when
// derivedLargePixels gives the picture a large view.
// microComment, when not empty, goes into names.micro as its comment
// segment (derivedVideoComment). A video (format Video) that cannot be
// decoded gets plain stand-in pictures, kVideoUnreadComment and a notice
// instead of being left out.
DerivedResult derivedMake(const char* path, ImgFormat format, bool medium, const PictureNames& names,
                          bool large = false, const std::string& microComment = "");

// -hidpi: the pixels of the large view of a picture width x height (upright),
// 0 when it gets none: without -hidpi, for a picture the -mw: x -mh: box
// holds, and where that box would hold as many pixels as the large view.
long long derivedLargePixels(int width, int height);

// The reason a picture whose format's library cannot be loaded is left out
// with: "its format's library cannot be loaded", then what the loader said
// (the library's name or the missing function's), when it said something.
std::string derivedNoLibraryReason(const std::string& why);
