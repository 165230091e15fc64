// The pages of one directory that stay open while the walk hands its files to
// the MP3, video and picture writers, and their finishing.
#pragma once

#include <cstdlib>

#include "util/file_handle.h"
#include "util/str_list.h"

struct DirectoryPages {
  FileHandle left;      // quorvelLeft.html, once something opened it
  FileHandle mp3;       // the MP3 page (standing as quorvelRight.html)
  FileHandle playlist;  // liste.m3u
  FileHandle video;     // quorvelVideo.html
  int rightWritten = 0;  // quorvelRight.html is written (empty or MP3 page)
  StrList preload{};     // rollover names the Left page preloads

  DirectoryPages() { strListInit(&preload); }
  ~DirectoryPages() { strListRelease(free, &preload); }
  DirectoryPages(const DirectoryPages&) = delete;
  DirectoryPages& operator=(const DirectoryPages&) = delete;
};

// Ends and closes the Left page: "</center>", the script preloading the
// rollover pictures (when there are any), the leftEnd template. False, and
// nothing written, when the directory has no Left page.
bool htmlFinishLeft(DirectoryPages& pages);

// Ends each open MP3 page, play list and video page with its template's end
// and closes it.
void htmlCloseMedia(DirectoryPages& pages);
