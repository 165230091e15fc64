// The redrawn line: a carriage return and an erase to the line's end.
#include "base/terminal_line.h"

#include <cstdio>

namespace {
bool gShown = false;
}  // namespace

void terminalLineShow(const std::string& text) {
  fflush(stdout);
  fprintf(stderr, "\r%s\x1b[K", text.c_str());
  gShown = true;
}

void terminalLineHide() {
  if (!gShown) return;
  // Standard output may be the same terminal: what it holds comes after the clear.
  fputs("\r\x1b[K", stderr);
  gShown = false;
}
