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
// file name ending in .html, never a path, a scheme or a query. The address
// is read before any frame can answer: the first page of the display frame
// (the sheet) reports itself too. Which page is shown goes on to every other
// frame (the thumbnail column marks it), and to a frame that asks.
const char kFramesetScript[] =
    "<script>(function(){"
    "function right(){return document.getElementsByName('right')[0];}"
    // A separator %-encoded (..%2Foutside.html) would pass as a name: a server
    // that decodes it before it resolves ".." would frame a page outside.
    "function ours(p){if(typeof p!=='string'||!/^[^\\/\\\\:?#]+\\.html$/.test(p))return false;"
    "try{return !/[\\/\\\\]/.test(decodeURIComponent(p));}catch(x){return false;}}"
    "var want=location.hash.slice(1),cur=null;"
    "document.addEventListener('DOMContentLoaded',function(){"
    "var f=right();if(f&&ours(want))f.src=want;});"
    // A # link of this album typed or followed while it is open.
    "window.addEventListener('hashchange',function(){"
    "var p=location.hash.slice(1),f=right();if(f&&ours(p)&&p!==cur)f.src=p;});"
    "document.addEventListener('keydown',function(e){if(e.altKey||e.ctrlKey||e.metaKey||e.shiftKey)return;"
    "var s=e.key==='ArrowRight'?'next':e.key==='ArrowLeft'?'prev':'',f=right();"
    "if(s&&f&&f.contentWindow){f.contentWindow.postMessage({quorvel:'key',step:s},'*');e.preventDefault();}});"
    "window.addEventListener('message',function(e){var d=e.data,f=right();"
    "if(!d||typeof d!=='object')return;"
    "if(d.quorvel==='at'&&(ours(d.page)||d.page==='')){cur=d.page;"
    "try{history.replaceState(null,'',d.page?'#'+d.page:location.pathname+location.search);}catch(x){}"
    "for(var i=0;i<frames.length;i++)if(frames[i]!==e.source)frames[i].postMessage({quorvel:'at',page:cur},'*');}"
    "else if(d.quorvel==='ask'&&cur!==null&&e.source)e.source.postMessage({quorvel:'at',page:cur},'*');"
    "else if(d.quorvel==='key'&&f&&f.contentWindow)f.contentWindow.postMessage(d,'*');});"
    "})();</script>\n";

// What the thumbnail column and the tree do with the arrow keys: they pass
// them to the frameset, which steps the display frame.
#define KEYS_TO_TOP                                                                     \
  "document.addEventListener('keydown',function(e){"                                    \
  "if(e.altKey||e.ctrlKey||e.metaKey||e.shiftKey)return;"                               \
  "var s=e.key==='ArrowRight'?'next':e.key==='ArrowLeft'?'prev':'';"                    \
  "if(s&&top!==self){top.postMessage({quorvel:'key',step:s},'*');e.preventDefault();}});"

// A video's play mark over its thumbnail, in the column and on the sheet.
#define PLAY_MARK_STYLE                                                                         \
  ":where(.quorvel-play){position:absolute;left:4px;bottom:6px;padding:0 5px;border-radius:4px;" \
  "background:#000b;color:#fff;font:14px/1.5 sans-serif;white-space:nowrap;pointer-events:none}"

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
    "function at(){if(l&&top!==self)top.postMessage({quorvel:'at',page:l.getAttribute('href').split('#')[1]},'*');}"
    // A page that Back brings out of the cache runs no script again.
    "at();window.addEventListener('pageshow',function(e){if(e.persisted)at();});"
    "})();</script>\n";

const char kNavLeftScript[] =
    "<script>(function(){" KEYS_TO_TOP
    "function mark(p){var l=document.querySelectorAll('a[target=\"right\"]');"
    "for(var i=0;i<l.length;i++){var a=l[i],on=a.getAttribute('href')===p;a.classList.toggle('quorvel-at',on);"
    "if(on)a.scrollIntoView({block:'nearest',inline:'nearest'});}}"
    "window.addEventListener('message',function(e){var d=e.data;"
    "if(d&&d.quorvel==='at'&&typeof d.page==='string')mark(d.page);});"
    "if(top!==self)top.postMessage({quorvel:'ask'},'*');"
    "})();</script>\n"
    "<style>:where(a.quorvel-at) img{outline:3px solid #e8a400;outline-offset:1px}"
    ":where(.quorvel-video){position:relative;display:inline-block}"
    PLAY_MARK_STYLE "</style>\n";

