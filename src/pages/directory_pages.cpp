// Finishing a directory's pages.
#include "pages/directory_pages.h"

#include <cstdio>

#include "pages/page_files.h"
#include "pages/templates.h"
#include "util/text_encode.h"

namespace {

void closeWith(TempFile& page, const char* endText) {
  if (!page) return;
  fputs(endText, page.get());
  pageFinish(page);
}

}  // namespace

bool htmlFinishLeft(DirectoryPages& pages) {
  if (!pages.left) return false;
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

void htmlCloseMedia(DirectoryPages& pages) {
  closeWith(pages.mp3, gTemplates.mp3End);
  closeWith(pages.playlist, gTemplates.m3uEnd);
  closeWith(pages.video, gTemplates.videoEnd);
}
