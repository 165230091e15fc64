// The program's entry.
#include "run/entry.h"

#include <cstdio>

#include "album/picture_list.h"
#include "base/settings.h"
#include "run/notice.h"
#include "run/options.h"
#include "run/walk.h"

int quorvelMain(int argc, char** argv) {
  noticePrint();
  if (!docWriteCv()) {
    fputs("*** quorvel ERROR \"can't write cv.html\"\n\n", stderr);
    return 1;
  }
  optionsRead(argc, argv);
  int status = 0;
  if (argc == 2) {
    albumWalk(argv[1]);
  } else {
    fputs(kUsageText, stdout);
    status = 2;  // a wrong command line is not a successful run
  }
  gPictureList.file.reset();
  return status;
}
