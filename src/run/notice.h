// The start-up notice and the embedded "about" document (cv.html).
#pragma once

#include <cstdio>

// Writes the three-line notice and a blank line on standard output; with
// outFolder (-out:), the one that says where that album goes.
void noticePrint(bool outFolder = false);

// Expands a coded document onto out: block holds 255 NUL-terminated entries
// (codes 1..255, in order), then a stream of code bytes ended by NUL; each
// code writes its entry. REQUIRES: block is well formed (it is built in).
void docWrite(const char* block, FILE* out);

// The program's own coded document.
const char* embeddedDoc();

// Whether path is quorvel's about page: it carries the marker line of the
// embedded document, or it is byte for byte the page of quorvel 1.0.0, which
// had no marker. False for anything that cannot be read as a file: what we
// can't check we neither overwrite nor remove.
bool docIsOwnCv(const char* path);

enum class CvOutcome {
  Written,    // cv.html holds the embedded document
  LeftAlone,  // a cv.html that is not quorvel's own is there; it was not touched
  Failed,     // cv.html could not be created
};

// Writes the embedded document to path ("cv.html" in the current directory,
// or in the out folder under -out:), but only where no file exists there or
// the existing one is quorvel's own (docIsOwnCv).
CvOutcome docWriteCv(const char* path = "cv.html");
