// -nav: what lets a visitor step through an album's pictures. Every picture
// page gets a bar linking its neighbours, its place, the album and its own
// address (the album's frameset showing it); small scripts add the arrow
// keys and a swipe. The scripts never reach into another frame, which
// browsers forbid between file:// pages: the frames talk by messages, and
// every step is a plain link that works without them.
#pragma once

#include <string>

// How every bar begins: the mark by which the album cleaner knows a page
// that only -nav writes.
inline constexpr char kNavBarMarker[] = "<div class=\"quorvel-nav\">";

// The bar of the place'th of count pictures (from 1): prev and next are the
// neighbours' pages in link form ("" for none), self its own.
std::string navBar(const std::string& prev, const std::string& next, const std::string& self, int place,
                   int count);

// The script of a picture page (after its bar): keys and swipe follow the
// bar's links, and the frameset is told which picture is shown.
extern const char kNavPictureScript[];

// The script of the thumbnail column: its arrow keys go to the picture shown,
// whose thumbnail it marks (class quorvel-at) and scrolls into view; with
// the style of that mark and of a video's play mark (class quorvel-play).
extern const char kNavLeftScript[];

// The script of a tree page in the album's frameset: the current folder in
// view, the arrow keys passed on like the thumbnail column's.
extern const char kNavTreeScript[];

// The contact sheet (the display frame's first page): its style, and its
// script, by which the arrow key → opens its first picture.
extern const char kNavSheetStyle[];
extern const char kNavSheetScript[];

// A video's page and a Live Photo's: the style that fits the player to the
// frame and draws the LIVE button, and the script by which that button plays
// the motion (class quorvel-motion, right after the photo's view) in place of
// the photo.
extern const char kNavMediaStyle[];
extern const char kNavLiveScript[];

// A video's length as its play mark shows it: "m:ss", "h:mm:ss" from an hour
// on, to the nearest second; "" for a negative (unknown) one.
std::string navDuration(long long ms);

// page, an album frameset, with the script that shows the picture page its
// address names after "#", keeps that address in step with the visitor, and
// passes the thumbnail column's keys on: put before its "</head>" (else
// "</HEAD>", else its first "<frameset", else at its start).
std::string navFrameset(const std::string& page);

// What a page calls a picture in its title and its images' alt texts: its
// caption's title when that is plain text, else its file name, as page text.
std::string navLabel(const std::string& captionTitle, const char* fileName);

// What a page calls an album: the title of its title.txt when that is plain
// text, else its folder's name. path is any path in the album's directory.
std::string navAlbumLabel(const char* path);

// page with the text of its first <title> element (else <TITLE>) replaced;
// a page without one gets one before its </head> (else </HEAD>).
std::string navRetitled(const std::string& page, const std::string& title);

// A template of the album of path's directory, titled with its label under
// -nav; as it is without.
std::string navTitled(const char* templateText, const char* path);
