// The files of an album's pages: named beside the file that causes them,
// written aside and renamed into place when finished. A page that cannot be
// named, created or written ends the run: an album with a missing or cut
// page would be broken.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

#include "util/temp_file.h"

// The names of the files an album directory holds besides its pictures' own.
inline constexpr char kFramesetPage[] = "quorvelFrameset.html";
inline constexpr char kTopPage[] = "quorvelTop.html";
inline constexpr char kLeftPage[] = "quorvelLeft.html";
inline constexpr char kRightPage[] = "quorvelRight.html";
inline constexpr char kVideoPage[] = "quorvelVideo.html";
inline constexpr char kPlaylistFile[] = "liste.m3u";
inline constexpr const char* kAlbumPages[] = {kFramesetPage, kTopPage, kLeftPage, kRightPage, kVideoPage};

// True when name (no directory part) is one of kAlbumPages.
bool pageIsAlbumPage(const char* name);

// name in the directory of path (pathSiblingName); a name that would reach
// 400 characters ends the run with error("path too long \"<path>\"").
std::string pageSiblingName(const char* path, const char* name);

// Starts pagePath (under -out:, its place in the out folder: fileOutPath):
// an open temporary beside it (TempFile), or the run ends with
// error("can't create \"<path>\": <reason>").
TempFile pageCreate(const std::string& pagePath);

// pageCreate(pageSiblingName(path, name)).
TempFile pageCreateBeside(const char* path, const char* name);

// What write puts on a stream, as a text (made in memory).
std::string pageText(const std::function<void(FILE*)>& write);

// Writes bytes as the page at pagePath (pageCreate, then pageFinish).
void pageWrite(const std::string& pagePath, const std::string& bytes);

// Writes bytes as the page at pagePath (pageCreate, then pageFinish), unless
// a regular file there, not a link, already holds exactly these bytes: that
// one is left as it is, so an unchanged album costs no writes.
void pageWriteUnlessSame(const std::string& pagePath, const std::string& bytes);

// Gives a finished page its name (TempFile::commit); nothing when the page
// is not open. A failed write, flush, close or rename ends the run with
// error("can't write \"<pagePath>\": <reason>").
void pageFinish(TempFile& page);
