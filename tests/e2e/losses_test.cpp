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

  RunResult r = testsupport::runQuorvelUnprivileged({"x"}, t.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, std::string(kError) + "path too long \"" + tooLongDir + "\": left out\n" + kError +
                       "path too long \"" + tooLongFile + "\": left out\n" + kError +
                       "can't read \"x/locked.jpg\": Permission denied\n");
  EXPECT_EQ(microLines(r.out), std::vector<std::string>{longGif.substr(0, longGif.size() - 4) + ".vi.jpg"});
}

}  // namespace
