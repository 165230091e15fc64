// The progress line is a carriage return, its text and an erase to the
// line's end; clearing it is the same without the text.
#include "base/user_output.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>

namespace {

bool gShown = false;

bool isTerminal(FILE* stream) {
  static const bool out = isatty(STDOUT_FILENO) == 1, err = isatty(STDERR_FILENO) == 1;
  return stream == stdout ? out : err;
}

// A terminal obeys the controls it is sent: an escape sequence in a file
// name could retitle the window, move the cursor or hide a line. So there
// every control byte but the line feed and the tab is shown in caret form
// ("^[" for ESC, "^?" for DEL), and a C1 control in UTF-8 (U+0080 to U+009F)
// as "[U+009B]". Other bytes, UTF-8 names' above all, stay as they are.
std::string visible(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if ((c < 0x20 && c != '\n' && c != '\t') || c == 0x7F) {
      out += '^';
      out += static_cast<char>(c ^ 0x40);
    } else if (c == 0xC2 && i + 1 < text.size() && (static_cast<unsigned char>(text[i + 1]) & 0xE0) == 0x80) {
      char shown[16];
      snprintf(shown, sizeof shown, "[U+%04X]", static_cast<unsigned char>(text[++i]));
      out += shown;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

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

// Redirected, the bytes go out exactly as they are: scripts and logs read them.
void write(FILE* stream, const std::string& text) {
  userProgressHide();
  const std::string shown = isTerminal(stream) ? visible(text) : text;
  fwrite(shown.data(), 1, shown.size(), stream);
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
  const std::string shown = isTerminal(stderr) ? visible(text) : text;
  fprintf(stderr, "\r%s\x1b[K", shown.c_str());
  gShown = true;
}

int userProgressColumns() {
  winsize size{};
  if (!isTerminal(stderr) || ioctl(STDERR_FILENO, TIOCGWINSZ, &size) != 0 || size.ws_col == 0) return 0;
  // A line that fills the last column leaves the cursor there, where the
  // erase after the text would take that column's character with it.
  return size.ws_col - 1;
}

void userProgressHide() {
  if (!gShown) return;
  // Standard output may be the same terminal: what it holds comes after the clear.
  fputs("\r\x1b[K", stderr);
  gShown = false;
}
