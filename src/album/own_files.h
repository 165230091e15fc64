// Which files of a directory quorvel wrote, by the rules it writes them by:
// what the album cleaner may remove without touching a file of the user's.
#pragma once

#include <string>
#include <vector>

// The names among files (the regular files of the directory dir, open as
// dirFd) that a run of quorvel writes there and nothing else does:
// - the album's fixed pages (kAlbumPages), by their names;
// - the play list liste.m3u, where the MP3 page (quorvelRight.html) holds
//   the entry quorvel writes for it;
// - beside a regular .jpg or .gif, its derived pictures (.vi.jpg, .vr.jpg,
//   .md.jpg, and -hidpi's .vi2.jpg, .vi3.jpg, .vr2.jpg, .vr3.jpg, .lg.jpg
//   where its .vi.jpg stands too and no thumbnail of their own shows a run
//   took them as pictures); beside a picture only -allpics takes (.png, ...)
//   the same where quorvelLeft.html shows its thumbnail; beside a video the
//   same where its thumbnail carries the comment of a poster quorvel made;
// - the page pic.md.html or pic.html beside such a picture, when it starts
//   with the head of a built-in template (pages/templates.h) or the
//   thumbnail's entry in quorvelLeft.html opens it (a -conf: theme's page);
// - a temporary's name (the caller removes it only when no run holds it).
// Files are read through dirFd, never through a link; dir names them for
// the header reads that take a path.
std::vector<std::string> albumOwnFiles(int dirFd, const std::string& dir, const std::vector<std::string>& files);
