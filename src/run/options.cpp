// Option reading. Options match by prefix and each search consumes only its
// first match, so the fixed order below decides between overlapping names
// ("-mp3:" before "-mp3", "-mp3" before "-mp3KoMo").
#include "run/options.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "album/memory_budget.h"

#include "base/fatal.h"
#include "base/limits.h"
#include "base/settings.h"
#include "img/lens_shadow.h"
#include "pages/page_files.h"
#include "pages/templates.h"
#include "util/cpu_count.h"
#include "util/path_filter.h"
#include "util/paths.h"

const char* const kUsageText =
    "utilisation :\n"
    "\n"
    "   quorvel  dir  [ options ]\n"
    "\n"
    "arguments :\n"
    "\n"
    "   dir   directory to parse, ie : \".\" or \"c:\\toto\"\n"
    "\n"
    "options :\n"
    "\n"
    "   -mp3      deal with mp3 files\n"
    "   -mp3:dir  deal with mp3 files, prefix m3u with dir\n"
    "   -mp3KoMo  add mp3 fils size\n"
    "   -video    deal with mpg video mpeg files\n"
    "   -force    even old images are converted again\n"
    "   -iw:999   ignore width lower than (default 200)\n"
    "   -ih:999   ignore height lower than (default 200)\n"
    "   -mw:999   medium width to resize (default 640)\n"
    "   -mh:999   medium height to resize (default 480)\n"
    "   -uw:999   width of micro image (default 96)\n"
    "   -uh:999   height of micro image (default 96)\n"
    "   -shadow   add a shadow to micro image\n"
    "   -shadow:r,g,b    add a colorized shadow to micro image\n"
    "   -lw:999          width of left html frame (default 128)\n"
    "   -conf:file.txt   (uxml file)\n"
    "   \"-filter:(*.zip|*.tgz)&!tmp/*\"\n"
    "   \"-infoText:cliquer pour zoomer\"\n"
    "   -top:target   (default _top)\n"
    "   -list:path       create a list file of img files\n"
    "   -notop    no navig top left frame\n"
    "   -notree   no tree in navig top left frame, only one level\n"
    "   -date     20051225-A --> 25.12.2005 A\n"
    "   -css:file.css   (lnk_other, lnk_here)\n"
    "   -exif     date taken, camera and caption from the picture itself\n"
    "   -nav      previous/next on picture pages, titles and alt texts\n"
    "   -allpics  also .jpeg .png .webp .heic .heif .avif pictures\n"
    "   -out:dir  write the album into dir, leave the photos as they are\n"
    "   -originals:copy|link|none  with -out:, the photos copied, hard-linked or not linked\n"
    "   -hidpi    sharp on every screen: 2x and 3x thumbnails, a large view, lazy loading\n"
    "   -linkoriginals  with -hidpi, the large view links the original photo\n"
    "   -today    a phone's folder: -allpics -nav -video -exif -hidpi\n";

const char* argFind(int& argc, char** argv, const char* option) {
  for (int i = 1; i < argc; ++i) {
    if (!strStartsWith(argv[i], option)) continue;
    const char* rest = argv[i];
    while (*option) ++option, ++rest;
    for (int j = i; j < argc; ++j) argv[j] = argv[j + 1];
    --argc;
    return rest;
  }
  return nullptr;
}

namespace {

bool flag(int& argc, char** argv, const char* option) {
  return argFind(argc, argv, option) != nullptr;
}

// Largest side of a box: a JPEG side is 16 bits, and larger boxes could only
// make every resize fail after the first files were written.
constexpr int kMaxBoxSide = 65535;

enum class Scan { Ok, NoDigits, OutOfRange };

// White space as the C locale has it: option texts are bytes, read alike
// whatever the user's locale.
bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// One whole number as strtoll takes it: white space, an optional sign,
// digits; p ends after the digits. A value past long long is told apart.
Scan scanWhole(const char*& p, bool* negative, unsigned long long* magnitude) {
  while (isBlank(*p)) ++p;
  *negative = *p == '-';
  if (*p == '-' || *p == '+') ++p;
  if (*p < '0' || *p > '9') return Scan::NoDigits;
  constexpr unsigned long long kLimit = static_cast<unsigned long long>(LLONG_MAX) + 1;
  bool tooLarge = false;
  *magnitude = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    const unsigned digit = static_cast<unsigned>(*p - '0');
    if (*magnitude > (kLimit - digit) / 10)
      tooLarge = true;
    else
      *magnitude = *magnitude * 10 + digit;
  }
  return tooLarge || (!*negative && *magnitude == kLimit) ? Scan::OutOfRange : Scan::Ok;
}

