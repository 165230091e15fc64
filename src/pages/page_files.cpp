// Page files: naming, creating and finishing, or ending the run.
#include "pages/page_files.h"

#include <cstring>

#include "base/fatal.h"
#include "util/paths.h"

std::string pageSiblingName(const char* path, const char* name) {
  const char* sibling = pathSiblingName(path, name);
  if (!sibling) error("path too long \"%s\"", path);
  return sibling;
}

TempFile pageCreate(const std::string& pagePath) {
  TempFile page;
  if (const int failure = page.create(pagePath))
    error("can't create \"%s\": %s", pagePath.c_str(), strerror(failure));
  return page;
}

TempFile pageCreateBeside(const char* path, const char* name) {
  return pageCreate(pageSiblingName(path, name));
}

void pageFinish(TempFile& page) {
  if (const int failure = page.commit())
    error("can't write \"%s\": %s", page.finalPath().c_str(), strerror(failure));
}

bool pageIsAlbumPage(const char* name) {
  for (const char* page : kAlbumPages)
    if (!strcmp(name, page)) return true;
  return false;
}
