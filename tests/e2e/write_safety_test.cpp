// What quorvel writes is whole, lands where it is named and nowhere else,
// and every failure to write it ends the run with its reason.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

using testsupport::countTemporaries;
using testsupport::fileExists;
using testsupport::makeJpeg;
using testsupport::readFile;
using testsupport::runQuorvel;
using testsupport::runQuorvelPrepared;
using testsupport::RunResult;
using testsupport::TempDir;
using testsupport::writeFile;

constexpr char kError[] = "**** ERROR quorvel : ";

// As on a full disk: the picture's page outgrows the file-size limit while
// the pictures and the other pages fit.
TEST(WriteSafety, PageThatCannotBeWrittenEndsTheRunNamingItAndItsReason) {
  TempDir t;
  makeJpeg(t / "a/p.jpg", 300, 300);
  writeFile(t / "a/p.txt", "caption");
  const std::string info = "-infoText:" + std::string(20000, 'x');
  const RunResult r = runQuorvelPrepared({"a", info}, t.path(), [] {
    struct rlimit rl = {12000, 12000};
    setrlimit(RLIMIT_FSIZE, &rl);
    signal(SIGXFSZ, SIG_IGN);
  });
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, std::string(kError) + "can't write \"a/p.html\": File too large\n");
  EXPECT_FALSE(fileExists(t / "a/p.html"));
  EXPECT_EQ(countTemporaries(t.path()), 0);
}

