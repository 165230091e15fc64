// The MP3 page (standing as quorvelRight.html), the play list liste.m3u and
// the video page quorvelVideo.html.
#pragma once

#include "pages/directory_pages.h"

// For a path ending in ".mp3" (any case): one line in the MP3 page and in the
// play list, opening what is missing. path + rootOffset is root-relative.
void htmlAddMp3(DirectoryPages& pages, const char* path, int rootOffset);

// For a path ending in ".mpg" or ".avi" (any case): one player block; for one
// ending in ".mp4", ".m4v", ".webm", ".ogv" or ".mov": one HTML5 video block.
void htmlAddVideo(DirectoryPages& pages, const char* path, int rootOffset);
// Whether htmlAddVideo takes path: its name ends in one of those extensions.
bool htmlIsVideoName(const char* path);

// Ends each open MP3 page, play list and video page with its template's end
// and gives it its name (pageFinish).
void htmlCloseMedia(DirectoryPages& pages);

struct MpgHeader {
  int byte10;
  int byte11;
};
// Bytes 10 and 11 of the file (EOF, -1, past its end); 0 and 0 when it
// cannot be opened.
MpgHeader mpgHeaderBytes(const char* path);
