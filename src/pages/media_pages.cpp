// MP3 page, play list and video page of one directory.
#include "pages/media_pages.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "base/fatal.h"
#include "base/limits.h"
#include "base/settings.h"
#include "pages/album_pages.h"
#include "pages/page_files.h"
#include "pages/picture_nav.h"
#include "pages/templates.h"
#include "util/album_root.h"
#include "util/files.h"
#include "util/paths.h"
#include "util/text_encode.h"

namespace {

// The play-list text of path: the file name alone (under -out:, the way to
// it), or the -mp3: prefix and the path as given (less a leading "./"). An
// entry that would not fit ends the run rather than write a wrong line.
std::string playlistEntry(const char* path, const char* relPath) {
  const char* prefix = gSettings.mp3Prefix;
  if (!prefix[0]) return fileLibraryLink(relPath);
  const char* tail = path;
  if (strStartsWith(tail, "./") || strStartsWith(tail, ".\\")) tail += 2;
  char joined[kNameSize];
  const char* entry = strConcatBounded(joined, prefix, tail);
  if (!entry[0]) error("path too long \"%s\"", path);
  std::string text = entry;
  // A prefix with '/' is a URL or a Unix path: separators must follow it.
  if (strchr(prefix, '/')) {
    for (char& c : text) {
      if (c == '\\') c = '/';
    }
  }
  return text;
}

bool isHtml5Video(const char* path) {
  for (const char* ext : {".mp4", ".m4v", ".webm", ".ogv", ".mov"}) {
    if (strEndsWithNoCase(path, ext)) return true;
  }
  return false;
}

// The size attributes of an .mpg or .avi player: an MPEG sequence header's
// size code gives one of the two sizes we know, every .avi plays at 320x240.
const char* embedSize(const char* path) {
  if (!strEndsWithNoCase(path, ".mpg")) return " width=\"320\" height=\"240\"";
  const MpgHeader header = mpgHeaderBytes(path);
  if (header.byte10 == 0x03 && header.byte11 == 0x91) return " width=\"160\" height=\"158\"";
  if (header.byte10 == 0x0E && header.byte11 == 0x3B) return " width=\"320\" height=\"286\"";
  return "";
}

}  // namespace

void htmlAddMp3(DirectoryPages& pages, const char* path, int rootOffset) {
  if (!strEndsWithNoCase(path, ".mp3")) return;
  const char* relPath = path + rootOffset;
  htmlOpenLeft(pages, path, relPath);
  TempFile& mp3Page = pages.mp3;
  TempFile& playlist = pages.playlist;
  if (!mp3Page) {
    // Stands in for the empty Right page htmlOpenLeft may just have written.
    mp3Page = pageCreateBeside(path, kRightPage);
    templateWrite(mp3Page.get(), relPath, navTitled(gTemplates.mp3Begin, path).c_str());
    fputs("<li> <a href=\"liste.m3u\"><b>liste.m3u</b></a>\n", mp3Page.get());
    pages.rightWritten = 1;
    fputs("<a href=\"quorvelRight.html\" target=\"right\"><b>MP3</b></a><p>\n", pages.left.get());
  }
  const char* name = pathBaseName(path);
  fprintf(mp3Page.get(), "<li> <a href=\"%s\">%s</a>\n", linkForm(fileLibraryLink(relPath).c_str()).c_str(),
          textForm(name).c_str());
  if (gSettings.mp3KoMo) fprintf(mp3Page.get(), "(%s)\n", sizeText(fileSize(path)));

  if (!playlist) {
    playlist = pageCreateBeside(path, kPlaylistFile);
    templateWrite(playlist.get(), relPath, gTemplates.m3uBegin);
  }
  urlEncodeM3u(playlist.get(), playlistEntry(path, relPath).c_str());
  fputs("\n", playlist.get());
}

bool htmlIsVideoName(const char* path) {
  return isHtml5Video(path) || strEndsWithNoCase(path, ".mpg") || strEndsWithNoCase(path, ".avi");
}

void htmlAddVideo(DirectoryPages& pages, const char* path, int rootOffset) {
  if (!htmlIsVideoName(path)) return;
  const bool html5 = isHtml5Video(path);
  const char* relPath = path + rootOffset;
  htmlOpenLeft(pages, path, relPath);
  TempFile& videoPage = pages.video;
  if (!videoPage) {
    videoPage = pageCreateBeside(path, kVideoPage);
    templateWrite(videoPage.get(), relPath, navTitled(gTemplates.videoBegin, path).c_str());
    fputs("<a href=\"quorvelVideo.html\" target=\"right\"><b>VIDEO</b></a><p>\n", pages.left.get());
  }
  FILE* out = videoPage.get();
  const char* name = pathBaseName(path);
  const std::string link = linkForm(fileLibraryLink(relPath).c_str());
  fputs("<center><table cellspacing=\"0\" cellpadding=\"8\" bgcolor=\"#ffff99\"><tr>"
        "<td align=\"center\">",
        out);
  if (html5) {
    // Browsers play these themselves; the width keeps a camera's full-size
    // video inside the display frame.
    fprintf(out, "<video src=\"%s\" controls preload=\"metadata\" width=\"320\"></video>",
            link.c_str());
  } else {
    fprintf(out,
            "<embed src=\"%s\" autostart=\"false\" "
            "controls=\"smallconsole,playbutton,pausebutton,stopbutton\"%s>",
            link.c_str(), embedSize(path));
  }
  fprintf(out, "<br><a href=\"%s\"><code>%s</code></a></td></tr></table></center><p>",
          link.c_str(), textForm(name).c_str());
}

MpgHeader mpgHeaderBytes(const char* path) {
  FileHandle in = fileOpen(path, "rb");
  if (!in) return {0, 0};
  fseek(in.get(), 10, SEEK_SET);
  MpgHeader header;
  header.byte10 = fgetc(in.get());
  header.byte11 = fgetc(in.get());
  return header;
}

namespace {

void closeWith(TempFile& page, const char* endText) {
  if (!page) return;
  fputs(endText, page.get());
  pageFinish(page);
}

}  // namespace

void htmlCloseMedia(DirectoryPages& pages) {
  closeWith(pages.mp3, gTemplates.mp3End);
  closeWith(pages.playlist, gTemplates.m3uEnd);
  closeWith(pages.video, gTemplates.videoEnd);
}
