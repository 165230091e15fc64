#include "util/temp_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "support/test_support.h"
#include "util/file_handle.h"

namespace {

using testsupport::fileExists;
using testsupport::readFile;
using testsupport::TempDir;
using testsupport::writeFile;

TEST(TempFile, CommitReplacesAPlantedLinkAndNeverWritesThroughIt) {
  TempDir t;
  writeFile(t / "victim", "precious");
  ASSERT_EQ(symlink((t / "victim").c_str(), (t / "page.html").c_str()), 0);
  TempFile page;
  ASSERT_EQ(page.create(t / "page.html"), 0);
  fputs("<html>", page.get());
  ASSERT_EQ(page.commit(), 0);
  EXPECT_EQ(readFile(t / "victim"), "precious");
  struct stat st;
  ASSERT_EQ(lstat((t / "page.html").c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
  EXPECT_EQ(readFile(t / "page.html"), "<html>");
}

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

}  // namespace
