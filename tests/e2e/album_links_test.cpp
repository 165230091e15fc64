// Links planted in an album lead nowhere outside it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "support/test_support.h"

namespace {

using testsupport::makeJpeg;
using testsupport::readFile;
using testsupport::runQuorvel;
using testsupport::RunResult;
using testsupport::TempDir;
using testsupport::writeFile;

// Links planted in an album lead nowhere outside it: a caption or title read
// through one is not read, a derived picture that is one is made again.
TEST(AlbumLinks, LinksOutOfTheAlbumAreNeitherReadNorTrusted) {
  TempDir t;
  makeJpeg(t / "a/p.jpg", 300, 300);
  makeJpeg(t / "a/q.jpg", 300, 300, 1);
  writeFile(t / "outside/secret", "SECRET");
  makeJpeg(t / "outside/private.jpg", 96, 96, 2);
  writeFile(t / "a/notes/mine.txt", "Within");
  symlink("../outside/secret", (t / "a/p.txt").c_str());
  symlink("../outside/secret", (t / "a/title.txt").c_str());
  symlink("notes/mine.txt", (t / "a/q.txt").c_str());
  symlink("../outside/private.jpg", (t / "a/p.vi.jpg").c_str());
  testsupport::touch(t / "a/p.jpg", -100);
  RunResult r = runQuorvel({"a"}, t.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "*** quorvel: \"a/p.txt\" is a link out of the album: not read\n"
                   "*** quorvel: \"a/title.txt\" is a link out of the album: not read\n");
  for (const char* page : {"a/quorvelLeft.html", "a/quorvelTop.html", "a/quorvelFrameset.html"})
    EXPECT_EQ(readFile(t / page).find("SECRET"), std::string::npos) << page;
  EXPECT_NE(readFile(t / "a/q.html").find("Within"), std::string::npos);
  struct stat st;
  ASSERT_EQ(lstat((t / "a/p.vi.jpg").c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
  EXPECT_EQ(testsupport::jpegSize(t / "outside/private.jpg"), (testsupport::Size{96, 96}));
}

}  // namespace
