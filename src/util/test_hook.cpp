// The test-only kill point; see test_hook.h.
#include "util/test_hook.h"

#ifdef QUORVEL_TEST_HOOKS
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// Per thread: each worker announces the file it is writing.
std::string& announcedTemp() {
  thread_local std::string temp;
  return temp;
}

std::string& announcedFinal() {
  thread_local std::string name;
  return name;
}

}  // namespace

void testHookNames(const char* temp, const char* finalPath) {
  announcedTemp() = temp;
  announcedFinal() = finalPath;
}

void testHook(const char* step, const char* path) {
  static const char* const target = std::getenv("QUORVEL_TEST_KILL");
  if (!target) return;
  const size_t n = strlen(step);
  if (strncmp(target, step, n) != 0 || target[n] != ':') return;
  const char* name = target + n + 1;
  if (strcmp(name, path) == 0 || (announcedTemp() == path && announcedFinal() == name))
    raise(SIGKILL);
}
#endif
