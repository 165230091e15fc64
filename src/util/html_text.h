// HTML text writer: writes a user's ISO-8859-1 text into a page, letting
// known tags, comments and entities pass and turning other special and
// accented bytes into entities. Its own output passes through unchanged.
#pragma once

#include <cstdio>

void htmlWriteText(FILE* out, const char* text);

// True when text (at a '<') begins with a known tag (any case) or with "<!".
bool htmlIsTag(const char* text);

// True when text (at a '&') begins with a known named entity (exact case).
bool htmlIsEntity(const char* text);
