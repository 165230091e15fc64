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

// -hidpi: the thumbnails a first screen shows load at once, the rest when
// scrolled to. Twelve fill the tallest first screen: a 768-px window whose
// 128-px Left column runs its whole height (-notop) holds eleven rows of the
// 96-px box's 3:2 landscape thumbnails (64 px, vspace and line gap: ~70 px);
// the built-in Left frame (60% of it) shows six or seven, a 390-px phone's
// thumbnail strip (the themes) three to five.
constexpr int kEagerThumbnails = 12;

// The <img> tag of a derived picture, with its size when it was read;
// srcset (-hidpi's srcset and sizes attributes) follows the src.
void writeImgTag(FILE* out, const char* attributes, const std::string& src,
                 const PictureSize& size, const std::string& srcset = "") {
  fprintf(out, "<img %ssrc=\"%s\"%s", attributes, src.c_str(), srcset.c_str());
  if (size.known) fprintf(out, " width=\"%d\" height=\"%d\"", size.width, size.height);
}

// A derived file's name as an href or src value.
std::string nameLink(const std::string& path) { return linkForm(pathBaseName(path.c_str())); }

// A derived file's name as a srcset candidate: a space there would end the
// URL and a comma at its end be dropped, so both are escaped too.
std::string srcsetName(const std::string& path) {
  std::string out;
  for (char c : nameLink(path)) {
    if (c == ' ') {
      out += "%20";
    } else if (c == ',') {
      out += "%2c";
    } else {
      out += c;
    }
  }
  return out;
}

// -hidpi: the thumbnail's srcset over the densities made; "" when only the
// 1x stands.
std::string thumbnailSrcset(const PictureEntry& entry) {
  std::string dense;
  if (!entry.micro2Path.empty()) dense += ", " + srcsetName(entry.micro2Path) + " 2x";
  if (!entry.micro3Path.empty()) dense += ", " + srcsetName(entry.micro3Path) + " 3x";
  if (dense.empty()) return "";
  return " srcset=\"" + srcsetName(entry.microPath) + " 1x" + dense + "\"";
}

// -hidpi: the medium view's srcset with the large view beside it. sizes is
// the medium's own width: the built-in page draws it at its width attribute,
// the themes at most that, so a 1x screen keeps the medium and any denser one
// takes the large view. "" without a large view or a size read.
std::string mediumSrcset(const PictureEntry& entry) {
  if (entry.largePath.empty() || !entry.mediumSize.known || !entry.largeSize.known) return "";
  const std::string width = std::to_string(entry.mediumSize.width);
  return " srcset=\"" + srcsetName(entry.mediumPath) + " " + width + "w, " + srcsetName(entry.largePath) + " " +
         std::to_string(entry.largeSize.width) + "w\" sizes=\"" + width + "px\"";
}

// The link around a picture page's view. -nav: it opens in the whole window,
// which browsers fit it to, not at full size inside the frame; Back returns.
// An original that browsers can't show (HEIF) is offered as a file.
void writeViewLink(FILE* out, const std::string& href, bool download) {
  const char* link = download       ? "<a href=\"%s\" download>"
                     : gSettings.nav ? "<a href=\"%s\" target=\"_top\">"
                                     : "<a href=\"%s\">";
  fprintf(out, link, href.c_str());
}

// -hidpi: the medium view, linked to the large view, or with -linkoriginals
// (original set) to the original; unlinked without a large view. The original
// itself is never shown: should the medium be missing, the thumbnail stands in.
void writeHidpiView(FILE* out, const PictureEntry& entry, const std::string& original, const std::string& alt) {
  const bool large = !entry.largePath.empty();
  if (!original.empty()) {
    writeViewLink(out, original, entry.originalDownload);
  } else if (large) {
    writeViewLink(out, nameLink(entry.largePath), false);
  }
  if (entry.mediumPath.empty()) {
    writeImgTag(out, "", nameLink(entry.microPath), entry.microSize);
  } else {
    writeImgTag(out, "", nameLink(entry.mediumPath), entry.mediumSize, mediumSrcset(entry));
  }
  fprintf(out, "%s border=\"0\" vspace=\"1\">%s\n", alt.c_str(), !original.empty() || large ? "</a>" : "");
}

