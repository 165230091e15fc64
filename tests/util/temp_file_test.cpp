#include "util/temp_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <string>

#include "support/test_support.h"
#include "util/file_handle.h"

namespace {

using testsupport::fileExists;
using testsupport::TempDir;
using testsupport::writeFile;

// A live run holds the lock of each temporary it writes; only a dead run's
// old, plain temporaries go.
TEST(TempFile, StaleTemporaryIsRemovedOnlyWhenOldRegularAndUnlocked) {
  TempDir t;
  auto temp = [&](const char* random) { return t / (std::string(kTempPrefix) + random); };
  const std::string stale = temp("AAAAAAAAAA"), young = temp("BBBBBBBBBB"),
                    live = temp("CCCCCCCCCC"), link = temp("DDDDDDDDDD");
  writeFile(stale, "x");
  writeFile(young, "x");
  FileHandle held = fileCreateNew(live.c_str());  // a running run's, locked
  ASSERT_TRUE(held);
  ASSERT_EQ(symlink(stale.c_str(), link.c_str()), 0);
  for (const std::string& p : {stale, live}) testsupport::touch(p, -kStaleTempSeconds - 60);

  for (const std::string& p : {stale, young, live, link}) {
    EXPECT_TRUE(fileIsTempName(p.substr(p.rfind('/') + 1).c_str()));
    fileRemoveStaleTemp(p.c_str());
  }
  EXPECT_FALSE(fileExists(stale));
  EXPECT_TRUE(fileExists(young));
  EXPECT_TRUE(fileExists(live));
  struct stat st;
  EXPECT_EQ(lstat(link.c_str(), &st), 0);
  EXPECT_FALSE(fileIsTempName((std::string(kTempPrefix) + "AAAAAAAAA").c_str()));
  EXPECT_FALSE(fileIsTempName("notes.quorvel-tmp"));
}

// A reader that closed the pipe early ends the run by SIGPIPE, as it would
// end any program, and the page being written aside goes with it.
TEST(TempFile, BrokenPipeRemovesTheTemporaryAndEndsBySigpipe) {
  TempDir t;
  const std::string page = t / "page.html";
  const pid_t child = fork();
  ASSERT_NE(child, -1);
  if (child == 0) {
    signal(SIGPIPE, SIG_DFL);
    fileRemoveTempsOnSignals();
    TempFile temp;
    if (temp.create(page) != 0) _exit(2);
    raise(SIGPIPE);
    _exit(3);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status)) << status;
  EXPECT_EQ(WTERMSIG(status), SIGPIPE);
  for (const auto& entry : std::filesystem::directory_iterator(t.path()))
    ADD_FAILURE() << "left behind: " << entry.path();
}

}  // namespace
