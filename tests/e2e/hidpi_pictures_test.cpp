// -hidpi's derived pictures: sizes, bytes, the up-to-date test, the cleaner.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

using namespace testsupport;
using Lines = std::vector<std::string>;

// An APP1 (Exif, XMP) or APP13 (IPTC) segment before the first scan.
bool carriesMetadata(const std::string& bytes) {
  for (size_t at = 2; at + 4 <= bytes.size() && bytes[at] == '\xff' && bytes[at + 1] != '\xda';) {
    if (bytes[at + 1] == '\xe1' || bytes[at + 1] == '\xed') return true;
    at += 2 + (static_cast<unsigned char>(bytes[at + 2]) << 8 | static_cast<unsigned char>(bytes[at + 3]));
  }
  return false;
}

std::set<std::string> filesIn(const std::string& dir) {
  std::set<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir)) names.insert(e.path().filename().string());
  return names;
}

TEST(HidpiPictures, AreMadeOnceAtTheirSizesWithoutMetadataAndCleanedAlone) {
  TempDir t;
  JpegParams camera{.width = 4000, .height = 3000, .app1 = exifOrientationSegment(1, false)};
  writeJpeg(t / "x/big.jpg", camera);
  makeJpeg(t / "x/mid.jpg", 1000, 700, 1);
  makeJpeg(t / "x/small.jpg", 300, 250, 2);     // inside the medium box
  makeJpeg(t / "x/user.vi2.jpg", 400, 300, 3);  // no user.vi.jpg beside: the user's
  const std::set<std::string> sources = filesIn(t / "x");
  ASSERT_TRUE(carriesMetadata(readFile(t / "x/big.jpg")));
  EXPECT_EQ(microLines(runQuorvel({"x"}, t.path()).out),
            (Lines{"x/big.vi.jpg", "x/mid.vi.jpg", "x/small.vi.jpg", "x/user.vi2.vi.jpg"}));

  const Lines hidpi = {"-hidpi", "-shadow", "x"};
  auto first = runQuorvel(hidpi, t.path());
  ASSERT_EQ(first.status, 0) << first.err;
  EXPECT_EQ(microLines(first.out), (Lines{"x/big.vi.jpg", "x/mid.vi.jpg", "x/small.vi.jpg"}));
  // The 89 x 89 thumbnail box at 1x, 2x and 3x, the shadow's strip at the same scale.
  for (const auto& [name, size] : std::vector<std::pair<std::string, Size>>{
           {"big.lg", {2000, 1500}}, {"big.md", {640, 480}}, {"big.vi", {96, 73}}, {"big.vi2", {192, 147}},
           {"big.vr3", {288, 221}}, {"mid.lg", {1000, 700}}, {"mid.md", {640, 448}}, {"small.md", {300, 250}},
           {"small.vr2", {192, 162}}, {"small.vi3", {288, 243}}})
    EXPECT_EQ(jpegSize(t / ("x/" + name + ".jpg")), size) << name;
  EXPECT_FALSE(fileExists(t / "x/small.lg.jpg"));
  int made = 0;
  for (const std::string& name : filesIn(t / "x")) {
    if (!name.ends_with(".jpg") || sources.count(name) || name.starts_with("user.")) continue;
    ++made;
    EXPECT_FALSE(carriesMetadata(readFile(t / ("x/" + name)))) << name;
  }
  EXPECT_EQ(made, 3 * 8 - 1);

  EXPECT_EQ(microLines(runQuorvel(hidpi, t.path()).out), Lines{});
  // As if an earlier version had taken a photo of the user's named
  // mid.vi2.jpg as a picture: the photo stays, its thumbnail goes.
  writeFile(t / "x/mid.vi2.vi.jpg", readFile(t / "x/mid.vi.jpg"));
  ASSERT_EQ(runQuorvel({"--clean", "x"}, t.path()).status, 0);
  std::set<std::string> left = sources;
  left.insert("mid.vi2.jpg");
  EXPECT_EQ(filesIn(t / "x"), left);
}

}  // namespace

// A name whose -hidpi files would pass the file system's 255 bytes leaves
// its picture out before anything of it is written.
TEST(HidpiPictures, ANameTooLongForTheDenserFilesLeavesNothingBehind) {
  TempDir t;
  const std::string name = std::string(248, 'a') + ".jpg";  // ".vi3.jpg" makes 256
  makeJpeg(t / ("x/" + name), 1000, 700);
  const auto run = runQuorvel({"x", "-hidpi"}, t.path());
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("File name too long"), std::string::npos) << run.err;
  std::vector<std::string> left;
  for (const auto& e : std::filesystem::directory_iterator(t / "x")) left.push_back(e.path().filename().string());
  EXPECT_EQ(left, std::vector<std::string>{name});
}

// A -hidpi file whose picture lost its thumbnail (an interrupted run) is the
// same thing to a run on one thread and on several.
TEST(HidpiPictures, ALeftoverIsTakenAlikeOnAnyNumberOfThreads) {
  std::vector<Lines> made;
  for (const char* jobs : {"1", "3"}) {
    TempDir t;
    makeJpeg(t / "x/p.jpg", 1000, 700);
    makeJpeg(t / "x/p.lg.jpg", 1000, 700, 1);
    setenv("QUORVEL_JOBS", jobs, 1);
    made.push_back(microLines(runQuorvel({"x"}, t.path()).out));
    unsetenv("QUORVEL_JOBS");
  }
  EXPECT_EQ(made[0], Lines{"x/p.vi.jpg"});
  EXPECT_EQ(made[1], made[0]);
}
