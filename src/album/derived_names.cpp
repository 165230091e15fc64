// Names of the files derived from a picture, and file dates.
#include "album/derived_names.h"

#include <sys/stat.h>

#include <cstring>
#include <string>

#include "base/fatal.h"
#include "util/paths.h"

namespace {

constexpr size_t kNameSize = 400;

// head + tail into the builder's own buffer; a name that would not fit ends
// the run rather than hand out a truncated (and wrong) file name.
const char* joinOrDie(char* buf, const char* head, const char* tail, const char* path) {
  // pathWithoutFile gives no result for an overlong path: same verdict.
  if (!head) error("path too long \"%s\"", path);
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

const char* pathSiblingName(const char* path, const char* name) {
  static char buf[kNameSize];
  // Only '/' separates: "10:30.jpg" is one file name here.
  std::string dir(path, static_cast<size_t>(pathBaseName(path) - path));
  return joinOrDie(buf, dir.c_str(), name, path);
}

char* strConcatBounded(char* buf, const char* first, const char* second) {
  static char empty[1];
  size_t firstLen = strlen(first);
  size_t secondLen = strlen(second);
  if (firstLen + secondLen >= kNameSize) {
    empty[0] = '\0';
    return empty;
  }
  if (buf == first && buf == second) {
    memcpy(buf + firstLen, buf, firstLen);
  } else if (buf == second) {
    // Move the second text up, its NUL included, before the first lands on it.
    memmove(buf + firstLen, buf, secondLen + 1);
    memmove(buf, first, firstLen);
    return buf;
  } else {
    if (buf != first) memmove(buf, first, firstLen);
    memmove(buf + firstLen, second, secondLen);
  }
  buf[firstLen + secondLen] = '\0';
  return buf;
}

time_t fileDate(const char* path, int* year, int* month, int* day, int* hour, int* minute,
                int* second, long long* size) {
  struct stat st;
  if (stat(path, &st) != 0) return 0;
  if (year || month || day || hour || minute || second) {
    // localtime fails only for times beyond its calendar: parts stay untouched.
    if (const struct tm* local = localtime(&st.st_mtime)) {
      if (year) *year = local->tm_year + 1900;
      if (month) *month = local->tm_mon + 1;
      if (day) *day = local->tm_mday;
      if (hour) *hour = local->tm_hour;
      if (minute) *minute = local->tm_min;
      if (second) *second = local->tm_sec;
    }
  }
  if (size) *size = st.st_size;
  return st.st_mtime;
}
