// Page files: naming and creating, or ending the run.
#include "pages/page_files.h"

#include "base/fatal.h"
#include "util/paths.h"

std::string pageSiblingName(const char* path, const char* name) {
  const char* sibling = pathSiblingName(path, name);
  if (!sibling) error("path too long \"%s\"", path);
  return sibling;
}

FileHandle pageCreate(const std::string& pagePath) {
  FileHandle page = fileOpen(pagePath.c_str(), "wt");
  if (!page) error("can't create \"%s\"", pagePath.c_str());
  return page;
}

FileHandle pageCreateBeside(const char* path, const char* name) {
  return pageCreate(pageSiblingName(path, name));
}
