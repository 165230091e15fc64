// quorvel --clean <album-dir>: removes what runs of quorvel wrote into the
// tree, by the rules it writes them by (album/own_files.h), and cv.html in
// the current directory when it is quorvel's about page. A folder holding
// the mark of an -out: album is cleaned as one (run/out_folder.h).
#pragma once

// Returns the exit status: 0 when everything quorvel wrote is gone, 1 when
// a file or folder could not be removed or read (each named on standard
// error), 2 when root is no directory.
int cleanTree(const char* root);
