// Option reading. Options match by prefix and each search consumes only its
// first match, so the fixed order below decides between overlapping names
// ("-mp3:" before "-mp3", "-mp3" before "-mp3KoMo").
#include "run/options.h"

#include <cstdio>
#include <cstdlib>

#include "base/settings.h"
#include "pages/templates.h"
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
    "   -css:file.css   (lnk_other, lnk_here)\n";

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

// atoi reading: no digits give 0, no range check.
int number(int& argc, char** argv, const char* option, int absent) {
  const char* text = argFind(argc, argv, option);
  return text ? atoi(text) : absent;
}

}  // namespace

void optionsRead(int& argc, char** argv) {
  Settings& s = gSettings;
  s.css = argFind(argc, argv, "-css:");
  const char* mp3Prefix = argFind(argc, argv, "-mp3:");
  if (mp3Prefix) {
    s.mp3Prefix = mp3Prefix;
    s.mp3 = true;
  } else {
    s.mp3 = flag(argc, argv, "-mp3");
  }
  s.video = flag(argc, argv, "-video");
  s.force = flag(argc, argv, "-force");
  s.mp3KoMo = flag(argc, argv, "-mp3KoMo");
  s.date = flag(argc, argv, "-date");
  if (const char* top = argFind(argc, argv, "-top:")) s.top = top;
  s.infoText = argFind(argc, argv, "-infoText:");
  if (const char* colour = argFind(argc, argv, "-shadow:")) {
    int r, g, b;
    s.shadow = s.shadowColor = sscanf(colour, "%d,%d,%d", &r, &g, &b) == 3;
    if (s.shadowColor) s.shadowRed = r, s.shadowGreen = g, s.shadowBlue = b;
  } else {
    s.shadow = flag(argc, argv, "-shadow");
  }
  s.iw = number(argc, argv, "-iw:", 200);
  s.ih = number(argc, argv, "-ih:", 200);
  s.mw = number(argc, argv, "-mw:", 640);
  s.mh = number(argc, argv, "-mh:", 480);
  s.uw = number(argc, argv, "-uw:", 96);
  s.uh = number(argc, argv, "-uh:", 96);
  s.lw = number(argc, argv, "-lw:", 128);
  s.notop = flag(argc, argv, "-notop");
  s.notree = flag(argc, argv, "-notree");

  templatesReset();
  gTemplates.frameset = kFramesetDefault;
  if (s.notop) gTemplates.frameset = kFramesetNotop;
  if (s.notree) gTemplates.frameset = kFramesetNotree;

  s.conf = argFind(argc, argv, "-conf:");
  if (s.conf) confLoad(s.conf);

  s.list = argFind(argc, argv, "-list:");

  s.filter = argFind(argc, argv, "-filter:");
}