// -nav: a video's page plays it, its poster the medium view (under -hidpi
// the large view when there is one) at the medium view's size.
void writeVideoView(FILE* out, const PictureEntry& entry) {
  const std::string& poster = gSettings.hidpi && !entry.largePath.empty() ? entry.largePath : entry.mediumPath;
  fputs("<div class=\"quorvel-media\"><video controls playsinline preload=\"metadata\"", out);
  if (!poster.empty()) fprintf(out, " poster=\"%s\"", nameLink(poster).c_str());
  fprintf(out, " src=\"%s\"", entry.videoLink.c_str());
  if (entry.mediumSize.known) fprintf(out, " width=\"%d\" height=\"%d\"", entry.mediumSize.width, entry.mediumSize.height);
  fputs("></video></div>\n", out);
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
    if (!entry.videoLink.empty() || !entry.motionLink.empty()) fputs(kNavMediaStyle, out);
    if (!entry.videoLink.empty()) {
      writeVideoView(out, entry);
      fputs(gTemplates.rightEnd, out);
      return;
    }
    if (!entry.motionLink.empty())
      fputs("<button type=\"button\" class=\"quorvel-live\" aria-pressed=\"false\">LIVE</button>\n", out);
    if (gSettings.hidpi) {
      writeHidpiView(out, entry, picName, alt);
    } else if (!entry.mediumPath.empty() && picName.empty()) {
      // -originals:none: the medium view is the largest there is.
      writeImgTag(out, "", linkForm(pathBaseName(entry.mediumPath.c_str())), entry.mediumSize);
      fprintf(out, "%s border=\"0\" vspace=\"1\">\n", alt.c_str());
    } else if (!entry.mediumPath.empty()) {
      writeViewLink(out, picName, entry.originalDownload);
      writeImgTag(out, "", linkForm(pathBaseName(entry.mediumPath.c_str())), entry.mediumSize);
      fprintf(out, "%s border=\"0\" vspace=\"1\"></a>\n", alt.c_str());
    } else {
      fprintf(out, "<img src=\"%s\"%s>", picName.c_str(), alt.c_str());
    }
    if (!entry.motionLink.empty()) {
      fprintf(out,
              "<video class=\"quorvel-motion\" src=\"%s\" muted playsinline preload=\"none\" "
              "style=\"display:none\"></video>\n%s",
              entry.motionLink.c_str(), kNavLiveScript);
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

// The thumbnail of the place'th entry of a page (from 1), as far as its
// attributes go: its srcset under -hidpi, lazy past the first screen, its
// label as alt text under -nav. attributes go first.
void writeThumbnail(FILE* out, const char* attributes, const PictureEntry& entry, int place) {
  writeImgTag(out, attributes, nameLink(entry.microPath), entry.microSize, gSettings.hidpi ? thumbnailSrcset(entry) : "");
  if (gSettings.hidpi && place > kEagerThumbnails) fputs(" loading=\"lazy\" decoding=\"async\"", out);
  if (gSettings.nav) fprintf(out, " alt=\"%s\"", navLabel(entry.captionTitle, pathBaseName(entry.path)).c_str());
}

// -nav: a video's mark over its thumbnail: a play sign and its length.
std::string playMark(const PictureEntry& entry) {
  const std::string length = navDuration(entry.durationMs);
  return "<span class=\"quorvel-play\">&#9654;" + (length.empty() ? "" : " " + length) + "</span>";
}

// The picture's Left entry, the place'th of its page (from 1): the micro
// picture, swapped for the rollover under the pointer, linked to target; the
// caption's title below it.
void writeLeftEntry(FILE* out, const PictureEntry& entry, const std::string& target, int place) {
  const bool video = gSettings.nav && !entry.videoLink.empty();
  fprintf(out,
          "<a href=\"%s\" target=\"right\"%s onMouseOver=\"return _1('i%d','%s','%s','zoom...');\" "
          "onMouseOut=\"return _2();\">",
          target.c_str(), video ? " class=\"quorvel-video\"" : "", entry.index,
          linkForm(pathBaseName(entry.rolloverPath.c_str())).c_str(), nameLink(entry.microPath).c_str());
  const std::string name = "name=\"i" + std::to_string(entry.index) + "\" ";
  writeThumbnail(out, name.c_str(), entry, place);
  fprintf(out, " border=\"0\" vspace=\"1\">%s</a><br>\n", video ? playMark(entry).c_str() : "");
  if (entry.captioned) {
    fputs("<font size=\"-1\">", out);
    htmlWriteText(out, entry.captionTitle.c_str());
    fputs("</font><br>&nbsp;<br>\n", out);
  }
}

// -nav: the place'th tile of the contact sheet, opening target in the same
// frame.
void writeSheetTile(FILE* out, const PictureEntry& entry, const std::string& target, int place) {
  fprintf(out, "<a href=\"%s\">", target.c_str());
  writeThumbnail(out, "", entry, place);
  fprintf(out, ">%s</a>\n", entry.videoLink.empty() ? "" : playMark(entry).c_str());
}

// -nav: the display frame's first page, in place of the empty one: the
// album's title block above its thumbnails. The MP3 page keeps that place.
void writeSheet(DirectoryPages& pages) {
  const char* path = pages.openedBy.c_str();
  const char* relPath = pages.openedByRel.c_str();
  pageWrite(pageSiblingName(path, kRightPage), pageText([&](FILE* out) {
              templateWrite(out, relPath, navTitled(gTemplates.rightBegin, path).c_str());
              fputs(kNavSheetStyle, out);
              fputs("<div class=\"quorvel-sheet-title\">\n", out);
              // Without a title.txt the folder's name heads the sheet.
              const std::string block = pageText([&](FILE* title) { htmlWriteTitleBlock(title, path); });
              fputs(block.empty() ? ("<b>" + navAlbumLabel(path) + "</b><br>\n").c_str() : block.c_str(), out);
              fputs("</div>\n<div class=\"quorvel-sheet\">\n", out);
              fputs(pages.sheet.c_str(), out);
              fputs("</div>\n", out);
              fputs(kNavSheetScript, out);
              fputs(gTemplates.rightEnd, out);
            }));
  pages.sheet.clear();
}

}  // namespace

// The design's _1/_2 set only src, which browsers ignore while srcset is
// set: these swap srcset too, the rollover's 2x and 3x named from its 1x.
const char kHidpiSwapScript[] =
    "<script>(function(){var n='',t='',s=null;"
    "window._1=function(i,r,v,w){var m=document.images[i];if(m){_2();n=i;t=v;s=m.getAttribute('srcset');"
    "if(s){var b=r.replace(/ /g,'%20').replace(/,/g,'%2c').replace(/\\.vr\\.jpg$/,'');"
    "m.srcset=b+'.vr.jpg 1x, '+b+'.vr2.jpg 2x, '+b+'.vr3.jpg 3x';}m.src=r;}status=w;return true;};"
    "window._2=function(){var m=n?document.images[n]:null;"
    "if(m){status=' ';if(s)m.srcset=s;m.src=t;n='';}return true;};"
    "})();</script>\n";

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
  pages.openedBy = path;
  pages.openedByRel = relPath;
  FILE* left = pages.left.get();
  templateWrite(left, relPath, navTitled(gTemplates.leftBegin, path).c_str());
  if (gSettings.nav) fputs(kNavLeftScript, left);
  if (gSettings.hidpi) fputs(kHidpiSwapScript, left);
  htmlWriteTitleBlock(left, path);
  fputs("<center>\n", left);
}

