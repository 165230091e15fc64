// The kill points of quorvel-kill, the binary only the interruption test runs.
#include <csignal>
#include <cstdlib>
#include <cstring>

#include "util/test_hook.h"

// Kills the process with SIGKILL when QUORVEL_TEST_KILL is exactly
// "<step>:<finalPath>".
void testHook(const char* step, const char* finalPath) {
  static const char* const target = std::getenv("QUORVEL_TEST_KILL");
  if (!target) return;
  const size_t n = strlen(step);
  if (strncmp(target, step, n) == 0 && target[n] == ':' && strcmp(target + n + 1, finalPath) == 0)
    raise(SIGKILL);
}
