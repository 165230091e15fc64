// -exif through the real binary: the facts line and the picture's own caption
// on its pages, a .txt caption winning, no location anywhere, and nothing of
// it without the option.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/test_support.h"

namespace {

using testsupport::fileExists;
using testsupport::makeJpeg;
using testsupport::readFile;
using testsupport::runQuorvel;
using testsupport::TempDir;

void tag(const std::string& photo, const std::string& tags) {
  ASSERT_EQ(system(("exiftool -q -overwrite_original " + tags + " '" + photo + "'").c_str()), 0);
}

// Small pictures (no medium view): a page of their own comes only from a
// caption or a facts line.
void makeTree(const TempDir& t) {
  makeJpeg(t / "a/full.jpg", 300, 300, 1);
  tag(t / "a/full.jpg",
      "-XMP-dc:Title='Le phare' -XMP-dc:Description='<b>aube</b>' -IPTC:ObjectName=iptc "
      "-Make=Canon -Model='Canon EOS 5D' -DateTimeOriginal='2026:07:14 19:02:33' -ExposureTime=0.004 "
      "-GPSLatitude=43.4832 -GPSLatitudeRef=N -GPSLongitude=1.5586 -GPSLongitudeRef=W");
  makeJpeg(t / "a/stock.jpg", 300, 300, 2);
  tag(t / "a/stock.jpg", "-Exif:ImageDescription='OLYMPUS DIGITAL CAMERA'");
  makeJpeg(t / "a/own.jpg", 300, 300, 3);
  tag(t / "a/own.jpg", "-XMP-dc:Title=ignored");
  testsupport::writeFile(t / "a/own.txt", "mine");
}

TEST(PhotoFactsAlbum, ExifShowsFactsAndTheOwnCaptionAsTextWithoutTheLocation) {
  TempDir t;
  makeTree(t);
  const auto r = runQuorvel({"a", "-exif"}, t.path());
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string page = readFile(t / "a/full.html");
  EXPECT_NE(page.find("Le phare - &lt;b&gt;aube&lt;/b&gt;<br>\n"
                      "<font size=\"-1\">14.07.2026 19:02 &#183; Canon EOS 5D &#183; 1/250 s</font><br>\n"),
            std::string::npos)
      << page;
  EXPECT_NE(readFile(t / "a/quorvelLeft.html").find("<font size=\"-1\">Le phare</font>"), std::string::npos);
  EXPECT_FALSE(fileExists(t / "a/stock.html"));  // boilerplate only: no caption, no page
  EXPECT_NE(readFile(t / "a/own.html").find("mine<br>"), std::string::npos);
  EXPECT_EQ(readFile(t / "a/own.html").find("ignored"), std::string::npos);
  for (const auto& e : std::filesystem::recursive_directory_iterator(t.path())) {
    const std::string bytes = readFile(e.path());
    if (e.path().extension() != ".html") continue;
    EXPECT_EQ(bytes.find("43"), std::string::npos) << e.path();
    EXPECT_EQ(bytes.find("GPS"), std::string::npos) << e.path();
  }
}

TEST(PhotoFactsAlbum, WithoutExifThePicturesKeepNoPageOfTheirOwn) {
  TempDir t;
  makeTree(t);
  const auto r = runQuorvel({"a"}, t.path());
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_FALSE(fileExists(t / "a/full.html"));
  EXPECT_EQ(readFile(t / "a/quorvelLeft.html").find("phare"), std::string::npos);
}

// A facts line shows what a camera could have taken: a stamp that is no
// date and numbers no camera gives are left out, the rest of the line stays.
// A title cut to its buffer loses a character reference its source holds
// whole rather than keep "&quo" of it.
TEST(PhotoFactsAlbum, ImpossibleValuesAreLeftOutAndNoCutFallsInsideAReference) {
  TempDir t;
  makeJpeg(t / "a/odd.jpg", 300, 300);
  tag(t / "a/odd.jpg",
      "-n -Make=Leica -ISO=200 -FNumber=4294967295 -ExposureTime=2.3283064370807974e-10 "
      "-FocalLength=4294967295 -DateTimeOriginal='9999:99:99 99:99:99' -XMP-dc:Title='" +
          std::string(145, 'a') + "&quot;b'");
  const auto r = runQuorvel({"a", "-exif"}, t.path());
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(readFile(t / "a/odd.html").find("<font size=\"-1\">Leica &#183; ISO 200</font>"), std::string::npos)
      << readFile(t / "a/odd.html");
  EXPECT_NE(readFile(t / "a/quorvelLeft.html").find("<font size=\"-1\">" + std::string(145, 'a') + "</font>"),
            std::string::npos)
      << readFile(t / "a/quorvelLeft.html");
}

}  // namespace