void htmlAddPicture(DirectoryPages& pages, const PictureEntry& entry) {
  htmlOpenLeft(pages, entry.path, entry.relPath);
  if (!gSettings.hidpi) strListAdd(&pages.preload, pathBaseName(entry.rolloverPath.c_str()));
  // Under -out: the original is reached in the library, or in the out
  // folder beside its copy, or (-originals:none) not at all; under -hidpi
  // only with -linkoriginals, the largest derived view standing in for it.
  std::string picName =
      gSettings.originals == Originals::None ? "" : linkForm(fileLibraryLink(entry.relPath).c_str());
  if (gSettings.hidpi && !gSettings.linkOriginals) picName.clear();
  std::string target = picName;
  if (gSettings.hidpi && picName.empty())
    target = nameLink(!entry.largePath.empty()    ? entry.largePath
                      : !entry.mediumPath.empty() ? entry.mediumPath
                                                  : entry.microPath);
  if (!entry.pagePath.empty()) {
    target = linkForm(pathBaseName(entry.pagePath.c_str()));
    writePicturePage(pages, entry, picName);
  }
  writeLeftEntry(pages.left.get(), entry, target, ++pages.entries);
  if (gSettings.nav) pages.sheet += pageText([&](FILE* out) { writeSheetTile(out, entry, target, pages.entries); });
}

bool htmlFinishLeft(DirectoryPages& pages) {
  if (!pages.left) return false;
  writeHeldPages(pages);
  if (gSettings.nav && !pages.mp3) writeSheet(pages);
  FILE* left = pages.left.get();
  StrList* preload = &pages.preload;
  fputs("</center>\n", left);
  // -hidpi fetches each rollover when first shown, at the screen's density.
  if (!gSettings.hidpi && strListData(preload)) {
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
