// The progress line is a carriage return, its text and an erase to the
// line's end; clearing it is the same without the text.
#include "base/user_output.h"

#include <cstdarg>
#include <cstdio>

namespace {

bool gShown = false;

std::string formatted(const char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  const int length = vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (length <= 0) return {};
  std::string text(static_cast<size_t>(length) + 1, '\0');
  vsnprintf(text.data(), text.size(), format, args);
  text.resize(static_cast<size_t>(length));
  return text;
}

void write(FILE* stream, const std::string& text) {
  userProgressHide();
  fwrite(text.data(), 1, text.size(), stream);
}

}  // namespace

void userOut(const char* format, ...) {
  va_list args;
  va_start(args, format);
  const std::string text = formatted(format, args);
  va_end(args);
  write(stdout, text);
}

void userOutText(const std::string& text) { write(stdout, text); }

void userErrText(const std::string& text) { write(stderr, text); }

void userWarn(const char* format, ...) {
  va_list args;
  va_start(args, format);
  const std::string text = "*** quorvel: " + formatted(format, args) + "\n";
  va_end(args);
  write(stderr, text);
}

void userProgressShow(const std::string& text) {
  fflush(stdout);
  fprintf(stderr, "\r%s\x1b[K", text.c_str());
  gShown = true;
}

void userProgressHide() {
  if (!gShown) return;
  // Standard output may be the same terminal: what it holds comes after the clear.
  fputs("\r\x1b[K", stderr);
  gShown = false;
}
