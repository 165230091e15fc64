// Start-up notice and the embedded document.
#include "run/notice.h"

#include "embedded_doc.inc"  // kEmbeddedDocBytes, coded at build time
#include "util/file_handle.h"

void noticePrint() {
  fputs(
      "quorvel 1.0.0 - static photo albums\n"
      "thumbnails, rollover lenses and frameset pages beside your pictures\n"
      "cv.html in the current directory tells more\n"
      "\n",
      stdout);
}

void docWrite(const char* block, FILE* out) {
  const char* entry[256] = {};
  const char* cursor = block;
  for (int code = 1; code <= 255; ++code) {
    entry[code] = cursor;
    while (*cursor) ++cursor;
    ++cursor;
  }
  for (const unsigned char* code = reinterpret_cast<const unsigned char*>(cursor); *code; ++code)
    fputs(entry[*code], out);
}

const char* embeddedDoc() { return kEmbeddedDocBytes; }

bool docWriteCv() {
  FileHandle cv = fileOpen("cv.html", "wt");
  if (!cv) return false;
  docWrite(embeddedDoc(), cv.get());
  return true;
}
