// The built-in page texts as a browser receives them, written out by hand so
// that the page tests compare against the intended bytes, not the code's.
#pragma once

#include <string>
#include <vector>

#include "base/settings.h"
#include "pages/templates.h"

namespace expected {

inline const std::string kHead =
    "<!DOCTYPE HTML PUBLIC \"-//IETF//DTD HTML 2.0//EN\">\n"
    "<html>\n"
    "<head>\n"
    "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=iso-8859-1\">\n"
    "<title>quorvel</title>\n"
    "</head>\n";

inline const std::string kBody =
    "<body bgcolor=\"#ffffff\" link=\"#0000ff\" vlink=\"#0000ff\" alink=\"#ff0000\">\n";

inline const std::string kEnd = "</body>\n</html>\n";

inline const std::string kRightEmpty = kHead + kBody + kEnd;
inline const std::string kRightBegin = kHead + kBody;

// topBegin ends with the body tag and no line feed.
inline const std::string kTopBegin =
    kHead + "<body bgcolor=\"#ffffff\" link=\"#0000ff\" vlink=\"#0000ff\" alink=\"#ff0000\">";

inline const std::string kLeftBegin =
    "<!DOCTYPE HTML PUBLIC \"-//IETF//DTD HTML 2.0//EN\">\n"
    "<html>\n"
    "<head>\n"
    "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=iso-8859-1\">\n"
    "<title>quorvel</title>\n"
    "<script language=\"JavaScript\"><!--\n"
    "var _3=\"\";var _4=\"\";function _1(_5,_6,_7,_8){if(document.images){_2();\n"
    "_3=_5;_4=_7;document.images[_5].src=_6;}status=_8;return true;}function _2()\n"
    "{if(_3!=\"\"){status=\" \";if(document.images){document.images[_3].src=_4;\n"
    "_3=\"\";_4=\"\";}}return true;}//--></script>\n"
    "</head>\n"
    "<body bgcolor=\"#ffffff\" link=\"#0000ff\" vlink=\"#0000ff\" alink=\"#ff0000\">\n";

inline const std::string kMp3Begin = kHead + kBody + "<h2>MP3...</h2>\n<ul>\n";
inline const std::string kVideoBegin = kHead + kBody + "<h2>video...</h2>\n<ul>\n";
inline const std::string kListEnd = "</ul>\n</body>\n</html>\n";

// The links a Left page opens with when the directory holds MP3 or video files.
inline const std::string kMp3Link =
    "<a href=\"quorvelRight.html\" target=\"right\"><b>MP3</b></a><p>\n";
inline const std::string kVideoLink =
    "<a href=\"quorvelVideo.html\" target=\"right\"><b>VIDEO</b></a><p>\n";
// The MP3 page's first entry: its play list.
inline const std::string kListeLine = "<li> <a href=\"liste.m3u\"><b>liste.m3u</b></a>\n";

// The built-in MP3 page listing items.
inline std::string mp3Page(const std::string& items) {
  return kMp3Begin + kListeLine + items + kListEnd;
}

// One player block of the video page; size is the attribute text
// (" width=... height=...") or empty.
inline std::string videoBlock(const std::string& link, const std::string& size,
                              const std::string& text) {
  return "<center><table cellspacing=\"0\" cellpadding=\"8\" bgcolor=\"#ffff99\"><tr>"
         "<td align=\"center\"><embed src=\"" +
         link + "\" autostart=\"false\" controls=\"smallconsole,playbutton,pausebutton,stopbutton\"" +
         size + "><br><a href=\"" + link + "\"><code>" + text +
         "</code></a></td></tr></table></center><p>";
}

// One HTML5 video block of the video page.
inline std::string html5VideoBlock(const std::string& link, const std::string& text) {
  return "<center><table cellspacing=\"0\" cellpadding=\"8\" bgcolor=\"#ffff99\"><tr>"
         "<td align=\"center\"><video src=\"" +
         link + "\" controls preload=\"metadata\" width=\"320\"></video><br><a href=\"" + link +
         "\"><code>" + text + "</code></a></td></tr></table></center><p>";
}

// The frameset pages as written with a left width of 150.
inline const std::string kFramesetDefault150 =
    kHead +
    "<frameset cols=\"150,*\" framespacing=\"0\" frameborder=\"0\" border=\"0\" bgcolor=\"#ffffff\">\n"
    "<frameset rows=\"40%,*\" framespacing=\"0\" frameborder=\"0\" border=\"0\" bgcolor=\"#ffffff\">\n"
    "<frame src=\"quorvelTop.html\" framespacing=\"0\" marginwidth=\"0\" marginheight=\"0\" "
    "scrolling=\"auto\" noresize>\n"
    "<frame src=\"quorvelLeft.html\" framespacing=\"0\" marginwidth=\"0\" marginheight=\"0\" "
    "scrolling=\"auto\" noresize>\n"
    "</frameset>\n"
    "<frame name=\"right\" src=\"quorvelRight.html\" framespacing=\"0\" marginwidth=\"0\" "
    "marginheight=\"0\" scrolling=\"auto\" noresize>\n"
    "</frameset>\n" +
    kBody + kEnd;

inline const std::string kFramesetNotree150 =
    kHead +
    "<frameset cols=\"150,*\" framespacing=\"0\" frameborder=\"0\" border=\"0\" bgcolor=\"#ffffff\">\n"
    "<frameset rows=\"40%,*\" framespacing=\"0\" frameborder=\"0\" border=\"0\" bgcolor=\"#ffffff\">\n"
    "<frame src=\"quorvelTop.html#ici\" framespacing=\"0\" marginwidth=\"0\" marginheight=\"0\" "
    "scrolling=\"auto\" noresize>\n"
    "<frame src=\"quorvelLeft.html\" framespacing=\"0\" marginwidth=\"0\" marginheight=\"0\" "
    "scrolling=\"auto\" noresize>\n"
    "</frameset>\n"
    "<frame name=\"right\" src=\"quorvelRight.html\" framespacing=\"0\" marginwidth=\"0\" "
    "marginheight=\"0\" scrolling=\"auto\" noresize>\n"
    "</frameset>\n" +
    kBody + kEnd;

inline const std::string kFramesetNotop150 =
    kHead +
    "<frameset cols=\"150,*\" framespacing=\"0\" frameborder=\"0\" border=\"0\" bgcolor=\"#ffffff\">\n"
    "<frame src=\"quorvelLeft.html\" framespacing=\"0\" marginwidth=\"0\" marginheight=\"0\" "
    "scrolling=\"auto\" noresize>\n"
    "<frame name=\"right\" src=\"quorvelRight.html\" framespacing=\"0\" marginwidth=\"0\" "
    "marginheight=\"0\" scrolling=\"auto\" noresize>\n"
    "</frameset>\n" +
    kBody + kEnd;

// One thumbnail entry of a Left page; size is the attribute text
// (" width=... height=...") or empty.
inline std::string leftEntry(const std::string& target, int index, const std::string& vr,
                             const std::string& vi, const std::string& size) {
  const std::string n = std::to_string(index);
  return "<a href=\"" + target + "\" target=\"right\" onMouseOver=\"return _1('i" + n + "','" + vr +
         "','" + vi + "','zoom...');\" onMouseOut=\"return _2();\"><img name=\"i" + n +
         "\" src=\"" + vi + "\"" + size + " border=\"0\" vspace=\"1\"></a><br>\n";
}

// A tree page's line for a sub-album, indent spaces deep, with its link and
// visible label.
inline std::string subAlbumLine(int indent, const std::string& link, const std::string& label) {
  return std::string(indent, ' ') + "<a href=\"" + link +
         "/quorvelFrameset.html\" target=\"_top\">" + label + "</a>\n";
}

// The script closing a Left page, preloading the given rollover names.
inline std::string preloadScript(const std::vector<std::string>& rollovers) {
  std::string script = "<script language=\"JavaScript\"><!--\n";
  for (const std::string& name : rollovers) script += "(new Image()).src=\"" + name + "\";";
  return script + "//--></script>\n";
}

// The style-sheet line a page gets before "</head>" with -css:style.css,
// climbing `climb` to the album root.
inline std::string cssLink(const std::string& climb) {
  return "<link rel=\"stylesheet\" type=\"text/css\" href=\"" + climb + "style.css\">\n";
}

}  // namespace expected

// Every page test starts from the defaults: built-in templates, no options.
inline void resetPageState() {
  gSettings = Settings{};
  templatesReset();
}
