// Kill points for the interruption test, which must stop the real binary at
// an exact step instead of racing it. Compiled in only when the tests are
// built (QUORVEL_TEST_HOOKS, set by CMakeLists.txt); otherwise testHook is an
// empty inline function and the binary holds no trace of it.
#pragma once

#ifdef QUORVEL_TEST_HOOKS
// Kills the process with SIGKILL when the environment variable
// QUORVEL_TEST_KILL is exactly "<step>:<name>", where name is path or, for
// the temporary last announced by testHookNames, its final name (temporaries
// are named at random). Returns otherwise.
// Steps: "writing" (half the rows of the temporary `path` handed to the
// encoder) and "renaming" (`path` complete and closed, not yet renamed).
void testHook(const char* step, const char* path);
// Announces that the temporary temp is being written for finalPath.
void testHookNames(const char* temp, const char* finalPath);
#else
inline void testHook(const char*, const char*) {}
inline void testHookNames(const char*, const char*) {}
#endif
