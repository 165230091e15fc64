// Fatal and reported failures, and allocate-or-stop helpers.
#include "base/fatal.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

int gReported = 0;

// One line, the same for fatal and reported failures, so that scripts that
// look for it find both.
void writeLine(const char* format, va_list args) {
  fputs("**** ERROR quorvel : ", stderr);
  vfprintf(stderr, format, args);
  fputc('\n', stderr);
}

}  // namespace

void error(const char* format, ...) {
  va_list args;
  va_start(args, format);
  writeLine(format, args);
  va_end(args);
  // A failure must not look like success to a script that runs us.
  exit(1);
}

void report(const char* format, ...) {
  va_list args;
  va_start(args, format);
  writeLine(format, args);
  va_end(args);
  ++gReported;
}

int reportedFailures() { return gReported; }

void* alloc(size_t size) {
  void* block = malloc(size);
  if (!block) error("mem");
  return block;
}

char* dup(const char* text) {
  size_t size = strlen(text) + 1;
  char* copy = static_cast<char*>(alloc(size));
  memcpy(copy, text, size);
  return copy;
}
