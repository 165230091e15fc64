// The Frameset, Left and Right pages of a directory's album: the Left page
// opened, filled with picture entries and finished here.
//
// Pages are written beside the file that causes them (path: that file's path
// as the walk holds it; relPath: its root-relative part, which sets the
// "$rootdir$" climb). A page that cannot be created ends the run through
// error("can't create ..."). Names in href/src values and script arguments
// are written in linkForm, so any file name gives a working link.
#pragma once

#include <cstdio>
#include <string>

#include "pages/directory_pages.h"

// Width and height of a derived picture as read back from its file; known is
// false when the file could not be read.
struct PictureSize {
  bool known = false;
  int width = 0;
  int height = 0;
};

// One picture as its Left entry and its own Right page show it: the picture
// pipeline fills it once the derived files exist.
struct PictureEntry {
  const char* path = nullptr;     // the picture, as the walk holds it
  const char* relPath = nullptr;  // its root-relative part
  int index = 0;                  // unique within the directory's Left page
  std::string microPath;          // pic.vi.jpg
  PictureSize microSize;
  std::string rolloverPath;       // pic.vr.jpg
  std::string mediumPath;         // pic.md.jpg; empty when there is no medium
  PictureSize mediumSize;
  std::string pagePath;           // its own Right page; empty when it has none
  bool captioned = false;         // pic.txt loaded, or a caption from the picture: text and title below
  std::string captionText;        // the user's HTML (pic.txt), or page text
  std::string captionTitle;
  std::string captionBody;        // -nav: the text without its title, shown under it
  std::string factsLine;          // -exif: the picture's facts as page text; "" for none
  bool originalDownload = false;  // browsers can't show the original: the medium view offers it as a download
  // -hidpi: the thumbnail and rollover at 2x and 3x (empty without -hidpi),
  // and the large view (empty when the picture has none).
  std::string micro2Path, micro3Path, rollover2Path, rollover3Path;
  std::string largePath;
  PictureSize largeSize;
  // -nav -video: a video among the pictures (videoLink, its file in link
  // form, set): the medium view is its poster, its page plays it, its
  // thumbnail is marked as playing for durationMs (-1: not known).
  std::string videoLink;
  long long durationMs = -1;
  // -nav -video: a Live Photo, the picture's motion (the video of the same
  // stem beside it) in link form, which its page plays on request; "" for none.
  std::string motionLink;
};

// The title block of the title.txt in dirPath's directory (nothing when it
// does not load). dirPath is any path in that directory (directory part used).
void htmlWriteTitleBlock(FILE* out, const char* dirPath);

// quorvelFrameset.html beside path.
void htmlWriteFrameset(const char* path, const char* relPath);
// quorvelRight.html from rightEmpty beside path, unless rightWritten is set.
void htmlWriteRightEmpty(int& rightWritten, const char* relPath, const char* path);
// Opens and begins quorvelLeft.html beside path when pages has no Left page
// yet (also writing the Frameset and the empty Right page).
void htmlOpenLeft(DirectoryPages& pages, const char* path, const char* relPath);

// One picture's Left entry, and its own Right page when entry.pagePath is set
// (the medium when there is one, else the picture; the caption's text, the
// facts line and the -infoText: above). Opens the Left page when needed and adds the rollover's
// bare file name, unescaped, to pages.preload.
// -hidpi: the thumbnail and the medium view offer their denser files by
// srcset, thumbnails past the first screen load lazily, nothing is preloaded,
// and no page shows or links the original unless -linkoriginals: the medium
// view links the large view (none without one).
void htmlAddPicture(DirectoryPages& pages, const PictureEntry& entry);

// Ends the Left page and gives it its name (pageFinish): "</center>", the
// script preloading the rollover pictures (when there are any; never under
// -hidpi), the leftEnd template. False, and nothing written, when the
// directory has no Left page.
bool htmlFinishLeft(DirectoryPages& pages);

// -hidpi: the script after the Left page's leftBegin that makes the pointer's
// swap (_1, _2) show the rollover, and restore the thumbnail, at the screen's
// density.
extern const char kHidpiSwapScript[];
