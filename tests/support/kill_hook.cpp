// The kill points of quorvel-kill, the binary only the interruption test runs.
#include <csignal>
#include <cstdlib>
#include <cstring>

#include <unistd.h>

#include "util/test_hook.h"

// Sends the process SIGKILL, or the signal numbered QUORVEL_TEST_SIGNAL, when
// QUORVEL_TEST_KILL is exactly "<step>:<finalPath>".
void testHook(const char* step, const char* finalPath) {
  static const char* const target = std::getenv("QUORVEL_TEST_KILL");
  if (!target) return;
  const size_t n = strlen(step);
  if (strncmp(target, step, n) != 0 || target[n] != ':' || strcmp(target + n + 1, finalPath) != 0) return;
  static const char* const chosen = std::getenv("QUORVEL_TEST_SIGNAL");
  // To the whole process, as kill(1) sends it: any thread may take it.
  kill(getpid(), chosen ? atoi(chosen) : SIGKILL);
  pause();
}
