// The Template set: built-in page fragments, their replacement from the
// -conf: file, and the emitter that fills in width, style sheet and root.
#include "pages/templates.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "base/fatal.h"
#include "base/limits.h"
#include "base/settings.h"
#include "util/album_root.h"
#include "util/files.h"
#include "util/paths.h"
#include "util/section_reader.h"
#include "util/text_encode.h"

// ---------------------------------------------------------------------------
// Built-in texts, one source line per page line. Literal concatenation keeps
// every text a single constant that reads like the page it writes.

#define HEAD_1_TO_5                                                                 \
  "<!DOCTYPE HTML PUBLIC \"-//IETF//DTD HTML 2.0//EN\">\n"                          \
  "<html>\n"                                                                        \
  "<head>\n"                                                                        \
  "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=iso-8859-1\">\n" \
  "<title>quorvel</title>\n"
#define HEAD_6 "</head>\n"
#define BODY_LINE "<body bgcolor=\"#ffffff\" link=\"#0000ff\" vlink=\"#0000ff\" alink=\"#ff0000\">"
#define END_LINES  \
  "</body>\n"      \
  "</html>\n"
#define LEFT_SCRIPT                                                                      \
  "<script language=\"JavaScript\"><!--\n"                                               \
  "var _3=\"\";var _4=\"\";function _1(_5,_6,_7,_8){if(document.images){_2();\n"          \
  "_3=_5;_4=_7;document.images[_5].src=_6;}status=_8;return true;}function _2()\n"       \
  "{if(_3!=\"\"){status=\" \";if(document.images){document.images[_3].src=_4;\n"          \
  "_3=\"\";_4=\"\";}}return true;}//--></script>\n"

#define FRAME_COLUMNS \
  "<frameset cols=\"%d,*\" framespacing=\"0\" frameborder=\"0\" border=\"0\" bgcolor=\"#ffffff\">\n"
#define FRAME_ROWS \
  "<frameset rows=\"40%%,*\" framespacing=\"0\" frameborder=\"0\" border=\"0\" bgcolor=\"#ffffff\">\n"
#define FRAME_TOP                                                                       \
  "<frame src=\"quorvelTop.html\" framespacing=\"0\" marginwidth=\"0\" marginheight=\"0\" " \
  "scrolling=\"auto\" noresize>\n"
#define FRAME_TOP_HERE                                                                      \
  "<frame src=\"quorvelTop.html#ici\" framespacing=\"0\" marginwidth=\"0\" marginheight=\"0\" " \
  "scrolling=\"auto\" noresize>\n"
#define FRAME_LEFT                                                                       \
  "<frame src=\"quorvelLeft.html\" framespacing=\"0\" marginwidth=\"0\" marginheight=\"0\" " \
  "scrolling=\"auto\" noresize>\n"
#define FRAME_RIGHT                                                                          \
  "<frame name=\"right\" src=\"quorvelRight.html\" framespacing=\"0\" marginwidth=\"0\" "     \
  "marginheight=\"0\" scrolling=\"auto\" noresize>\n"
#define FRAME_CLOSE "</frameset>\n"

const char* const kFramesetDefault =
    HEAD_1_TO_5 HEAD_6
    FRAME_COLUMNS FRAME_ROWS FRAME_TOP FRAME_LEFT FRAME_CLOSE FRAME_RIGHT FRAME_CLOSE
    BODY_LINE "\n" END_LINES;
const char* const kFramesetNotree =
    HEAD_1_TO_5 HEAD_6
    FRAME_COLUMNS FRAME_ROWS FRAME_TOP_HERE FRAME_LEFT FRAME_CLOSE FRAME_RIGHT FRAME_CLOSE
    BODY_LINE "\n" END_LINES;
const char* const kFramesetNotop =
    HEAD_1_TO_5 HEAD_6
    FRAME_COLUMNS FRAME_LEFT FRAME_RIGHT FRAME_CLOSE
    BODY_LINE "\n" END_LINES;

