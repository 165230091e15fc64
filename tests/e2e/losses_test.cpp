// Every picture or folder a run leaves out is named, and makes the run a
// failure: none goes missing in silence.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "support/test_support.h"

namespace {

using testsupport::makeGif;
using testsupport::makeJpeg;
using testsupport::microLines;
using testsupport::RunResult;
using testsupport::TempDir;

constexpr char kError[] = "**** ERROR quorvel : ";

TEST(Losses, UnreadablePicturesAndPathsPastTheBufferAreNamed) {
  TempDir t;
  makeJpeg(t / "x/locked.jpg", 300, 300);
  chmod((t / "x/locked.jpg").c_str(), 0);
  // The walk's paths are built in 300 bytes: x/<200 d>/<100 f>.jpg is past them.
  const std::string deep = "x/" + std::string(200, 'd');
  const std::string tooLongFile = deep + "/" + std::string(100, 'f') + ".jpg";
  const std::string tooLongDir = deep + "/" + std::string(100, 'e');
  makeJpeg(t / tooLongFile, 300, 300, 1);
  testsupport::makeDirs(t / tooLongDir);
  // A GIF at a path of 196 bytes or more is still probed as a GIF.
  const std::string longGif = deep + "/" + std::string(40, 'g') + ".gif";
  makeGif(t / longGif, 300, 300);
  for (const auto& dir : {t.path(), t / "x", t / deep}) chmod(dir.c_str(), 0777);
  testsupport::makeDirs(t / "x/unlisted");
  chmod((t / "x/unlisted").c_str(), 0333);  // writable, not readable: named once

  RunResult r = testsupport::runQuorvelUnprivileged({"x"}, t.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, std::string(kError) + "path too long \"" + tooLongDir + "\": left out\n" + kError +
                       "path too long \"" + tooLongFile + "\": left out\n" + kError +
                       "can't read \"x/locked.jpg\": Permission denied\n");
  EXPECT_EQ(microLines(r.out), std::vector<std::string>{longGif.substr(0, longGif.size() - 4) + ".vi.jpg"});
  const std::string unlisted = "pb scandir x/unlisted/.\n";
  EXPECT_EQ(r.out.find(unlisted), r.out.rfind(unlisted));
  EXPECT_NE(r.out.find(unlisted), std::string::npos);
}

// A 12-bit or a lossless JPEG is a picture this library can't decode, not
// a damaged file: it is left out by name and the run fails.
TEST(Losses, UnsupportedJpegsAreLeftOutAndCount) {
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

}  // namespace