const char kNavTreeScript[] =
    "<script>(function(){" KEYS_TO_TOP
    "var h=document.querySelector('pre font');if(h)h.scrollIntoView({block:'nearest',inline:'nearest'});"
    "})();</script>\n";

const char kNavSheetStyle[] =
    "<style>:where(.quorvel-sheet){align-self:stretch;display:grid;"
    "grid-template-columns:repeat(auto-fill,minmax(104px,1fr));gap:8px;margin:4px 0 12px;text-align:center}"
    ":where(.quorvel-sheet) a{position:relative;display:flex;align-items:center;justify-content:center;min-height:100px}"
    ":where(.quorvel-sheet) img{max-width:100%;height:auto}"
    PLAY_MARK_STYLE "</style>\n";

const char kNavSheetScript[] =
    "<script>(function(){"
    "function go(){var a=document.querySelector('.quorvel-sheet a');if(a)location.href=a.href;}"
    "document.addEventListener('keydown',function(e){if(e.altKey||e.ctrlKey||e.metaKey||e.shiftKey)return;"
    "if(e.key==='ArrowRight'){go();e.preventDefault();}});"
    "window.addEventListener('message',function(e){var d=e.data;if(d&&d.quorvel==='key'&&d.step==='next')go();});"
    "function at(){if(top!==self)top.postMessage({quorvel:'at',page:''},'*');}"
    "at();window.addEventListener('pageshow',function(e){if(e.persisted)at();});"
    "})();</script>\n";

const char kNavMediaStyle[] =
    "<style>:where(.quorvel-media){flex:1 1 0;min-height:0;width:100%;display:flex;align-items:center;"
    "justify-content:center}"
    ":where(.quorvel-media) video{display:block;max-width:100%;max-height:calc(100vh - 7em);width:auto;height:auto;"
    "background:#000}"
    ":where(.quorvel-live){font:bold 14px/1 sans-serif;padding:6px 12px;border:1px solid #888;border-radius:16px;"
    "background:#fff;color:#000;cursor:pointer}"
    ":where(.quorvel-motion){object-fit:contain;background:#000}</style>\n";

// The motion takes the photo's place and size while it plays; the photo
// comes back when it ends, or on a second press.
const char kNavLiveScript[] =
    "<script>(function(){var b=document.querySelector('.quorvel-live'),v=document.querySelector('.quorvel-motion');"
    "if(!b||!v)return;var p=v.previousElementSibling;"
    "function back(){v.pause();v.style.display='none';p.style.display='';b.setAttribute('aria-pressed','false');}"
    "v.addEventListener('ended',back);"
    "b.addEventListener('click',function(){if(v.style.display!=='none'){back();return;}"
    "var i=p.querySelector('img')||p,r=i.getBoundingClientRect();"
    "v.style.width=r.width+'px';v.style.height=r.height+'px';p.style.display='none';v.style.display='block';"
    "b.setAttribute('aria-pressed','true');v.currentTime=0;var q=v.play();if(q&&q.catch)q.catch(back);});"
    "})();</script>\n";

#undef KEYS_TO_TOP
#undef PLAY_MARK_STYLE

std::string navDuration(long long ms) {
  if (ms < 0) return "";
  const long long seconds = (ms + 500) / 1000;
  char text[32];
  if (seconds >= 3600) {
    snprintf(text, sizeof text, "%lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60, seconds % 60);
  } else {
    snprintf(text, sizeof text, "%lld:%02lld", seconds / 60, seconds % 60);
  }
  return text;
}

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
  // A theme's page without a title gets one in its head.
  for (const char* close : {"</head>", "</HEAD>"}) {
    const size_t at = page.find(close);
    if (at != std::string::npos) return page.substr(0, at) + "<title>" + title + "</title>\n" + page.substr(at);
  }
  return page;
}

std::string navTitled(const char* templateText, const char* path) {
  if (!gSettings.nav) return templateText;
  return navRetitled(templateText, navAlbumLabel(path));
}
