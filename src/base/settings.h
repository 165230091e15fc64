// The run's settings: one value per command-line option, filled once by the
// option reader before the walk and only read afterwards.
#pragma once

// -originals: what an -out: album links of the library's own files (the
// pictures behind the medium views, music, videos, the -css: sheet).
enum class Originals {
  Linked,      // a relative link from the album's folder into the library
  Copied,      // copied beside their derived files: the album folder stands alone
  HardLinked,  // hard-linked there where the file system allows, else copied
  None,        // nothing of the library: every picture gets a medium view
};

struct Settings {
  const char* css = nullptr;       // -css: style sheet relative to the root; null when absent
  const char* mp3Prefix = "";      // -mp3: play-list prefix; "" when absent
  bool mp3 = false;                // MP3 handling: -mp3: present, else -mp3
  bool video = false;              // -video
  bool force = false;              // -force
  bool mp3KoMo = false;            // -mp3KoMo
  bool date = false;               // -date
  const char* top = "_top";        // -top: target of the tree links
  const char* infoText = nullptr;  // -infoText:; null when absent
  bool shadow = false;             // grey or coloured shadow on thumbnails
  bool shadowColor = false;        // coloured shadow (-shadow:r,g,b read in full)
  int shadowRed = 0;
  int shadowGreen = 0;
  int shadowBlue = 0;
  int iw = 200;                    // -iw: pictures not wider are ignored
  int ih = 200;                    // -ih: pictures not taller are ignored
  int mw = 640;                    // -mw: medium box
  int mh = 480;                    // -mh:
  int uw = 96;                     // -uw: thumbnail box
  int uh = 96;                     // -uh:
  int lw = 128;                    // -lw: left frame width
  bool notop = false;              // -notop
  bool notree = false;             // -notree
  bool allpics = false;            // -allpics: .jpeg, PNG, WebP, HEIF and AVIF pictures too
  bool nav = false;                // -nav: picture pages step to their neighbours
  bool exif = false;               // -exif: the picture's own date, camera and caption
  bool hidpi = false;              // -hidpi: 2x and 3x thumbnails, a large view, no original linked
  bool linkOriginals = false;      // -linkoriginals: with -hidpi, the large view links the original
  const char* conf = nullptr;      // -conf:
  const char* list = nullptr;      // -list:
  const char* filter = nullptr;    // -filter:; null when absent
  const char* out = nullptr;       // -out: the album's own folder; null: beside the pictures
  Originals originals = Originals::Linked;  // -originals: (with -out: only)
};

extern Settings gSettings;

