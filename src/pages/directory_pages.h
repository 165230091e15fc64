// The pages of one directory that stay open while the walk hands its files to
// the MP3, video and picture writers; album_pages.h finishes the Left page,
// media_pages.h the others.
#pragma once

#include <cstdlib>
#include <string>
#include <vector>

#include "util/temp_file.h"
#include "util/str_list.h"

// With -nav, a picture's own page, made but held back until the directory's
// last picture is known: its bar (neighbours, place) goes between the two
// parts.
struct HeldPicturePage {
  std::string path;    // where it is written
  std::string link;    // its name as links write it
  std::string before;  // up to the start of its body
  std::string after;   // the rest
};

struct DirectoryPages {
  TempFile left;      // quorvelLeft.html, once something opened it
  TempFile mp3;       // the MP3 page (standing as quorvelRight.html)
  TempFile playlist;  // liste.m3u
  TempFile video;     // quorvelVideo.html
  int rightWritten = 0;  // quorvelRight.html is written (empty or MP3 page)
  StrList preload{};     // rollover names the Left page preloads
  int entries = 0;       // picture entries on the Left page so far
  std::vector<HeldPicturePage> held;  // -nav: the picture pages, in Left order
  // -nav: the contact sheet's tiles so far, and the file that opened the
  // Left page (and its root-relative part), beside which the sheet goes.
  std::string sheet;
  std::string openedBy;
  std::string openedByRel;

  DirectoryPages() { strListInit(&preload); }
  ~DirectoryPages() { strListRelease(free, &preload); }
  DirectoryPages(const DirectoryPages&) = delete;
  DirectoryPages& operator=(const DirectoryPages&) = delete;
};