namespace {

const char kRightEmpty[] = HEAD_1_TO_5 HEAD_6 BODY_LINE "\n" END_LINES;
const char kTopBegin[] = HEAD_1_TO_5 HEAD_6 BODY_LINE;  // no line feed: the tree follows
const char kEndOnly[] = END_LINES;
const char kRightBegin[] = HEAD_1_TO_5 HEAD_6 BODY_LINE "\n";
const char kLeftBegin[] = HEAD_1_TO_5 LEFT_SCRIPT HEAD_6 BODY_LINE "\n";
const char kMp3Begin[] = HEAD_1_TO_5 HEAD_6 BODY_LINE "\n" "<h2>MP3...</h2>\n" "<ul>\n";
const char kListEnd[] = "</ul>\n" END_LINES;
const char kM3uBegin[] = "#EXTM3U\n";
const char kM3uEnd[] = "";
const char kVideoBegin[] = HEAD_1_TO_5 HEAD_6 BODY_LINE "\n" "<h2>video...</h2>\n" "<ul>\n";

// -nav: the same pages, laid out for a phone as well as a desktop. Text is
// never under 14 CSS px, and the picture is fitted to its frame.
#define NAV_HEAD_START                                                              \
  "<!DOCTYPE html>\n"                                                              \
  "<html>\n"                                                                       \
  "<head>\n"                                                                       \
  "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=iso-8859-1\">\n" \
  "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"     \
  "<title>quorvel</title>\n"                                                       \
  "<style>\n"
#define NAV_HEAD_TO_STYLE                                                           \
  NAV_HEAD_START                                                                    \
  "html{-webkit-text-size-adjust:100%;text-size-adjust:100%}\n"                    \
  "body{margin:0;padding:8px;font:16px/1.4 sans-serif;background:#fff;color:#000}\n" \
  "a{color:#00f}font[size],code{font-size:14px}\n"
#define NAV_STYLE_TO_BODY \
  "</style>\n"           \
  "</head>\n"            \
  "<body>"
#define NAV_FRAMES(grid, phone, tree)                                                          \
  NAV_HEAD_START                                                                               \
  "html,body{margin:0;height:100%;overflow:hidden;background:#fff}\n"                          \
  "body{display:grid;grid-template:" grid "}\n"                                                \
  "iframe{border:0;box-sizing:border-box;width:100%;height:100%;display:block;min-height:0}\n"   \
  "#t{grid-area:t;border-bottom:1px solid #ccc}#l{grid-area:l}#r{grid-area:r}\n"              \
  "@media (min-width:601px){#l,#t{border-right:1px solid #ccc}}\n"                             \
  "@media (max-width:600px){body{grid-template:" phone "}#l{border-top:1px solid #ccc}}\n"     \
  "</style>\n"                                                                                 \
  "</head>\n"                                                                                  \
  "<body>\n"                                                                                   \
  tree                                                                                         \
  "<iframe id=\"l\" src=\"quorvelLeft.html\" title=\"thumbnails\"></iframe>\n"                \
  "<iframe id=\"r\" name=\"right\" src=\"quorvelRight.html\" title=\"picture\"></iframe>\n"   \
  "</body>\n"                                                                                  \
  "</html>\n"
#define NAV_TREE_FRAME(src) "<iframe id=\"t\" src=\"" src "\" title=\"folders\"></iframe>\n"
#define NAV_GRID "\"t r\" 40% \"l r\" 1fr/%dpx 1fr"
#define NAV_PHONE_GRID "\"t\" 88px \"r\" 1fr \"l\" 116px/100%"
#define NAV_LIST_STYLE                                             \
  "h2{font-size:20px}ul{padding-left:1.2em}li{padding:.3em 0}\n" \
  "table{max-width:100%}video{max-width:100%;height:auto}code{overflow-wrap:anywhere}\n"

const char kNavFramesetDefault[] = NAV_FRAMES(NAV_GRID, NAV_PHONE_GRID, NAV_TREE_FRAME("quorvelTop.html"));
const char kNavFramesetNotree[] = NAV_FRAMES(NAV_GRID, NAV_PHONE_GRID, NAV_TREE_FRAME("quorvelTop.html#ici"));
const char kNavFramesetNotop[] = NAV_FRAMES("\"l r\" 1fr/%dpx 1fr", "\"r\" 1fr \"l\" 116px/100%", "");
const char kNavTopBegin[] = NAV_HEAD_TO_STYLE
    "pre{margin:0;font:15px/1.5 monospace;white-space:pre-wrap;overflow-wrap:anywhere}\n"
    NAV_STYLE_TO_BODY;  // no line feed: the tree follows
const char kNavRightEmpty[] = NAV_HEAD_TO_STYLE NAV_STYLE_TO_BODY "\n" END_LINES;
// The picture page is a column: caption and bar take what they need, the
// picture the rest of the frame's height.
const char kNavRightBegin[] = NAV_HEAD_TO_STYLE
    "html,body{height:100%}\n"
    "body{box-sizing:border-box;display:flex;flex-direction:column;align-items:center;gap:6px;text-align:center}\n"
    "body>a:has(img){flex:1 1 0;min-height:0;width:100%;display:flex;align-items:center;justify-content:center}\n"
    "body>a>img,body>img{max-width:100%;max-height:100%;width:auto;height:auto;min-height:0;object-fit:contain}\n"
    ".quorvel-nav{font-size:18px}.quorvel-nav a{display:inline-block;min-width:44px;line-height:44px;text-decoration:none}\n"
    NAV_STYLE_TO_BODY "\n";
// A frame too low for a column (the phone's strip) lines the thumbnails up.
const char kNavLeftBegin[] = NAV_HEAD_TO_STYLE
    "body{padding:4px}img{max-width:100%;height:auto}\n"
    "@media (max-height:180px){body{white-space:nowrap;overflow-x:auto;overflow-y:hidden}"
    "body>b,body>font,center>font,br{display:none}center{display:flex;gap:6px;align-items:center}"
    "img{max-height:96px;max-width:none}}\n"
    "</style>\n" LEFT_SCRIPT "</head>\n<body>\n";
const char kNavMp3Begin[] = NAV_HEAD_TO_STYLE NAV_LIST_STYLE NAV_STYLE_TO_BODY "\n" "<h2>MP3...</h2>\n" "<ul>\n";
const char kNavVideoBegin[] = NAV_HEAD_TO_STYLE NAV_LIST_STYLE NAV_STYLE_TO_BODY "\n" "<h2>video...</h2>\n" "<ul>\n";

#undef NAV_HEAD_START
#undef NAV_HEAD_TO_STYLE
#undef NAV_STYLE_TO_BODY
#undef NAV_FRAMES
#undef NAV_TREE_FRAME
#undef NAV_GRID
#undef NAV_PHONE_GRID
#undef NAV_LIST_STYLE
#undef HEAD_1_TO_5
#undef HEAD_6
#undef BODY_LINE
#undef END_LINES
#undef LEFT_SCRIPT
#undef FRAME_COLUMNS
#undef FRAME_ROWS
#undef FRAME_TOP
#undef FRAME_TOP_HERE
#undef FRAME_LEFT
#undef FRAME_RIGHT
#undef FRAME_CLOSE

// ---------------------------------------------------------------------------

constexpr int kSectionCount = kTemplateSectionCount;


// Private copies of the sections taken from the configuration file; a slot
// that points at one stays valid until the next templatesReset or confLoad
// of the same section.
std::string gConfCopies[kSectionCount];

// text with its first "%d" replaced by the -lw: width.
std::string withWidth(const std::string& text) {
  size_t at = text.find("%d");
  if (at == std::string::npos) return text;
  return text.substr(0, at) + std::to_string(gSettings.lw) + text.substr(at + 2);
}

void writeWithRoot(FILE* out, const std::string& text, int depth) {
  static const char kMarker[] = "$rootdir$";
  const size_t markerLength = sizeof kMarker - 1;
  size_t from = 0;
  for (size_t at; (at = text.find(kMarker, from)) != std::string::npos; from = at + markerLength) {
    fwrite(text.data() + from, 1, at - from, out);
    for (int i = 0; i < depth; ++i) fputs("../", out);
  }
  fwrite(text.data() + from, 1, text.size() - from, out);
}

const TemplateSet kBuiltIn = {
    kFramesetDefault, kTopBegin,  kEndOnly,  kRightEmpty, kRightBegin, kEndOnly,    kLeftBegin,
    kEndOnly,         kMp3Begin,  kListEnd,  kM3uBegin,   kM3uEnd,     kVideoBegin, kListEnd,
};

}  // namespace

