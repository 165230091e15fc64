// The kill and swap points of quorvel-kill, the binary only the interruption
// and write-safety tests run.
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <unistd.h>

#include "util/test_hook.h"

namespace {

// Whether point, "<step>:<finalPath>", names this call.
bool here(const char* point, const char* step, const char* finalPath) {
  const size_t n = strlen(step);
  return point && strncmp(point, step, n) == 0 && point[n] == ':' && strcmp(point + n + 1, finalPath) == 0;
}

}  // namespace

// At QUORVEL_TEST_SWAP ("<step>:<finalPath>"), once: the directory
// QUORVEL_TEST_SWAP_DIR is moved aside and a symbolic link to
// QUORVEL_TEST_SWAP_TARGET takes its name, as a hostile user would swap it
// while the run is in it. At QUORVEL_TEST_KILL: the process gets SIGKILL, or
// the signal numbered QUORVEL_TEST_SIGNAL.
void testHook(const char* step, const char* finalPath) {
  static const char* const swapAt = std::getenv("QUORVEL_TEST_SWAP");
  static std::atomic<bool> swapped{false};
  if (here(swapAt, step, finalPath) && !swapped.exchange(true)) {
    const std::string dir = std::getenv("QUORVEL_TEST_SWAP_DIR");
    if (rename(dir.c_str(), (dir + ".was").c_str()) != 0 ||
        symlink(std::getenv("QUORVEL_TEST_SWAP_TARGET"), dir.c_str()) != 0)
      abort();
  }
  static const char* const target = std::getenv("QUORVEL_TEST_KILL");
  if (!here(target, step, finalPath)) return;
  static const char* const chosen = std::getenv("QUORVEL_TEST_SIGNAL");
  // To the whole process, as kill(1) sends it: any thread may take it.
  kill(getpid(), chosen ? atoi(chosen) : SIGKILL);
  pause();
}
