// The program's entry.
#include "run/entry.h"

#include <cstdio>
#include <cstring>

#include "album/picture_list.h"
#include "base/fatal.h"
#include "base/settings.h"
#include "run/notice.h"
#include "run/options.h"
#include "run/walk.h"

namespace {

// No album directory is named like this by accident.
bool asksForHelp(const char* arg) {
  return !strcmp(arg, "-h") || !strcmp(arg, "--help") || !strcmp(arg, "-help");
}

}  // namespace

int quorvelMain(int argc, char** argv) {
  // Asked before anything else: a version query writes nothing.
  if (argc == 2 && !strcmp(argv[1], "--version")) {
    fputs("quorvel " QUORVEL_VERSION "\n", stdout);
    return 0;
  }
  noticePrint();
  switch (docWriteCv()) {
    case CvOutcome::Written:
      break;
    case CvOutcome::LeftAlone:
      fputs("*** quorvel: cv.html is not quorvel's about page, left as it is\n", stderr);
      break;
    case CvOutcome::Failed:
      fputs("*** quorvel ERROR \"can't write cv.html\"\n\n", stderr);
      return 1;
  }
  optionsRead(argc, argv);
  int status = 0;
  if (argc == 2 && !asksForHelp(argv[1])) {
    albumWalk(argv[1]);
    // Pictures left out of their album still make the run a failure.
    if (reportedFailures() > 0) status = 1;
  } else {
    fputs(kUsageText, stdout);
    if (argc != 2) status = 2;  // a wrong command line is not a successful run
  }
  gPictureList.file.reset();
  return status;
}
