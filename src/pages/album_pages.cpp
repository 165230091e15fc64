// Frameset, Left and Right pages of one directory's album.
#include "pages/album_pages.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "base/fatal.h"
#include "base/limits.h"
#include "base/settings.h"
#include "pages/page_files.h"
#include "pages/picture_nav.h"
#include "pages/templates.h"
#include "util/album_root.h"
#include "util/caption_file.h"
#include "util/html_text.h"
#include "util/paths.h"
#include "util/text_encode.h"

namespace {

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

// The <img> tag of a derived picture, with its size when it was read.
void writeImgTag(FILE* out, const char* attributes, const std::string& src,
                 const PictureSize& size) {
  if (size.known) {
    fprintf(out, "<img %ssrc=\"%s\" width=\"%d\" height=\"%d\"", attributes, src.c_str(),
            size.width, size.height);
  } else {
    fprintf(out, "<img %ssrc=\"%s\"", attributes, src.c_str());
  }
}

// The picture's own Right page: caption, facts line, info text, then the
// medium linked to the source picture, or the picture itself. Made in memory
// first: a warm run finds most pages as they were and leaves them so. With
// -nav it is held in pages until its neighbours are known.
void writePicturePage(DirectoryPages& pages, const PictureEntry& entry, const std::string& picName) {
  std::string head = pageText([&](FILE* out) { templateWrite(out, entry.relPath, gTemplates.rightBegin); });
  const std::string label = gSettings.nav ? navLabel(entry.captionTitle, pathBaseName(entry.path)) : "";
  const std::string alt = gSettings.nav ? " alt=\"" + label + "\"" : "";
  std::string rest = pageText([&](FILE* out) {
    if (entry.captioned && gSettings.nav && !entry.captionTitle.empty()) {
      // Its title on a line of its own, above the rest of the text.
      fputs("<b>", out);
      htmlWriteText(out, entry.captionTitle.c_str());
      fputs("</b><br>\n", out);
      if (!entry.captionBody.empty()) {
        htmlWriteText(out, entry.captionBody.c_str());
        fputs("<br>\n", out);
      }
    } else if (entry.captioned) {
      htmlWriteText(out, entry.captionText.c_str());
      fputs("<br>\n", out);
    }
    if (!entry.factsLine.empty()) {
      fputs("<font size=\"-1\">", out);
      htmlWriteText(out, entry.factsLine.c_str());
      fputs("</font><br>\n", out);
    }
    if (gSettings.infoText) {
      htmlWriteText(out, gSettings.infoText);
      fputs("<br>\n", out);
    }
    if (!entry.mediumPath.empty() && picName.empty()) {
      // -originals:none: the medium view is the largest there is.
      writeImgTag(out, "", linkForm(pathBaseName(entry.mediumPath.c_str())), entry.mediumSize);
      fprintf(out, "%s border=\"0\" vspace=\"1\">\n", alt.c_str());
    } else if (!entry.mediumPath.empty()) {
      // -nav: the original opens in the whole window, which browsers fit it
      // to, not at full size inside the frame; Back returns.
      // An original that browsers can't show (HEIF) is offered as a file.
      const char* link = entry.originalDownload ? "<a href=\"%s\" download>"
                         : gSettings.nav        ? "<a href=\"%s\" target=\"_top\">"
                                                : "<a href=\"%s\">";
      fprintf(out, link, picName.c_str());
      writeImgTag(out, "", linkForm(pathBaseName(entry.mediumPath.c_str())), entry.mediumSize);
      fprintf(out, "%s border=\"0\" vspace=\"1\"></a>\n", alt.c_str());
    } else {
      fprintf(out, "<img src=\"%s\"%s>", picName.c_str(), alt.c_str());
    }
    fputs(gTemplates.rightEnd, out);
  });
  if (gSettings.nav) {
    pages.held.push_back({entry.pagePath, linkForm(pathBaseName(entry.pagePath.c_str())),
                          navRetitled(head, label), std::move(rest)});
    return;
  }
  pageWriteUnlessSame(entry.pagePath, head + rest);
}

// -nav: each held picture page with its bar, now that the directory's
// pictures are all known.
void writeHeldPages(DirectoryPages& pages) {
  const int count = static_cast<int>(pages.held.size());
  for (int i = 0; i < count; ++i) {
    const HeldPicturePage& page = pages.held[static_cast<size_t>(i)];
    const std::string prev = i > 0 ? pages.held[static_cast<size_t>(i - 1)].link : "";
    const std::string next = i + 1 < count ? pages.held[static_cast<size_t>(i + 1)].link : "";
    pageWriteUnlessSame(page.path,
                        page.before + navBar(prev, next, page.link, i + 1, count) + kNavPictureScript + page.after);
  }
  pages.held.clear();
}

// The picture's Left entry: the micro picture, swapped for the rollover under
// the pointer, linked to target; the caption's title below it.
void writeLeftEntry(FILE* out, const PictureEntry& entry, const std::string& target) {
  const std::string microName = linkForm(pathBaseName(entry.microPath.c_str()));
  fprintf(out,
          "<a href=\"%s\" target=\"right\" onMouseOver=\"return _1('i%d','%s','%s','zoom...');\" "
          "onMouseOut=\"return _2();\">",
          target.c_str(), entry.index, linkForm(pathBaseName(entry.rolloverPath.c_str())).c_str(),
          microName.c_str());
  const std::string name = "name=\"i" + std::to_string(entry.index) + "\" ";
  writeImgTag(out, name.c_str(), microName, entry.microSize);
  if (gSettings.nav) fprintf(out, " alt=\"%s\"", navLabel(entry.captionTitle, pathBaseName(entry.path)).c_str());
  fputs(" border=\"0\" vspace=\"1\"></a><br>\n", out);
  if (entry.captioned) {
    fputs("<font size=\"-1\">", out);
    htmlWriteText(out, entry.captionTitle.c_str());
    fputs("</font><br>&nbsp;<br>\n", out);
  }
}

}  // namespace

