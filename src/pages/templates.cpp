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

void templatesNavLook() {}
