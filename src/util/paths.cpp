// Path utilities: file-name and directory parts, prefix/suffix tests and the
// wildcard match the path filter is built on.
#include "util/paths.h"

#include <strings.h>

#include <cstring>
#include <string>

#include "base/limits.h"

namespace {

bool isSeparator(char c) { return c == '/' || c == '\\' || c == ':'; }

}  // namespace

const char* pathBaseName(const char* path) {
  const char* slash = strrchr(path, '/');
  return slash ? slash + 1 : path;
}

const char* pathFileName(const char* path) {
  const char* p = path + strlen(path);
  while (p > path && !isSeparator(p[-1])) --p;
  return p;
}

const char* pathWithoutExt(const char* path) {
  static char buf[kPathSize];
  size_t len = strlen(path);
  if (len >= kPathSize) return path;
  memcpy(buf, path, len + 1);
  // Only a dot inside the file-name part counts: "a.b/c" keeps its dot.
  char* dot = strrchr(const_cast<char*>(pathFileName(buf)), '.');
  if (dot) *dot = '\0';
  return buf;
}

const char* pathWithoutFile(const char* path) {
  static char buf[kPathSize];
  size_t len = strlen(path);
  if (len >= kPathSize) return nullptr;
  memcpy(buf, path, len + 1);
  buf[pathFileName(buf) - buf] = '\0';
  return buf;
}

bool strStartsWith(const char* text, const char* prefix) {
  if (!text) return false;
  return strncmp(text, prefix, strlen(prefix)) == 0;
}

bool strEndsWith(const char* text, const char* suffix) {
  if (!text) return false;
  size_t tl = strlen(text), sl = strlen(suffix);
  return tl >= sl && memcmp(text + tl - sl, suffix, sl) == 0;
}

bool strEndsWithNoCase(const char* text, const char* suffix) {
  if (!text) return false;
  size_t tl = strlen(text), sl = strlen(suffix);
  return tl >= sl && strcasecmp(text + tl - sl, suffix) == 0;
}

// Iterative match that backtracks only to the latest star: filter patterns
// come from the command line and a naive recursion is exponential in the
// number of stars. A star that is not last never takes an empty tail, which
// only matters for a final run of two or more stars: that run needs at least
// one character left.
bool pathMatch(const char* pattern, const char* name) {
  const char* p = pattern;
  const char* n = name;
  const char* starP = nullptr;  // pattern just after the latest star run
  const char* starN = nullptr;  // name position that star run was tried at
  for (;;) {
    if (*p == '*') {
      const char* q = p;
      while (*q == '*') ++q;
      // Later alignments only move further into the name, so this is final.
      if (!*q) return q - p == 1 || *n != '\0';
      starP = p = q;
      starN = n;
      continue;
    }
    if (*n && (*p == '?' || *p == *n)) {
      ++p;
      ++n;
      continue;
    }
    if (!*p && !*n) return true;
    if (!starP || !*starN) return false;
    p = starP;
    n = ++starN;
  }
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

const char* pathSiblingName(const char* path, const char* name) {
  static char buf[kNameSize];
  // Only '/' separates: "10:30.jpg" is one file name here.
  std::string dir(path, static_cast<size_t>(pathBaseName(path) - path));
  const char* joined = strConcatBounded(buf, dir.c_str(), name);
  return *joined ? joined : nullptr;
}

const char* pathFilterForm(const char* path) {
  static char form[kPathSize];
  size_t n = strlen(path);
  if (n >= sizeof form) return path;
  for (size_t i = 0; i <= n; i++) {
    unsigned char c = static_cast<unsigned char>(path[i]);
    if (c == '\\') c = '/';
    if (c >= 1 && c <= 31) c = '*';
    form[i] = static_cast<char>(c);
  }
  return form;
}

int pathDepth(const char* path) {
  int depth = 0;
  for (const char* p = path; *p; p++) {
    if (*p == '/' || *p == '\\') depth++;
  }
  return depth;
}

const char* pathSlashes(const char* path) {
  static char buffer[kNameSize];
  size_t length = strlen(path);
  if (length >= sizeof buffer) return path;
  for (size_t i = 0; i <= length; ++i) buffer[i] = path[i] == '\\' ? '/' : path[i];
  return buffer;
}

bool pathIsDotName(const char* name) { return !strcmp(name, ".") || !strcmp(name, ".."); }
