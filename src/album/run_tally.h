// What a run did, told to a user at a terminal: while pictures are made, a
// progress line on standard error (made of those to make, percent, time so
// far and left), and at the end a summary (albums, pictures shown, left
// out and why, files of kinds an option would take, the page to open).
// Off unless started: scripts and pipes see none of it. Walk thread only.
#pragma once

#include <string>

// Turns the tally on (standard error is a terminal) and starts its clock.
void tallyStart();
bool tallyOn();

// Pictures the run expects to make, counted before the walk.
void tallyExpect(long count);
// A picture shown, made this run or already up to date.
void tallyShown(bool made);
// A picture left out, with the short reason the summary groups by.
void tallyLeftOut(const char* reason);
// An album whose pages were written.
void tallyAlbum();
// A file the walk handed on whose kind option, not given, would take (an
// added picture format, a video, an MP3): counted by its extension.
void tallyNotTaken(const char* option, const char* name);

// The summary's lines, for the caller to write on standard error; opens:
// the album's first page, when written.
std::string tallySummary(const std::string& opens);
