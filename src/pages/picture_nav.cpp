// -nav: the picture bar and its scripts.
#include "pages/picture_nav.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/fatal.h"
#include "base/limits.h"
#include "base/settings.h"
#include "pages/page_files.h"
#include "util/caption_file.h"
#include "util/html_text.h"
#include "util/paths.h"
#include "util/text_encode.h"

namespace {

// Shown by the frameset only when it names a page of this album: a plain
// file name ending in .html, never a path, a scheme or a query.
const char kFramesetScript[] =
    "<script>(function(){"
    "function right(){return document.getElementsByName('right')[0];}"
    "function ours(p){return typeof p==='string'&&/^[^\\/\\\\:?#]+\\.html$/.test(p);}"
    "document.addEventListener('DOMContentLoaded',function(){"
    "var p=location.hash.slice(1),f=right();if(f&&ours(p))f.src=p;});"
    "window.addEventListener('message',function(e){var d=e.data,f=right();"
    "if(!d||typeof d!=='object')return;"
    "if(d.quorvel==='at'&&ours(d.page)){try{history.replaceState(null,'','#'+d.page);}catch(x){}}"
    "else if(d.quorvel==='key'&&f&&f.contentWindow)f.contentWindow.postMessage(d,'*');});"
    "})();</script>\n";

size_t findHeadEnd(const std::string& page) {
  for (const char* mark : {"</head>", "</HEAD>", "<frameset", "<FRAMESET"}) {
    const size_t at = page.find(mark);
    if (at != std::string::npos) return at;
  }
  return 0;
}

}  // namespace

const char kNavPictureScript[] =
    "<script>(function(){"
    "function go(r){var a=document.querySelector('.quorvel-nav a[rel=\"'+r+'\"]');if(a)location.href=a.href;}"
    "document.addEventListener('keydown',function(e){if(e.altKey||e.ctrlKey||e.metaKey||e.shiftKey)return;"
    "if(e.key==='ArrowRight'){go('next');e.preventDefault();}"
    "else if(e.key==='ArrowLeft'){go('prev');e.preventDefault();}});"
    "window.addEventListener('message',function(e){var d=e.data;"
    "if(d&&d.quorvel==='key'&&(d.step==='next'||d.step==='prev'))go(d.step);});"
    "var x=null,y=0;"
    "document.addEventListener('touchstart',function(e){if(e.touches.length===1){"
    "x=e.touches[0].clientX;y=e.touches[0].clientY;}else x=null;},{passive:true});"
    "document.addEventListener('touchend',function(e){if(x===null)return;var t=e.changedTouches[0],"
    "dx=t.clientX-x,dy=t.clientY-y;x=null;"
    "if(Math.abs(dx)>50&&Math.abs(dx)>2*Math.abs(dy))go(dx<0?'next':'prev');},{passive:true});"
    "var l=document.querySelector('.quorvel-nav a.quorvel-link');"
    "if(l&&top!==self)top.postMessage({quorvel:'at',page:l.getAttribute('href').split('#')[1]},'*');"
    "})();</script>\n";

const char kNavLeftScript[] =
    "<script>document.addEventListener('keydown',function(e){"
    "if(e.altKey||e.ctrlKey||e.metaKey||e.shiftKey)return;"
    "var s=e.key==='ArrowRight'?'next':e.key==='ArrowLeft'?'prev':'';"
    "if(s&&top!==self){top.postMessage({quorvel:'key',step:s},'*');e.preventDefault();}});</script>\n";

std::string navBar(const std::string& prev, const std::string& next, const std::string& self, int place,
                   int count) {
  std::string bar = kNavBarMarker;
  if (!prev.empty()) bar += "<a href=\"" + prev + "\" rel=\"prev\" title=\"previous\">&larr;</a> ";
  bar += std::to_string(place) + " / " + std::to_string(count);
  if (!next.empty()) bar += " <a href=\"" + next + "\" rel=\"next\" title=\"next\">&rarr;</a>";
  bar += std::string(" <a href=\"") + kFramesetPage + "\" target=\"_top\" rel=\"up\" title=\"album\">&uarr;</a>";
  bar += std::string(" <a href=\"") + kFramesetPage + "#" + self +
         "\" target=\"_top\" class=\"quorvel-link\" title=\"link to this picture\">#</a>";
  bar += "</div>\n";
  return bar;
}

std::string navFrameset(const std::string& page) {
  std::string out = page;
  out.insert(findHeadEnd(page), kFramesetScript);
  return out;
}

std::string navLabel(const std::string& captionTitle, const char* fileName) {
  if (captionTitle.empty() || captionTitle.find_first_of("<>\"") != std::string::npos) return textForm(fileName);
  return pageText([&](FILE* out) { htmlWriteText(out, captionTitle.c_str()); });
}

std::string navAlbumLabel(const char* path) {
  char text[kCaptionTextSize];
  char title[kCaptionTitleSize];
  const std::string titleFile = pageSiblingName(path, "title.txt");
  if (captionRead(text, kCaptionTextSize, title, kCaptionTitleSize, titleFile.c_str()) && title[0] &&
      !strpbrk(title, "<>\""))
    return navLabel(title, "");
  std::string dir(path, static_cast<size_t>(pathBaseName(path) - path));
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  if (dir.size() >= 2 && dir.compare(dir.size() - 2, 2, "/.") == 0) dir.resize(dir.size() - 2);
  return textForm(pathBaseName(dir.c_str()));
}

std::string navRetitled(const std::string& page, const std::string& title) {
  for (const char* open : {"<title>", "<TITLE>"}) {
    const size_t start = page.find(open);
    if (start == std::string::npos) continue;
    const size_t from = start + strlen(open);
    const size_t end = page.find(open[1] == 't' ? "</title>" : "</TITLE>", from);
    if (end == std::string::npos) continue;
    return page.substr(0, from) + title + page.substr(end);
  }
  return page;
}

std::string navTitled(const char* templateText, const char* path) {
  if (!gSettings.nav) return templateText;
  return navRetitled(templateText, navAlbumLabel(path));
}
