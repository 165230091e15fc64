// Fatal reporter and allocate-or-stop helpers.
#include "base/fatal.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

void error(const char* format, ...) {
  fputs("**** ERROR quorvel : ", stderr);
  va_list args;
  va_start(args, format);
  vfprintf(stderr, format, args);
  va_end(args);
  fputc('\n', stderr);
  // A failure must not look like success to a script that runs us.
  exit(1);
}

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
