// Edges: output that can't be written, pictures changed within a second,
// JPEGs the library doesn't decode, files far larger than their pictures,
// and folders that can't be listed.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

using testsupport::makeJpeg;
using testsupport::microLines;
using testsupport::runQuorvel;
using testsupport::RunResult;
using testsupport::TempDir;

constexpr char kError[] = "**** ERROR quorvel : ";

// The album is still made, but a run whose account of itself was lost is no
// success.
TEST(Edges, ProgressOutputThatCannotBeWrittenFailsTheRunAtTheEnd) {
  TempDir t;
  testsupport::makeJpeg(t / "a/p.jpg", 300, 300);
  auto r = testsupport::runQuorvelPrepared({"a"}, t.path(), [] { dup2(open("/dev/full", O_WRONLY), 1); });
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "*** quorvel: the progress output could not be written: No space left on device\n");
  EXPECT_TRUE(testsupport::fileExists(t / "a/quorvelLeft.html"));
}

// A picture replaced within the second its thumbnail was made is newer.
TEST(Edges, PictureChangedWithinTheSameSecondIsMadeAgain) {
  TempDir t;
  makeJpeg(t / "a/a.jpg", 300, 300);
  ASSERT_EQ(runQuorvel({"a"}, t.path()).status, 0);
  makeJpeg(t / "a/a.jpg", 300, 300, 7);
  const time_t second = time(nullptr);
  const struct timespec made[2] = {{second, 500}, {second, 500}}, replaced[2] = {{second, 501}, {second, 501}};
  ASSERT_EQ(utimensat(AT_FDCWD, (t / "a/a.vi.jpg").c_str(), made, 0), 0);
  ASSERT_EQ(utimensat(AT_FDCWD, (t / "a/a.jpg").c_str(), replaced, 0), 0);
  EXPECT_EQ(microLines(runQuorvel({"a"}, t.path()).out), std::vector<std::string>{"a/a.vi.jpg"});
}

// A 12-bit or a lossless JPEG is a picture this library can't decode, not
// a damaged file: it is left out by name and the run fails.
TEST(Edges, UnsupportedJpegsAreLeftOutAndCount) {
  TempDir t;
  makeJpeg(t / "x/good.jpg", 300, 300);
  const std::string good = testsupport::readFile(t / "x/good.jpg");
  const size_t sof = good.find("\xff\xc0");
  ASSERT_NE(sof, std::string::npos);
  std::string twelveBit = good, lossless = good;
  twelveBit[sof + 4] = 12;
  lossless[sof + 1] = '\xc3';
  testsupport::writeFile(t / "x/lossless.jpg", lossless);
  testsupport::writeFile(t / "x/twelve.jpg", twelveBit);
  RunResult r = testsupport::runQuorvel({"x"}, t.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "x/lossless.jpg: Unsupported JPEG process: SOF type 0xc3\n" + std::string(kError) +
                       "picture not supported by the JPEG library \"x/lossless.jpg\"\n"
                       "x/twelve.jpg: Unsupported JPEG data precision 12\n" +
                       kError + "picture not supported by the JPEG library \"x/twelve.jpg\"\n");
  EXPECT_EQ(microLines(r.out), std::vector<std::string>{"x/good.vi.jpg"});
}

// A GIF of 1 GiB (its picture, then a hole) costs what its pixels need: its
// size is read from its first bytes, not from a copy of the whole file.
TEST(Edges, AHugeGifIsNotReadWholeForItsSize) {
  TempDir t;
  testsupport::makeGif(t / "x/huge.gif", 300, 300);
  ASSERT_EQ(truncate((t / "x/huge.gif").c_str(), 1LL << 30), 0);
  RunResult r = runQuorvel({"x"}, t.path());
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(testsupport::microLines(r.out), std::vector<std::string>{"x/huge.vi.jpg"});
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
  EXPECT_LT(r.peakKiB, 64 << 10);  // the copy of the whole file was 1 GiB
#endif
}

// A sub-album that can't be listed is named once, not once per listing.
TEST(Edges, UnreadableSubAlbumIsNamedOnce) {
  TempDir t;
  makeJpeg(t / "x/p.jpg", 300, 300);
  testsupport::makeDirs(t / "x/unlisted");
  for (const auto& dir : {t.path(), t / "x"}) chmod(dir.c_str(), 0777);
  chmod((t / "x/unlisted").c_str(), 0333);  // writable, not readable
  RunResult r = testsupport::runQuorvelUnprivileged({"x"}, t.path());
  const std::string unlisted = "pb scandir x/unlisted/.\n";
  EXPECT_NE(r.out.find(unlisted), std::string::npos);
  EXPECT_EQ(r.out.find(unlisted), r.out.rfind(unlisted));
}

}  // namespace
