// -hidpi's derived pictures: their sizes, their bytes, the up-to-date test
// and the cleaner.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using testsupport::jpegSize;
using testsupport::microLines;
using testsupport::runQuorvel;
using testsupport::Size;
using testsupport::TempDir;

// The markers of a JPEG's segments before its first scan.
std::vector<int> markersBeforeScan(const std::string& bytes) {
  std::vector<int> markers;
  for (size_t at = 2; at + 4 <= bytes.size() && static_cast<unsigned char>(bytes[at]) == 0xff;) {
    const int marker = static_cast<unsigned char>(bytes[at + 1]);
    if (marker == 0xda) break;
    markers.push_back(marker);
    at += 2 + (static_cast<unsigned char>(bytes[at + 2]) << 8 | static_cast<unsigned char>(bytes[at + 3]));
  }
  return markers;
}

std::set<std::string> filesIn(const std::string& dir) {
  std::set<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.insert(e.path().filename().string());
  return names;
}

TEST(HidpiPictures, AreMadeOnceAtTheirSizesCarryingNoMetadata) {
  TempDir t;
  testsupport::JpegParams camera;
  camera.width = 4000;
  camera.height = 3000;
  camera.app1 = testsupport::exifOrientationSegment(1, false);
  testsupport::writeJpeg(t / "x/big.jpg", camera);
  testsupport::makeJpeg(t / "x/mid.jpg", 1000, 700, 1);
  testsupport::makeJpeg(t / "x/small.jpg", 300, 250, 2);  // inside the medium box
  ASSERT_EQ(runQuorvel({"x"}, t.path()).status, 0);

  // Made without -hidpi, so made again with it.
  const std::vector<std::string> options = {"-hidpi", "-shadow", "x"};
  auto first = runQuorvel(options, t.path());
  ASSERT_EQ(first.status, 0) << first.err;
  EXPECT_EQ(microLines(first.out), (std::vector<std::string>{"x/big.vi.jpg", "x/mid.vi.jpg", "x/small.vi.jpg"}));

  // Thumbnails: the 89 x 89 box at 1x, 2x and 3x, and the shadow's strip at the same scale.
  const std::map<std::string, Size> expected = {
      {"big.lg.jpg", {2048, 1536}}, {"big.md.jpg", {640, 480}},   {"big.vi.jpg", {96, 73}},
      {"big.vi2.jpg", {192, 147}},  {"big.vi3.jpg", {288, 221}},  {"big.vr3.jpg", {288, 221}},
      {"mid.lg.jpg", {1000, 700}},  {"mid.md.jpg", {640, 448}},   {"mid.vi2.jpg", {192, 138}},
      {"mid.vr2.jpg", {192, 138}},  {"mid.vi3.jpg", {288, 207}},  {"small.md.jpg", {300, 250}},
      {"small.vi.jpg", {96, 81}},   {"small.vi2.jpg", {192, 162}}, {"small.vi3.jpg", {288, 243}},
      {"small.vr.jpg", {96, 81}},
  };
  for (const auto& [name, size] : expected) EXPECT_EQ(jpegSize(t / ("x/" + name)), size) << name;
  EXPECT_FALSE(testsupport::fileExists(t / "x/small.lg.jpg"));

  // Only the JFIF segment, tables and frame: no Exif, XMP (APP1) or IPTC (APP13).
  int derived = 0;
  for (const std::string& name : filesIn(t / "x")) {
    if (!name.ends_with(".jpg") || name == "big.jpg" || name == "mid.jpg" || name == "small.jpg") continue;
    ++derived;
    for (int marker : markersBeforeScan(testsupport::readFile(t / ("x/" + name))))
      EXPECT_TRUE(marker != 0xe1 && marker != 0xed) << name << " carries marker " << std::hex << marker;
  }
  EXPECT_EQ(derived, 3 * 8 - 1);

  auto again = runQuorvel(options, t.path());
  ASSERT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(microLines(again.out), std::vector<std::string>{});
}

// The names -hidpi adds are quorvel's only where a -hidpi run made them:
// elsewhere the walk and the cleaner leave such a picture of the user's be.
TEST(HidpiPictures, CleanerRemovesThemAndNothingNamedLikeThem) {
  TempDir t;
  testsupport::makeJpeg(t / "x/pic.jpg", 900, 600);
  testsupport::makeJpeg(t / "x/user.vi2.jpg", 400, 300, 1);  // no user.vi.jpg beside
  testsupport::makeJpeg(t / "x/lone.lg.jpg", 400, 300, 2);   // no lone.jpg beside
  ASSERT_EQ(runQuorvel({"-hidpi", "x"}, t.path()).status, 0);
  EXPECT_TRUE(testsupport::fileExists(t / "x/pic.vr3.jpg"));
  EXPECT_FALSE(testsupport::fileExists(t / "x/user.vi2.vi.jpg"));
  EXPECT_FALSE(testsupport::fileExists(t / "x/lone.lg.vi.jpg"));

  auto plain = runQuorvel({"x"}, t.path());
  ASSERT_EQ(plain.status, 0) << plain.err;
  EXPECT_EQ(microLines(plain.out), (std::vector<std::string>{"x/lone.lg.vi.jpg", "x/user.vi2.vi.jpg"}));

  ASSERT_EQ(runQuorvel({"--clean", "x"}, t.path()).status, 0);
  EXPECT_EQ(filesIn(t / "x"), (std::set<std::string>{"pic.jpg", "user.vi2.jpg", "lone.lg.jpg"}));
}

}  // namespace