const TemplateSection kTemplateSections[kTemplateSectionCount] = {
    {"frameset", &TemplateSet::frameset},     {"topBegin", &TemplateSet::topBegin},
    {"topEnd", &TemplateSet::topEnd},         {"rightEmpty", &TemplateSet::rightEmpty},
    {"rightBegin", &TemplateSet::rightBegin}, {"rightEnd", &TemplateSet::rightEnd},
    {"leftBegin", &TemplateSet::leftBegin},   {"leftEnd", &TemplateSet::leftEnd},
    {"mp3Begin", &TemplateSet::mp3Begin},     {"mp3End", &TemplateSet::mp3End},
    {"m3uBegin", &TemplateSet::m3uBegin},     {"m3uEnd", &TemplateSet::m3uEnd},
    {"videoBegin", &TemplateSet::videoBegin}, {"videoEnd", &TemplateSet::videoEnd},
};

TemplateSet gTemplates = kBuiltIn;

void templatesReset() {
  gTemplates = kBuiltIn;
  for (std::string& copy : gConfCopies) copy.clear();
}

void confLoad(const char* fileName) {
  char* whole = fileLoad(alloc, fileName);
  if (!whole) error("can't load conf file \"%s\"", fileName);
  char section[kSectionBufferSize];
  for (int i = 0; i < kSectionCount; ++i) {
    UxmlCursor cursor;
    uxmlInit(&cursor, whole, kTemplateSections[i].name);
    if (!uxmlNext(&cursor, section, kSectionBufferSize, false)) continue;
    // The buffer cuts at 1499, so anything past 1496 may already be cut.
    if (strlen(section) > kSectionMaxLength) {
      error("in conf, section <%s> too large", kTemplateSections[i].name);
    }
    gConfCopies[i] = section;
    gTemplates.*kTemplateSections[i].slot = gConfCopies[i].c_str();
  }
  free(whole);
}