// One integer as atoi and sscanf's %d take it: white space, an optional
// sign, digits; p ends after the digits. Unlike them, a value past int is
// told apart instead of being undefined.
Scan scanInt(const char*& p, int* value) {
  bool negative;
  unsigned long long magnitude;
  const Scan scan = scanWhole(p, &negative, &magnitude);
  if (scan != Scan::Ok) return scan;
  if (magnitude > static_cast<unsigned long long>(INT_MAX) + (negative ? 1 : 0)) return Scan::OutOfRange;
  *value = negative ? static_cast<int>(-static_cast<long long>(magnitude)) : static_cast<int>(magnitude);
  return Scan::Ok;
}

// An environment knob read as strtoll with nothing after the number: its
// value when it is a number from 1 up, else 0 (not set, or no such number).
long long knob(const char* name) {
  const char* p = getenv(name);
  if (!p) return 0;
  bool negative;
  unsigned long long magnitude;
  if (scanWhole(p, &negative, &magnitude) != Scan::Ok || *p || negative) return 0;
  return static_cast<long long>(magnitude);
}

[[noreturn]] void outOfRange(const char* option, const char* text) {
  error("option %s%s: number out of range", option, text);
}

// A number option read as atoi would (no digits give 0); the setting's
// default when the option is not given. A value past int ends the run.
int number(const char* option, const char* text, int absent) {
  if (!text) return absent;
  int value = 0;
  const char* p = text;
  if (scanInt(p, &value) == Scan::OutOfRange) outOfRange(option, text);
  return value;
}

// "%d,%d,%d" as sscanf reads it: true when all three are there. Values are
// taken as read; one past int ends the run.
bool shadowColour(const char* text, int* red, int* green, int* blue) {
  const char* p = text;
  int* parts[] = {red, green, blue};
  for (int i = 0; i < 3; ++i) {
    if (i > 0 && *p++ != ',') return false;
    switch (scanInt(p, parts[i])) {
      case Scan::Ok: break;
      case Scan::NoDigits: return false;
      case Scan::OutOfRange: outOfRange("-shadow:", text);
    }
  }
  return true;
}

// A box side given on the command line: every resize into a side under 1,
// or under 1 once the shadow's strip is taken off, fails, and so would one
// past kMaxBoxSide. Such a run is refused before anything is written.
void checkBoxSide(const char* option, const char* text, int value, int shadowStrip) {
  if (!text) return;
  if (value < 1 || value > kMaxBoxSide)
    error("option %s%s: must be from 1 to %d", option, text, kMaxBoxSide);
  if (value <= shadowStrip)
    error("option %s%s: leaves no room for the thumbnail beside the shadow (at least %d)", option,
          text, shadowStrip + 1);
}

// A thumbnail box past the largest picture decoded is reached only by
// enlarging, into a raster no run can hold: a picture of about its shape
// would end the run after files were begun. Refused before anything is written.
void checkThumbnailBox(int width, int height) {
  const long long pixels = static_cast<long long>(width) * height;
  if (pixels > kMaxPicturePixels)
    error("options -uw:%d -uh:%d: a thumbnail box of %lld pixels, more than the largest picture (%lld)", width,
          height, pixels, kMaxPicturePixels);
}

// The sizes (-iw: to -lw:), read as atoi would; the boxes are checked once
// the shadow is known, with the texts kept for the messages.
void readSizes(int& argc, char** argv, Settings& s) {
  const char* iw = argFind(argc, argv, "-iw:");
  const char* ih = argFind(argc, argv, "-ih:");
  const char* mw = argFind(argc, argv, "-mw:");
  const char* mh = argFind(argc, argv, "-mh:");
  const char* uw = argFind(argc, argv, "-uw:");
  const char* uh = argFind(argc, argv, "-uh:");
  const char* lw = argFind(argc, argv, "-lw:");
  const Settings defaults;
  s.iw = number("-iw:", iw, defaults.iw);
  s.ih = number("-ih:", ih, defaults.ih);
  s.mw = number("-mw:", mw, defaults.mw);
  s.mh = number("-mh:", mh, defaults.mh);
  s.uw = number("-uw:", uw, defaults.uw);
  s.uh = number("-uh:", uh, defaults.uh);
  s.lw = number("-lw:", lw, defaults.lw);  // any width: it is only written into the pages
  checkBoxSide("-mw:", mw, s.mw, 0);
  checkBoxSide("-mh:", mh, s.mh, 0);
  checkBoxSide("-uw:", uw, s.uw, s.shadow ? shadowWidth() : 0);
  checkBoxSide("-uh:", uh, s.uh, s.shadow ? shadowHeight() : 0);
  checkThumbnailBox(s.uw, s.uh);
}

