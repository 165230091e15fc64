// The start-up notice and the embedded "about" document (cv.html).
#pragma once

#include <cstdio>

// Writes the three-line notice and a blank line on standard output.
void noticePrint();

// Expands a coded document onto out: block holds 255 NUL-terminated entries
// (codes 1..255, in order), then a stream of code bytes ended by NUL; each
// code writes its entry. REQUIRES: block is well formed (it is built in).
void docWrite(const char* block, FILE* out);

// The program's own coded document.
const char* embeddedDoc();

// Writes the embedded document to "cv.html" in the current directory.
// False when the file cannot be created.
bool docWriteCv();
