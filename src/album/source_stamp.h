// A JPEG's header as its last read found it, kept on its thumbnail in an
// extended attribute with the identity of the file read and of the program
// that read it. A run that finds the thumbnail up to date takes the
// picture's size from there: reading the header means walking every
// segment ahead of the frame, and an editor's history or a phone's depth
// map puts a hundred of them there. Where the file system keeps no
// attributes, every run reads the header, as without the stamp.
#pragma once

#include <string>

#include "img/format_codec.h"

// Who the original is now: its file's identity and change times.
struct SourceIdentity {
  unsigned long long device = 0, inode = 0;
  long long size = 0;
  long long modifiedSec = 0, modifiedNsec = 0;
  long long changedSec = 0, changedNsec = 0;
};

// path's identity; false when it can't be had.
bool sourceIdentityOf(const char* path, SourceIdentity* identity);

// The header the stamp on micro (a thumbnail, not followed when a link)
// keeps for the original of identity, read as allContent says
// (-allpics reads a .jpg by its content); false when micro carries no
// stamp, or one of another file, state of it, reading or program.
bool sourceStampRead(const std::string& micro, const SourceIdentity& identity, bool allContent,
                     ImgHeaderInfo* header);

// Stamps micro with header, as read from the original of identity. Best
// effort: a file system without attributes, or a thumbnail that can't be
// written to, stays unstamped.
void sourceStampWrite(const std::string& micro, const SourceIdentity& identity, bool allContent,
                      const ImgHeaderInfo& header);
