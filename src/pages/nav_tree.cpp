// Navigation pages: the tree from the album root down to one directory, and
// the one-level pages written under -notree.
#include "pages/nav_tree.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/fatal.h"
#include "base/settings.h"
#include "pages/album_pages.h"
#include "pages/page_files.h"
#include "pages/picture_nav.h"
#include "pages/templates.h"
#include "util/album_root.h"
#include "util/paths.h"
#include "util/text_encode.h"

namespace {

// The style classes exist only when a style sheet is there to define them.
const char* linkClass() { return gSettings.css ? " class=\"lnk_other\"" : ""; }
const char* hereOpening() { return gSettings.css ? "<span class=\"lnk_here\">" : ""; }
const char* hereClosing() { return gSettings.css ? "</span>" : ""; }

std::string label(const char* name) { return textForm(dateLabel(name, gSettings.date)); }

// Root-relative part of a path; empty when the path is the root itself.
const char* relativePart(const char* path, int rootOffset) {
  return strlen(path) > static_cast<size_t>(rootOffset) ? path + rootOffset : "";
}

}  // namespace

void htmlWriteTop(const char* dirPath, NameList subAlbums, const char* pageName, int rootOffset,
                  bool titleBlock) {
  if (gSettings.notree) return;
  const char* relative = relativePart(dirPath, rootOffset);

  // "/sub/deeper/" splits into "", "sub", "deeper", ""; the empty first piece
  // stands for the root, trailing empty pieces are no directories.
  std::string joined = std::string("/") + relative;
  char** pieces = strSplit(alloc, joined.data(), '/');
  if (!pieces) error("mem");
  int n = strSplitCount(pieces);
  while (n > 1 && !pieces[n - 1][0]) --n;

  TempFile page = pageCreateBeside(dirPath, pageName);
  FILE* out = page.get();
  const char* slashed = pathSlashes(relative);
  templateWrite(out, slashed, navTitled(gTemplates.topBegin, dirPath).c_str());
  fprintf(out, "<!--%s--><pre>", textForm(slashed).c_str());

  for (int i = 0; i < n; ++i) {
    const std::string text = label(i == 0 ? "racine" : pieces[i]);
    if (i < n - 1) {
      fprintf(out, "%*s<a href=\"", i, "");
      for (int up = 0; up < n - 1 - i; ++up) fputs("../", out);
      fprintf(out, "%s\" target=\"%s\"%s>%s</a>\n", kFramesetPage, gSettings.top, linkClass(), text.c_str());
    } else {
      fprintf(out, "%*s<font color=\"#ff0000\">%s%s%s</font>\n", i, "", hereOpening(),
              text.c_str(), hereClosing());
    }
  }
  free(pieces);

  for (const char* name : strListEach(subAlbums)) {
    if (pathIsDotName(name)) continue;
    fprintf(out, "%*s<a href=\"%s/%s\" target=\"%s\"%s>%s</a>\n", n, "", linkForm(name).c_str(), kFramesetPage,
            gSettings.top, linkClass(), label(name).c_str());
  }
  fputs("</pre>\n", out);
  if (titleBlock) htmlWriteTitleBlock(out, dirPath);
  if (gSettings.nav) fputs(kNavTreeScript, out);
  fputs(gTemplates.topEnd, out);
  pageFinish(page);
}

void htmlWriteTopLevel(char* pagePath, int dirLen, NameList subAlbums, int rootOffset,
                       const char* current, bool titleBlock) {
  TempFile page;
  if (page.create(fileOutPath(pagePath)) != 0) return;
  FILE* out = page.get();
  pagePath[dirLen] = '\0';
  templateWrite(out, pathSlashes(relativePart(pagePath, rootOffset)), gTemplates.topBegin);
  fputs("<pre>", out);

  const char* prefix = current ? "../" : "";
  for (const char* name : strListEach(subAlbums)) {
    const bool here = current && !strcmp(name, current);
    const std::string text = label(name);
    if (here && gSettings.css) {
      fprintf(out, " <a name=\"ici\"><font color=\"#ff0000\">%s%s%s</font></a>\n", hereOpening(),
              text.c_str(), hereClosing());
      continue;
    }
    const bool mark = here && !gSettings.css;
    fprintf(out, " <a href=\"%s%s/%s\" target=\"%s\"%s%s>%s%s%s</a>\n", prefix,
            linkForm(name).c_str(), kFramesetPage, gSettings.top, mark ? " name=\"ici\"" : "", linkClass(),
            mark ? "<font color=\"#ff0000\">" : "", text.c_str(), mark ? "</font>" : "");
  }
  fputs("</pre>\n", out);
  if (titleBlock) htmlWriteTitleBlock(out, pagePath);
  fputs(gTemplates.topEnd, out);
  pageFinish(page);
}