void templateWrite(FILE* out, const char* relPath, const char* text) {
  const std::string original = text;
  std::string work = withWidth(original);
  if (gSettings.css) {
    const char* tag = "</head>";
    size_t at = work.find(tag);
    if (at == std::string::npos) {
      tag = "</HEAD>";
      at = work.find(tag);
    }
    if (at != std::string::npos) {
      // The tail comes from the template itself, so a "%d" after the tag is
      // replaced even when one before it already was.
      std::string tail = withWidth(original.substr(original.find(tag)));
      work.resize(at);
      work += "<link rel=\"stylesheet\" type=\"text/css\" href=\"$rootdir$";
      // Under -out: the sheet stays in the library unless copied with the originals.
      if (fileAlbumIsOut() && gSettings.originals == Originals::Linked) work += linkForm(fileLibraryFromOut().c_str()) + "/";
      work += gSettings.css;
      work += "\">\n";
      work += tail;
    }
  }
  writeWithRoot(out, work, pathDepth(relPath));
}

void templatesNavLook() {
  struct NavForm {
    const char* TemplateSet::*slot;
    const char* builtIn;
    const char* nav;
  };
  static const NavForm kForms[] = {
      {&TemplateSet::frameset, kFramesetDefault, kNavFramesetDefault},
      {&TemplateSet::frameset, kFramesetNotree, kNavFramesetNotree},
      {&TemplateSet::frameset, kFramesetNotop, kNavFramesetNotop},
      {&TemplateSet::topBegin, kTopBegin, kNavTopBegin},
      {&TemplateSet::rightEmpty, kRightEmpty, kNavRightEmpty},
      {&TemplateSet::rightBegin, kRightBegin, kNavRightBegin},
      {&TemplateSet::leftBegin, kLeftBegin, kNavLeftBegin},
      {&TemplateSet::mp3Begin, kMp3Begin, kNavMp3Begin},
      {&TemplateSet::videoBegin, kVideoBegin, kNavVideoBegin},
  };
  // By pointer: a -conf: section holding the same text is the user's own.
  for (const NavForm& form : kForms) {
    if (gTemplates.*form.slot == form.builtIn) gTemplates.*form.slot = form.nav;
  }
}

namespace {

// Whether page starts with text's head, to its "</head>" (where -css and
// -nav add their lines): "%d" stands for the width written there, and with
// anyTitle the title for the album's name -nav puts in it.
bool startsWithHead(const std::string& page, const std::string& text, bool anyTitle) {
  const size_t headEnd = text.find("</head>");
  size_t at = 0;
  for (size_t i = 0; i < headEnd;) {
    if (anyTitle && text.compare(i, 7, "<title>") == 0) {
      if (page.compare(at, 7, "<title>") != 0) return false;
      at = page.find("</title>", at + 7);
      i = text.find("</title>", i + 7);
      if (at == std::string::npos || i == std::string::npos) return false;
    } else if (text.compare(i, 2, "%d") == 0) {
      const size_t digits = at < page.size() ? strspn(page.c_str() + at, "0123456789") : 0;
      if (digits == 0) return false;
      at += digits;
      i += 2;
    } else {
      if (at >= page.size() || page[at] != text[i]) return false;
      ++at;
      ++i;
    }
  }
  return true;
}

}  // namespace

bool templatesBuiltInHead(const std::string& page) {
  for (const char* text : {kFramesetDefault, kFramesetNotree, kFramesetNotop, kRightBegin, kLeftBegin, kMp3Begin,
                           kVideoBegin})
    if (startsWithHead(page, text, false)) return true;
  for (const char* text : {kNavFramesetDefault, kNavFramesetNotree, kNavFramesetNotop, kNavTopBegin, kNavRightBegin,
                           kNavRightEmpty, kNavLeftBegin, kNavMp3Begin, kNavVideoBegin})
    if (startsWithHead(page, text, true)) return true;
  return false;
}
