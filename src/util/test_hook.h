// Kill points for the interruption test, which must stop the real binary at
// an exact step instead of racing it. The installed binary links the empty
// definition (util/test_hook.cpp); only the test build's second executable,
// quorvel-kill, links the one that reads QUORVEL_TEST_KILL
// (tests/support/kill_hook.cpp), so what is installed has no such switch.
#pragma once

// Steps: "writing" (half the rows of finalPath's picture handed to the
// encoder), "renaming" (finalPath's temporary complete and closed, not yet
// renamed) and "album" (the walk about to write the album of directory
// finalPath, its subdirectories done) and "cleaning" (the cleaner has
// listed the folder finalPath, not yet entered its subfolders). Any thread
// may call it.
void testHook(const char* step, const char* finalPath);
