// The batch-copy list.
#include "album/picture_list.h"

#include <cstdio>
#include <string>

PictureList gPictureList;

// In a batch script '%' must be doubled; a '"' or a control byte (a line feed
// would start a new command) cannot be quoted at all, so such a path is left
// out of the list.
void pictureListAdd(const char* path, const char* extension) {
  FILE* list = gPictureList.file.get();
  if (!list) return;
  std::string quoted;
  for (const char* p = path; *p; ++p) {
    unsigned char c = static_cast<unsigned char>(*p);
    if (c == '"' || c < 0x20) return;
    quoted += *p;
    if (c == '%') quoted += '%';
  }
  fprintf(list, "copy \"%s\" \"%%1\\%05d%s\"\n", quoted.c_str(), gPictureList.counter, extension);
  ++gPictureList.counter;
}
