// The program's entry.
#include "run/entry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "album/picture_list.h"
#include "album/run_tally.h"
#include "base/fatal.h"
#include "base/settings.h"
#include "base/user_output.h"
#include "run/clean_tree.h"
#include "run/notice.h"
#include "run/options.h"
#include "run/walk.h"
#include "util/temp_file.h"

namespace {

// No album directory is named like this by accident.
bool asksForHelp(const char* arg) {
  return !strcmp(arg, "-h") || !strcmp(arg, "--help") || !strcmp(arg, "-help");
}

// A launcher that closed standard input, output or error would hand those
// descriptors to the first files opened, and progress text or library
// warnings would land in a page. They are held by /dev/null instead.
void holdStandardDescriptors() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // open gives the lowest free descriptor: fd itself.
    const int opened = open("/dev/null", O_RDWR);
    if (opened > 2) close(opened);
  }
}

// The -list: file is written aside and takes its name when the run ends. A
// folder at that name would be found only then, after the whole walk: it is
// refused now.
void createPictureList() {
  const char* path = gSettings.list;
  if (!path) return;
  struct stat st;
  if (stat(path, &st) == 0 && S_ISDIR(st.st_mode)) error("can't create \"%s\": %s", path, strerror(EISDIR));
  if (const int failure = gPictureList.file.create(path))
    error("can't create \"%s\": %s", path, strerror(failure));
}

void finishPictureList() {
  if (const int failure = gPictureList.file.commit())
    error("can't write \"%s\": %s", gSettings.list, strerror(failure));
}

// A full disk or a failing device under standard output would leave the
// run's account of itself unread while the run reports success. The errno,
// or 0 when everything was written; a closed pipe (SIGPIPE ignored) is the
// reader's choice, not a loss.
int progressOutputLost() {
  errno = 0;
  const bool flushed = fflush(stdout) == 0;
  if (flushed && !ferror(stdout)) return 0;
  const int failure = !flushed && errno != 0 ? errno : EIO;
  return failure == EPIPE ? 0 : failure;
}

bool namesOutFolder(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (!strncmp(argv[i], "-out:", 5)) return true;
  return false;
}

}  // namespace

int quorvelMain(int argc, char** argv) {
  holdStandardDescriptors();
  fileRemoveTempsOnSignals();
  // Asked before anything else: a version query writes nothing.
  if (argc == 2 && !strcmp(argv[1], "--version")) {
    userOutText("quorvel " QUORVEL_VERSION "\n");
    return 0;
  }
  // The cleaner takes any folder name, one starting with "-" as well.
  if (argc == 3 && !strcmp(argv[1], "--clean")) return cleanTree(argv[2]);
  if (argc == 4 && !strcmp(argv[1], "--clean") && !strcmp(argv[2], "--force")) return cleanTree(argv[3], true);
  const bool outFolder = namesOutFolder(argc, argv);
  noticePrint(outFolder);
  // An album written into a folder of its own gets its about page there
  // (the walk writes it once that folder is checked), not here.
  if (!outFolder) {
    switch (docWriteCv()) {
      case CvOutcome::Written:
        break;
      case CvOutcome::LeftAlone:
        userWarn("cv.html is not quorvel's about page, left as it is");
        break;
      case CvOutcome::Failed:
        userErrText("*** quorvel ERROR \"can't write cv.html\"\n\n");
        return 1;
    }
  }
  optionsRead(argc, argv);
  createPictureList();
  int status = 0;
  if (argc == 2 && !asksForHelp(argv[1])) {
    // What the run did is told to a person at a terminal, never to a script.
    if (isatty(STDERR_FILENO)) tallyStart();
    albumWalk(argv[1]);
    // Pictures left out of their album still make the run a failure.
    if (reportedFailures() > 0) status = 1;
  } else {
    userOutText(kUsageText);
    if (argc != 2) status = 2;  // a wrong command line is not a successful run
  }
  finishPictureList();
  if (const int lost = progressOutputLost()) {
    userWarn("the progress output could not be written: %s", strerror(lost));
    status = status == 0 ? 1 : status;
  }
  return status;
}
