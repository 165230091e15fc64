// Frameset, Left and Right pages of one directory's album, and captions.
#include "pages/album_pages.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "img/derived_names.h"
#include "img/jpeg_codec.h"
#include "pages/templates.h"
#include "run/fatal.h"
#include "run/settings.h"
#include "util/html_text.h"
#include "util/paths.h"
#include "util/section_reader.h"
#include "util/text_encode.h"
#include "util/utf8.h"

namespace {

constexpr int kTextSize = 1500;
constexpr int kTitleSize = 150;
constexpr int kNameSize = 400;

// Creates the page at pagePath or ends the run: an album with a missing page
// would be broken.
FileHandle createPage(const std::string& pagePath) {
  FileHandle page = fileOpen(pagePath.c_str(), "wt");
  if (!page) error("can't create \"%s\"", pagePath.c_str());
  return page;
}

// The built-in frameset splits its rows "40%%,*" for printf; written through
// the emitter, the -notree and -notop ones need the same single per-cent.
std::string collapsePercents(const char* text) {
  std::string out;
  for (const char* p = text; *p; ++p) {
    out += *p;
    if (p[0] == '%' && p[1] == '%') ++p;
  }
  return out;
}

// A captioned picture named like one of the album's own pages (a
// "quorvelLeft.jpg") would write its page over that page, the Left page even
// while it is open; such a picture keeps no page of its own.
bool isAlbumPageName(const char* name) {
  for (const char* page : {"quorvelFrameset.html", "quorvelTop.html", "quorvelLeft.html",
                           "quorvelRight.html", "quorvelVideo.html"})
    if (!strcmp(name, page)) return true;
  return false;
}

// A UTF-8 character that a full buffer cut in two would make the whole text
// read as ISO-8859-1.
void dropCutCharacter(char* text, int size) {
  if (size > 0 && strlen(text) == static_cast<size_t>(size - 1)) utf8DropCutSequence(text);
}

}  // namespace

bool captionRead(char* text, int textSize, char* title, int titleSize, const char* path) {
  char* whole = fileLoad(alloc, path);
  if (!whole) return false;
  UxmlCursor cursor;
  uxmlJoin(&cursor, text, textSize, whole, "", " - ", true);
  uxmlJoin(&cursor, title, titleSize, whole, "t", " - ", true);
  free(whole);
  dropCutCharacter(text, textSize);
  dropCutCharacter(title, titleSize);
  return true;
}

void htmlWriteTitleBlock(FILE* out, const char* dirPath) {
  char text[kTextSize];
  char title[kTitleSize];
  if (!captionRead(text, kTextSize, title, kTitleSize, pathSiblingName(dirPath, "title.txt"))) {
    return;
  }
  if (title[0]) {
    fputs("<b>", out);
    htmlWriteText(out, title);
    fputs("</b><br>\n", out);
  }
  if (text[0]) {
    fputs("<font size=\"-1\">", out);
    htmlWriteText(out, text);
    fputs("</font><br>\n", out);
  }
  fputs("&nbsp;<br>\n", out);
}

void htmlWriteFrameset(const char* path, const char* relPath) {
  FileHandle page = createPage(pathSiblingName(path, "quorvelFrameset.html"));
  const char* frameset = gTemplates.frameset;
  if (frameset == kFramesetDefault) {
    fprintf(page.get(), kFramesetDefault, gSettings.lw);
  } else if (frameset == kFramesetNotree || frameset == kFramesetNotop) {
    templateWrite(page.get(), pathSlashes(relPath), collapsePercents(frameset).c_str());
  } else {
    templateWrite(page.get(), pathSlashes(relPath), frameset);
  }
}

void htmlWriteRightEmpty(int& rightWritten, const char* relPath, const char* path) {
  if (rightWritten) return;
  rightWritten = 1;
  FileHandle page = createPage(pathSiblingName(path, "quorvelRight.html"));
  templateWrite(page.get(), relPath, gTemplates.rightEmpty);
}

