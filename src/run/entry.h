// The program's entry: notice, cv.html, options, configuration, list file,
// then the album walk or the usage text.
#pragma once

// "--clean [--force] <dir>" runs the album cleaner (run/clean_tree.h) instead.
// Returns the process's exit status: 0 after a walk, after --version and
// after a request for help (-h, --help, -help); 2 after the usage text for a
// wrong command line; 1 when cv.html cannot be written.
int quorvelMain(int argc, char** argv);
