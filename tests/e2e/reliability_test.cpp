// Derived pictures appear whole or not at all, and the copy list stays a
// safe batch script whatever the file names.
#include <gtest/gtest.h>
#include <signal.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "support/test_support.h"

namespace {

using testsupport::countTemporaries;
using testsupport::fileExists;
using testsupport::readFile;
using testsupport::runQuorvel;
using testsupport::TempDir;

TEST(AtomicPictures, NoTemporaryFileStaysAfterARun) {
  TempDir t;
  testsupport::makeJpeg(t / "a/p.jpg", 800, 600);
  auto r = runQuorvel({"a"}, t.path());
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(fileExists(t / "a/p.md.jpg"));
  EXPECT_TRUE(fileExists(t / "a/p.vi.jpg"));
  EXPECT_EQ(countTemporaries(t.path()), 0);
}

// An old temporary is a dead run's and is removed; a young one may be a live
// run's and stays. Neither is ever a source.
TEST(AtomicPictures, LeftoverTemporaryIsRemovedOnlyWhenOldAndNeverASource) {
  TempDir t;
  testsupport::makeJpeg(t / "a/p.jpg", 800, 600);
  auto first = runQuorvel({"a"}, t.path());
  ASSERT_EQ(first.status, 0);
  // What interrupted runs leave: complete-looking JPEGs under temporary
  // names (the last as earlier versions named them).
  const std::string old = t / "a/.quorvel-tmp-OLDOLDOLD0", young = t / "a/.quorvel-tmp-YOUNGYOUNG",
                    legacy = t / "a/q.vi.jpg.quorvel-tmp";
  for (const std::string& temp : {old, young, legacy}) testsupport::makeJpeg(temp, 400, 300);
  testsupport::touch(old, -3600);
  testsupport::touch(legacy, -3600);
  testsupport::writeFile(t / "a/notes.quorvel-tmp", "a user's own file");
  auto second = runQuorvel({"a"}, t.path());
  ASSERT_EQ(second.status, 0);
  EXPECT_FALSE(fileExists(old));
  EXPECT_FALSE(fileExists(legacy));
  EXPECT_TRUE(fileExists(young));
  EXPECT_FALSE(fileExists(t / "a/q.vi.vi.jpg"));
  EXPECT_TRUE(fileExists(t / "a/notes.quorvel-tmp"));
  EXPECT_EQ(readFile(t / "a/quorvelLeft.html").find("quorvel-tmp"), std::string::npos);
}

// Runs the binary with a small file-size limit, so that the JPEG library
// fails while it writes (as on a full disk) and ends the process.
int runWithFileSizeLimit(const std::string& cwd, const std::string& root, rlim_t limit) {
  return testsupport::runQuorvelPrepared({root}, cwd, [limit] {
           struct rlimit rl = {limit, limit};
           setrlimit(RLIMIT_FSIZE, &rl);
           signal(SIGXFSZ, SIG_IGN);
         }).status;
}

TEST(AtomicPictures, LibraryErrorWhileEncodingLeavesNoTemporaryFile) {
  TempDir t;
  testsupport::makeJpeg(t / "a/p.jpg", 1600, 1200);
  EXPECT_EQ(runWithFileSizeLimit(t.path(), "a", 6000), 1);
  EXPECT_EQ(countTemporaries(t.path()), 0);
  EXPECT_FALSE(fileExists(t / "a/p.md.jpg"));
  EXPECT_FALSE(fileExists(t / "a/p.vi.jpg"));
  // The next run, with room again, makes the whole set.
  auto r = runQuorvel({"a"}, t.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("a/p.vi.jpg\n"), std::string::npos);
  EXPECT_TRUE(fileExists(t / "a/p.vi.jpg"));
}

TEST(CopyList, PercentIsDoubledAndUnquotableNamesAreLeftOut) {
  TempDir t;
  testsupport::makeJpeg(t / "a/100%.jpg", 300, 300);
  testsupport::makeJpeg(t / "a/b\"c.jpg", 300, 300);
  testsupport::makeJpeg(t / "a/line\nbreak.jpg", 300, 300);
  testsupport::makeJpeg(t / "a/z.jpg", 300, 300);
  auto r = runQuorvel({"a", "-list:copy.bat"}, t.path());
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(readFile(t / "copy.bat"),
            "copy \"a/100%%.jpg\" \"%1\\00000.jpg\"\n"
            "copy \"a/z.jpg\" \"%1\\00001.jpg\"\n");
  // Left out of the list only: the album still shows them.
  EXPECT_TRUE(fileExists(t / "a/b\"c.vi.jpg"));
  EXPECT_TRUE(fileExists(t / "a/line\nbreak.vi.jpg"));
}

}  // namespace
