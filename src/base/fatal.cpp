// Fatal and reported failures, and allocate-or-stop helpers.
#include "base/fatal.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/user_output.h"

namespace {

int gReported = 0;

// One line, the same for fatal and reported failures, so that scripts that
// look for it find both.
void writeLine(const char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  const int length = vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string line = "**** ERROR quorvel : ";
  if (length > 0) {
    std::string message(static_cast<size_t>(length) + 1, '\0');
    vsnprintf(message.data(), message.size(), format, args);
    message.resize(static_cast<size_t>(length));
    line += message;
  }
  line += '\n';
  userErrText(line);
}

}  // namespace

void error(const char* format, ...) {
  va_list args;
  va_start(args, format);
  writeLine(format, args);
  va_end(args);
  stopRun();
}

void report(const char* format, ...) {
  va_list args;
  va_start(args, format);
  writeLine(format, args);
  va_end(args);
  ++gReported;
}

int reportedFailures() { return gReported; }

void stopRun() {
  // A failure must not look like success to a script that runs us. exit()
  // runs what the picture pool and the temporaries registered with atexit:
  // the running pictures finish, the temporaries go.
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
