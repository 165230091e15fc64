// quorvel --clean [--force] <album-dir>: removes what runs of quorvel wrote
// into the tree, by the rules it writes them by (album/own_files.h), and
// cv.html in the current directory when it is quorvel's about page. A folder
// holding the mark of an -out: album is cleaned as one (run/out_folder.h).
#pragma once

// Walks the tree by descriptor from root: no symbolic link is followed, no
// other file system entered (that folder is named), and a folder where a
// live run holds a temporary is named and left as it is. Refuses, naming
// the reason, "/", the home directory, and (unless force) a folder with no
// page of a quorvel album at its top; nothing is removed then.
// Returns the exit status: 0 when everything quorvel wrote is gone, 1 when
// the cleaning was refused, or a file or folder could not be removed, read,
// entered or cleaned (each named on standard error), 2 when root is no
// directory.
int cleanTree(const char* root, bool force = false);