TEST(WriteSafety, PlantedLinksAreReplacedNeverWrittenThrough) {
  TempDir t;
  makeJpeg(t / "a/p.jpg", 300, 300);
  writeFile(t / "page-victim", "mine");
  writeFile(t / "picture-victim", "mine too");
  ASSERT_EQ(symlink("../page-victim", (t / "a/quorvelLeft.html").c_str()), 0);
  ASSERT_EQ(symlink("../picture-victim", (t / "a/p.vr.jpg").c_str()), 0);
  RunResult r = runQuorvel({"a"}, t.path());
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(readFile(t / "page-victim"), "mine");
  EXPECT_EQ(readFile(t / "picture-victim"), "mine too");
  struct stat st;
  ASSERT_EQ(lstat((t / "a/quorvelLeft.html").c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
}

// The temporaries' names are short: a derived name of 255 bytes, the most a
// file system takes, still gets written.
TEST(WriteSafety, DerivedNamesOfTheLongestLengthAreWritten) {
  TempDir t;
  const std::string base(248, 'n');
  makeJpeg(t / ("a/" + base + ".jpg"), 300, 300);
  RunResult r = runQuorvel({"a"}, t.path());
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(fileExists(t / ("a/" + base + ".vr.jpg")));
  EXPECT_TRUE(fileExists(t / ("a/" + base + ".vi.jpg")));
}

// With standard error closed, the Left page would take descriptor 2 and the
// decoder's warning about the cut picture would be written into it.
TEST(WriteSafety, ClosedStandardErrorNeverPutsMessagesIntoAPage) {
  TempDir t;
  makeJpeg(t / "a/p1.jpg", 300, 300);
  makeJpeg(t / "a/p2.jpg", 300, 300, 1);
  const std::string whole = readFile(t / "a/p2.jpg");
  writeFile(t / "a/p2.jpg", whole.substr(0, whole.size() * 2 / 3));
  (void)runQuorvelPrepared({"a"}, t.path(), [] { close(2); });
  const std::string left = readFile(t / "a/quorvelLeft.html");
  ASSERT_NE(left, "");
  EXPECT_EQ(left.find("JPEG"), std::string::npos);
  EXPECT_EQ(left.find("p2.jpg:"), std::string::npos);
}

// A folder that can't be written, a name the file system can't hold, a
// directory at a derived name or at a picture page's name: each costs only
// its album or picture, named once with the reason, and every other page is
// made. Run as nobody: root writes everywhere.
TEST(WriteSafety, BadNamesAndFoldersCostOnlyThemselves) {
  TempDir t;
  makeJpeg(t / "a/ro/p.jpg", 300, 300);
  makeJpeg(t / "a/ro/sub/s.jpg", 300, 300, 1);
  const std::string longName = std::string(249, 'n') + ".jpg";  // 253 bytes: its .vi.jpg passes 255
  makeJpeg(t / ("a/rw/" + longName), 300, 300, 2);
  makeJpeg(t / "a/rw/pic.jpg", 300, 300, 3);
  testsupport::makeDirs(t / "a/rw/pic.vr.jpg");
  makeJpeg(t / "a/rw/q.jpg", 800, 640, 4);
  testsupport::makeDirs(t / "a/rw/q.md.html");
  makeJpeg(t / "a/rw/good.jpg", 300, 300, 5);
  for (const auto& dir : {t.path(), t / "a", t / "a/rw", t / "a/ro/sub"}) chmod(dir.c_str(), 0777);
  chmod((t / "a/ro").c_str(), 0555);
  RunResult r = testsupport::runQuorvelUnprivileged({"a"}, t.path());
  chmod((t / "a/ro").c_str(), 0755);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, std::string(kError) + "can't write into the album \"a/ro\": Permission denied\n" + kError +
                       "imgJpegWriteFile(\"a/rw/" + std::string(249, 'n') + ".vr.jpg\"): File name too long\n" +
                       kError + "imgJpegWriteFile(\"a/rw/pic.vr.jpg\"): Is a directory\n" + kError +
                       "can't write \"a/rw/q.md.html\": Is a directory\n");
  EXPECT_TRUE(testsupport::fileExists(t / "a/ro/sub/quorvelLeft.html"));
  EXPECT_FALSE(testsupport::fileExists(t / "a/ro/p.vi.jpg"));
  const std::string left = readFile(t / "a/rw/quorvelLeft.html");
  EXPECT_NE(left.find("good.vi.jpg"), std::string::npos);
  for (const char* gone : {"pic.vi.jpg", "q.vi.jpg", "nnnn"}) EXPECT_EQ(left.find(gone), std::string::npos) << gone;
  EXPECT_TRUE(testsupport::fileExists(t / "a/quorvelFrameset.html"));
  for (const char* page : {"quorvelFrameset.html", "quorvelTop.html", "quorvelRight.html"})
    EXPECT_TRUE(testsupport::fileExists(t / (std::string("a/rw/") + page))) << page;
}

// Runs quorvel-kill on album in cwd with QUORVEL_JOBS=jobs and the swap point
// at (the test hook's "<step>:<path>"): album/sub becomes a link to outside.
// Its exit status, or 128 + the signal that ended it.
int runSwapped(const std::string& cwd, const std::string& at, const char* jobs) {
  const pid_t pid = fork();
  if (pid == 0) {
    const int devnull = open("/dev/null", O_WRONLY);
    dup2(devnull, 1);
    dup2(devnull, 2);
    if (chdir(cwd.c_str()) != 0 || setenv("QUORVEL_JOBS", jobs, 1) != 0 ||
        setenv("QUORVEL_TEST_SWAP", at.c_str(), 1) != 0 || setenv("QUORVEL_TEST_SWAP_DIR", "album/sub", 1) != 0 ||
        setenv("QUORVEL_TEST_SWAP_TARGET", (cwd + "/outside").c_str(), 1) != 0)
      _exit(126);
    execl(QUORVEL_KILL_BINARY, QUORVEL_KILL_BINARY, "album", static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// A sub-album swapped for a link to a folder outside the album while the run
// is in it, before its pages or between two of its pictures: whatever the
// run still writes, nothing lands outside.
TEST(WriteSafety, SubAlbumSwappedForALinkTakesNothingOutside) {
  for (const char* jobs : {"1", "2"}) {
    for (const std::string at : {"album:album/sub", "renaming:album/sub/p1.md.jpg"}) {
      SCOPED_TRACE(at + ", jobs " + jobs);
      TempDir t;
      for (const char* name : {"album/sub/p1.jpg", "album/sub/p2.jpg", "album/sub/p3.jpg", "album/q.jpg"})
        makeJpeg(t / name, 800, 640);
      makeJpeg(t / "outside/o.jpg", 800, 640, 1);
      const int status = runSwapped(t.path(), at, jobs);
      EXPECT_EQ(status, 1);
      std::vector<std::string> outside;
      for (const auto& e : std::filesystem::recursive_directory_iterator(t / "outside"))
        outside.push_back(e.path().filename().string());
      EXPECT_EQ(outside, std::vector<std::string>{"o.jpg"});
      EXPECT_TRUE(fileExists(t / "album/sub.was/p1.jpg"));  // the swap happened
    }
  }
}

TEST(WriteSafety, CopyListThatCannotBeCreatedIsFatal) {
  TempDir t;
  makeJpeg(t / "a/p.jpg", 300, 300);
  RunResult r = runQuorvel({"a", "-list:missing/copy.bat"}, t.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, std::string(kError) +
                       "can't create \"missing/copy.bat\": No such file or directory\n");
  EXPECT_FALSE(fileExists(t / "a/p.vi.jpg"));
  // A folder is refused at start-up too, not found out after the whole walk.
  testsupport::makeDirs(t / "lists");
  r = runQuorvel({"a", "-list:lists"}, t.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, std::string(kError) + "can't create \"lists\": Is a directory\n");
  EXPECT_FALSE(fileExists(t / "a/p.vi.jpg"));
}

TEST(WriteSafety, ConfigurationThatIsNoRegularFileIsFatal) {
  TempDir t;
  testsupport::makeDirs(t / "look.conf");
  RunResult r = runQuorvel({"-conf:look.conf"}, t.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, std::string(kError) + "can't load conf file \"look.conf\"\n");
}

}  // namespace