void htmlOpenLeft(FileHandle& left, const char* path, int& rightWritten, const char* relPath) {
  if (left) return;
  htmlWriteFrameset(path, relPath);
  htmlWriteRightEmpty(rightWritten, relPath, path);
  left = createPage(pathSiblingName(path, "quorvelLeft.html"));
  templateWrite(left.get(), relPath, gTemplates.leftBegin);
  htmlWriteTitleBlock(left.get(), path);
  fputs("<center>\n", left.get());
}

void htmlAddPicture(FileHandle& left, const char* picPath, const char* microPath, int index,
                    const char* rolloverPath, StrList* preload, bool medium, const char* mediumPath,
                    int& rightWritten, const char* relPath) {
  htmlOpenLeft(left, picPath, rightWritten, relPath);
  strListAdd(preload, pathBaseName(rolloverPath));

  char captionPath[kNameSize];
  char text[kTextSize];
  char title[kTitleSize];
  // An overlong caption path joins to "", which loads nothing: no caption.
  const bool captioned = captionRead(text, kTextSize, title, kTitleSize,
                                     strConcatBounded(captionPath, pathWithoutExt(picPath), ".txt"));
  const std::string picName = linkForm(pathBaseName(picPath));

  std::string target = picName;
  std::string pagePath;
  if (medium || captioned) pagePath = pathHtmlName(medium ? mediumPath : picPath);
  if (!pagePath.empty() && !isAlbumPageName(pathBaseName(pagePath.c_str()))) {
    target = linkForm(pathBaseName(pagePath.c_str()));
    FileHandle page = createPage(pagePath);
    FILE* out = page.get();
    templateWrite(out, relPath, gTemplates.rightBegin);
    if (captioned) {
      htmlWriteText(out, text);
      fputs("<br>\n", out);
    }
    if (gSettings.infoText) {
      htmlWriteText(out, gSettings.infoText);
      fputs("<br>\n", out);
    }
    if (medium) {
      const std::string mediumName = linkForm(pathBaseName(mediumPath));
      int width, height, size;
      fprintf(out, "<a href=\"%s\">", picName.c_str());
      if (imgJpegGetSize(mediumPath, &width, &height, &size) == 0) {
        fprintf(out, "<img src=\"%s\" width=\"%d\" height=\"%d\"", mediumName.c_str(), width,
                height);
      } else {
        fprintf(out, "<img src=\"%s\"", mediumName.c_str());
      }
      fputs(" border=\"0\" vspace=\"1\"></a>\n", out);
    } else {
      fprintf(out, "<img src=\"%s\">", picName.c_str());
    }
    fputs(gTemplates.rightEnd, out);
  }

  FILE* out = left.get();
  const std::string microName = linkForm(pathBaseName(microPath));
  fprintf(out,
          "<a href=\"%s\" target=\"right\" onMouseOver=\"return _1('i%d','%s','%s','zoom...');\" "
          "onMouseOut=\"return _2();\">",
          target.c_str(), index, linkForm(pathBaseName(rolloverPath)).c_str(), microName.c_str());
  int width, height, size;
  if (imgJpegGetSize(microPath, &width, &height, &size) == 0) {
    fprintf(out, "<img name=\"i%d\" src=\"%s\" width=\"%d\" height=\"%d\"", index,
            microName.c_str(), width, height);
  } else {
    fprintf(out, "<img name=\"i%d\" src=\"%s\"", index, microName.c_str());
  }
  fputs(" border=\"0\" vspace=\"1\"></a><br>\n", out);
  if (captioned) {
    fputs("<font size=\"-1\">", out);
    htmlWriteText(out, title);
    fputs("</font><br>&nbsp;<br>\n", out);
  }
}

const char* pathSlashes(const char* path) {
  static char buffer[kNameSize];
  size_t length = strlen(path);
  if (length >= sizeof buffer) return path;
  for (size_t i = 0; i <= length; ++i) buffer[i] = path[i] == '\\' ? '/' : path[i];
  return buffer;
}
