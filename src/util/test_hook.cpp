// The test-only kill point; see test_hook.h.
#include "util/test_hook.h"

#ifdef QUORVEL_TEST_HOOKS
#include <csignal>
#include <cstdlib>
#include <cstring>

void testHook(const char* step, const char* path) {
  static const char* const target = std::getenv("QUORVEL_TEST_KILL");
  if (!target) return;
  const size_t n = strlen(step);
  if (strncmp(target, step, n) == 0 && target[n] == ':' && strcmp(target + n + 1, path) == 0)
    raise(SIGKILL);
}
#endif
