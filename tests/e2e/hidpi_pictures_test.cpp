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

using testsupport::jpegSize;
using testsupport::microLines;
using testsupport::runQuorvel;
using Lines = std::vector<std::string>;

// Whether a JPEG carries an APP1 (Exif, XMP) or APP13 (IPTC) segment before its first scan.
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
  testsupport::TempDir t;
  testsupport::JpegParams camera{.width = 4000, .height = 3000};
  camera.app1 = testsupport::exifOrientationSegment(1, false);
  testsupport::writeJpeg(t / "x/big.jpg", camera);
  testsupport::makeJpeg(t / "x/mid.jpg", 1000, 700, 1);
  testsupport::makeJpeg(t / "x/small.jpg", 300, 250, 2);     // inside the medium box
  testsupport::makeJpeg(t / "x/user.vi2.jpg", 400, 300, 3);  // no user.vi.jpg beside: the user's
  const std::set<std::string> sources = filesIn(t / "x");
  auto plain = runQuorvel({"x"}, t.path());
  EXPECT_EQ(microLines(plain.out), (Lines{"x/big.vi.jpg", "x/mid.vi.jpg", "x/small.vi.jpg", "x/user.vi2.vi.jpg"}));

  const Lines hidpi = {"-hidpi", "-shadow", "x"};
  auto first = runQuorvel(hidpi, t.path());
  ASSERT_EQ(first.status, 0) << first.err;
  EXPECT_EQ(microLines(first.out), (Lines{"x/big.vi.jpg", "x/mid.vi.jpg", "x/small.vi.jpg"}));
  // The 89 x 89 thumbnail box at 1x, 2x and 3x, the shadow's strip at the same scale.
  const std::map<std::string, testsupport::Size> expected = {
      {"big.lg.jpg", {2048, 1536}}, {"big.md.jpg", {640, 480}},   {"big.vi.jpg", {96, 73}},
      {"big.vi2.jpg", {192, 147}},  {"big.vr3.jpg", {288, 221}},  {"mid.lg.jpg", {1000, 700}},
      {"mid.md.jpg", {640, 448}},   {"small.md.jpg", {300, 250}}, {"small.vr2.jpg", {192, 162}},
      {"small.vi3.jpg", {288, 243}},
  };
  for (const auto& [name, size] : expected) EXPECT_EQ(jpegSize(t / ("x/" + name)), size) << name;
  EXPECT_FALSE(testsupport::fileExists(t / "x/small.lg.jpg"));
  int made = 0;
  for (const std::string& name : filesIn(t / "x"))
    if (name.ends_with(".jpg") && !sources.count(name) && !name.starts_with("user.")) {
      ++made;
      EXPECT_FALSE(carriesMetadata(testsupport::readFile(t / ("x/" + name)))) << name;
    }
  EXPECT_EQ(made, 3 * 8 - 1);

  EXPECT_EQ(microLines(runQuorvel(hidpi, t.path()).out), Lines{});
  ASSERT_EQ(runQuorvel({"--clean", "x"}, t.path()).status, 0);
  EXPECT_EQ(filesIn(t / "x"), sources);
}

}  // namespace
