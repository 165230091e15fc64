// Which files of a directory quorvel wrote, by the rules it writes them by:
// what the album cleaner may remove without touching a file of the user's.
#pragma once

#include <string>
#include <vector>

struct ListedFile {
  std::string name;      // no directory part
  bool regular = false;  // a regular file itself, not a link to one
};

// The names among files (every regular file of the directory dir, and every
// link there to a regular file) that a run of quorvel, with any options,
// writes there and nothing else does:
// - the album's fixed pages and its play list;
// - a derived picture (.vi.jpg, .vr.jpg, .md.jpg) beside its picture, and
//   -hidpi's (.vi2.jpg, .vi3.jpg, .vr2.jpg, .vr3.jpg, .lg.jpg) beside its
//   picture and its .vi.jpg, unless a thumbnail of its own shows a run took
//   it as a picture;
// - a picture's page: pic.md.html beside pic.jpg and its pic.md.jpg, pic.html
//   beside pic.jpg captioned by pic.txt or by what the picture says of itself,
//   and either beside pic.jpg when it carries the -nav picture bar;
// - a video's poster pictures and page, as a picture's, where its thumbnail
//   carries the comment of a poster quorvel made;
// - a temporary's name (the caller removes it only when no run holds it).
// Only regular files are named, never links; sources may be links.
std::vector<std::string> albumOwnFiles(const std::string& dir, const std::vector<ListedFile>& files);
