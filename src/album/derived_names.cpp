// Names of the files derived from a picture.
#include "album/derived_names.h"

#include "base/fatal.h"
#include "base/limits.h"
#include "util/paths.h"

namespace {

// head + tail into the builder's own buffer; a name that would not fit ends
// the run rather than hand out a truncated (and wrong) file name.
const char* joinOrDie(char* buf, const char* head, const char* tail, const char* path) {
  const char* joined = strConcatBounded(buf, head, tail);
  if (!*joined) error("path too long \"%s\"", path);
  return joined;
}

}  // namespace

const char* pathMicroName(const char* path) {
  static char buf[kNameSize];
  return joinOrDie(buf, pathWithoutExt(path), ".vi.jpg", path);
}

const char* pathRolloverName(const char* path) {
  static char buf[kNameSize];
  return joinOrDie(buf, pathWithoutExt(path), ".vr.jpg", path);
}

const char* pathMediumName(const char* path) {
  static char buf[kNameSize];
  return joinOrDie(buf, pathWithoutExt(path), ".md.jpg", path);
}

const char* pathHtmlName(const char* path) {
  static char buf[kNameSize];
  return joinOrDie(buf, pathWithoutExt(path), ".html", path);
}
