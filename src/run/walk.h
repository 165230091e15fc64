// The album walk: in the walk's order (run/walk_order.h) over the album root,
// on one 300-byte path buffer; three passes over each directory's files (MP3,
// video, pictures), its pages written around them (run/album_directory.h).
#pragma once

// Walks root (as typed on the command line). A root that is empty, too long
// for the path buffer (with room for a separator, a name, "/." and the NUL),
// missing, not a directory or not readable ends the run before anything is
// printed or written.
void albumWalk(const char* root);