// -list: is written when the run ends: under an album page's name it would
// replace that page, and with no name at all it could only fail after the
// whole walk.
void readPictureList(int& argc, char** argv, Settings& s) {
  s.list = argFind(argc, argv, "-list:");
  if (!s.list) return;
  if (!*s.list) error("option -list: names no file");
  if (pageIsAlbumPage(pathBaseName(s.list)))
    error("option -list:%s: names one of the album's own pages", s.list);
}

// -out: and -originals:, refused now when they can't be followed, before
// anything is written.
void readOutFolder(int& argc, char** argv, Settings& s) {
  s.out = argFind(argc, argv, "-out:");
  if (s.out && !*s.out) error("option -out: names no folder");
  const char* originals = argFind(argc, argv, "-originals:");
  if (!originals) return;
  if (!s.out) error("option -originals:%s: only with -out:", originals);
  if (!strcmp(originals, "copy"))
    s.originals = Originals::Copied;
  else if (!strcmp(originals, "link"))
    s.originals = Originals::HardLinked;
  else if (!strcmp(originals, "none"))
    s.originals = Originals::None;
  else
    error("option -originals:%s: must be copy, link or none", originals);
  // Music and videos are files of the library too: an album that links none
  // could only list them as dead links.
  if (s.originals == Originals::None && (s.mp3 || s.video))
    error("option -originals:none: leaves out music and videos, drop %s or choose -originals:copy",
          s.mp3 ? "-mp3" : "-video");
}

}  // namespace

int optionsPictureThreads() {
  constexpr long long kMaxThreads = 64;
  if (const long long n = knob("QUORVEL_JOBS")) return static_cast<int>(std::min(n, kMaxThreads));
  return static_cast<int>(std::clamp<long>(cpuUsable(), 1, kMaxThreads));
}

long long optionsMemoryBudget() {
  const long long mib = knob("QUORVEL_MEMORY");
  return mib >= 1 && mib <= (1LL << 40) ? mib << 20 : kDefaultMemoryBudget;
}

void optionsRead(int& argc, char** argv) {
  Settings& s = gSettings;
  // -today: what a phone's folder needs, in one word. No other option's
  // name starts it, nor does it start one, so it can be read first.
  const bool today = flag(argc, argv, "-today");
  s.css = argFind(argc, argv, "-css:");
  const char* mp3Prefix = argFind(argc, argv, "-mp3:");
  if (mp3Prefix) {
    s.mp3Prefix = mp3Prefix;
    s.mp3 = true;
  } else {
    s.mp3 = flag(argc, argv, "-mp3");
  }
  s.video = flag(argc, argv, "-video") || today;
  s.force = flag(argc, argv, "-force");
  s.mp3KoMo = flag(argc, argv, "-mp3KoMo");
  s.date = flag(argc, argv, "-date");
  if (const char* top = argFind(argc, argv, "-top:")) s.top = top;
  s.infoText = argFind(argc, argv, "-infoText:");
  if (const char* colour = argFind(argc, argv, "-shadow:")) {
    int r, g, b;
    s.shadow = s.shadowColor = shadowColour(colour, &r, &g, &b);
    if (s.shadowColor) s.shadowRed = r, s.shadowGreen = g, s.shadowBlue = b;
  } else {
    s.shadow = flag(argc, argv, "-shadow");
  }
  readSizes(argc, argv, s);
  s.notop = flag(argc, argv, "-notop");
  s.notree = flag(argc, argv, "-notree");
  s.allpics = flag(argc, argv, "-allpics") || today;
  s.nav = flag(argc, argv, "-nav") || today;
  s.exif = flag(argc, argv, "-exif") || today;

  templatesReset();
  gTemplates.frameset = kFramesetDefault;
  if (s.notop) gTemplates.frameset = kFramesetNotop;
  if (s.notree) gTemplates.frameset = kFramesetNotree;

  s.conf = argFind(argc, argv, "-conf:");
  if (s.conf) confLoad(s.conf);
  if (s.nav) templatesNavLook();

  readPictureList(argc, argv, s);

  s.filter = argFind(argc, argv, "-filter:");
  // One that can't be read would leave out every path: the run would walk
  // nothing and say nothing.
  const char* stop;
  if (s.filter && !pathExprParses(s.filter, &stop))
    error("option -filter:%s: not a filter expression (%s)", s.filter,
          *stop ? (std::string("unexpected \"") + stop + "\"").c_str() : "a group is not closed");

  readOutFolder(argc, argv, s);
  s.hidpi = flag(argc, argv, "-hidpi") || today;
  s.linkOriginals = flag(argc, argv, "-linkoriginals");
  // Without -hidpi the medium view links the original anyway.
  if (s.linkOriginals && !s.hidpi) error("option -linkoriginals: only with -hidpi");
}