void htmlWriteTitleBlock(FILE* out, const char* dirPath) {
  char text[kCaptionTextSize];
  char title[kCaptionTitleSize];
  const std::string path = pageSiblingName(dirPath, "title.txt");
  if (!captionRead(text, kCaptionTextSize, title, kCaptionTitleSize, path.c_str())) return;
  if (title[0]) {
    fputs("<b>", out);
    htmlWriteText(out, title);
    fputs("</b><br>\n", out);
  }
  // -nav: the title shows once, the text below it without it.
  const std::string body = gSettings.nav && title[0] ? captionBody(path.c_str(), kCaptionTextSize) : text;
  if (!body.empty()) {
    fputs("<font size=\"-1\">", out);
    htmlWriteText(out, body.c_str());
    fputs("</font><br>\n", out);
  }
  fputs("&nbsp;<br>\n", out);
}

void htmlWriteFrameset(const char* path, const char* relPath) {
  std::string page = pageText([&](FILE* out) {
    const char* frameset = gTemplates.frameset;
    if (frameset == kFramesetDefault) {
      fprintf(out, kFramesetDefault, gSettings.lw);
    } else if (frameset == kFramesetNotree || frameset == kFramesetNotop) {
      templateWrite(out, pathSlashes(relPath), collapsePercents(frameset).c_str());
    } else {
      templateWrite(out, pathSlashes(relPath), frameset);
    }
  });
  if (gSettings.nav) page = navFrameset(navRetitled(page, navAlbumLabel(path)));
  pageWrite(pageSiblingName(path, kFramesetPage), page);
}

void htmlWriteRightEmpty(int& rightWritten, const char* relPath, const char* path) {
  if (rightWritten) return;
  rightWritten = 1;
  TempFile page = pageCreateBeside(path, kRightPage);
  templateWrite(page.get(), relPath, navTitled(gTemplates.rightEmpty, path).c_str());
  pageFinish(page);
}

void htmlOpenLeft(DirectoryPages& pages, const char* path, const char* relPath) {
  if (pages.left) return;
  htmlWriteFrameset(path, relPath);
  htmlWriteRightEmpty(pages.rightWritten, relPath, path);
  pages.left = pageCreateBeside(path, kLeftPage);
  FILE* left = pages.left.get();
  templateWrite(left, relPath, navTitled(gTemplates.leftBegin, path).c_str());
  if (gSettings.nav) fputs(kNavLeftScript, left);
  htmlWriteTitleBlock(left, path);
  fputs("<center>\n", left);
}

void htmlAddPicture(DirectoryPages& pages, const PictureEntry& entry) {
  htmlOpenLeft(pages, entry.path, entry.relPath);
  strListAdd(&pages.preload, pathBaseName(entry.rolloverPath.c_str()));
  // Under -out: the original is reached in the library, or in the out
  // folder beside its copy, or (-originals:none) not at all.
  const std::string picName =
      gSettings.originals == Originals::None ? "" : linkForm(fileLibraryLink(entry.relPath).c_str());
  std::string target = picName;
  if (!entry.pagePath.empty()) {
    target = linkForm(pathBaseName(entry.pagePath.c_str()));
    writePicturePage(pages, entry, picName);
  }
  writeLeftEntry(pages.left.get(), entry, target);
}

bool htmlFinishLeft(DirectoryPages& pages) {
  if (!pages.left) return false;
  writeHeldPages(pages);
  FILE* left = pages.left.get();
  StrList* preload = &pages.preload;
  fputs("</center>\n", left);
  if (strListData(preload)) {
    strListPack(preload);
    fputs("<script language=\"JavaScript\"><!--\n", left);
    for (const char* name : strListEach(strListNames(preload)))
      fprintf(left, "(new Image()).src=\"%s\";", linkForm(name).c_str());
    fputs("//--></script>\n", left);
  }
  fputs(gTemplates.leftEnd, left);
  pageFinish(pages.left);
  return true;
}
