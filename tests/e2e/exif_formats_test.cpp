// -exif over the formats -allpics adds, through the real binary: a HEIC's,
// an AVIF's, a PNG's and a WebP's facts line and caption on their pages as a
// JPEG's would be, no location anywhere, and nothing of it without -exif.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>

#include "support/test_support.h"

namespace {

using testsupport::fileExists;
using testsupport::readFile;
using testsupport::runQuorvel;
using testsupport::TempDir;

// Small pictures: a PNG, a WebP and an AVIF get no medium view, so a page of
// their own only from a caption or a facts line; a HEIC always gets one.
void makeTree(const TempDir& t) {
  const std::string command =
      "cd " + t.path() + " && mkdir a && convert -size 300x240 gradient:red-blue a/p.png"
      " && cwebp -quiet a/p.png -o a/w.webp && heif-enc -q 50 a/p.png -o a/h.heic >/dev/null"
      " && avifenc -s 8 a/p.png a/v.avif >/dev/null"
      " && exiftool -q -q -overwrite_original -XMP-dc:Title='Le phare' -XMP-dc:Description='<b>aube</b>'"
      " -Make=Canon -Model='Canon EOS 5D' -DateTimeOriginal='2026:07:14 19:02:33' -FNumber=2.8 -ISO=100"
      " -GPSLatitude=43.4832 -GPSLatitudeRef=N -GPSLongitude=1.5586 -GPSLongitudeRef=W a";
  ASSERT_EQ(std::system(command.c_str()), 0);
}

constexpr const char* kPages[] = {"a/p.html", "a/w.html", "a/v.html", "a/h.md.html"};

TEST(ExifFormats, EachFormatsFactsAndCaptionReachItsPageWithoutTheLocation) {
  TempDir t;
  makeTree(t);
  for (const char* jobs : {"1", "3"}) {
    setenv("QUORVEL_JOBS", jobs, 1);
    const auto r = runQuorvel({"-allpics", "-exif", "-force", "a"}, t.path());
    unsetenv("QUORVEL_JOBS");
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* name : kPages)
      EXPECT_NE(readFile(t / name).find("Le phare - &lt;b&gt;aube&lt;/b&gt;<br>\n<font size=\"-1\">14.07.2026 19:02"
                                        " &#183; Canon EOS 5D &#183; f/2.8, ISO 100</font><br>\n"),
                std::string::npos)
          << name << " with " << jobs << " jobs:\n"
          << readFile(t / name);
  }
  for (const auto& e : std::filesystem::recursive_directory_iterator(t.path())) {
    if (e.path().extension() != ".html") continue;
    const std::string page = readFile(e.path());
    EXPECT_EQ(page.find("43"), std::string::npos) << e.path();
    EXPECT_EQ(page.find("GPS"), std::string::npos) << e.path();
  }
}

TEST(ExifFormats, WithoutExifThePicturesKeepNoCaptionOrPageOfTheirOwn) {
  TempDir t;
  makeTree(t);
  const auto r = runQuorvel({"-allpics", "a"}, t.path());
  ASSERT_EQ(r.status, 0) << r.err;
  for (const char* name : {"a/p.html", "a/w.html", "a/v.html"}) EXPECT_FALSE(fileExists(t / name)) << name;
  for (const char* name : {"a/h.md.html", "a/quorvelLeft.html"}) {
    EXPECT_EQ(readFile(t / name).find("phare"), std::string::npos) << name;
    EXPECT_EQ(readFile(t / name).find("Canon"), std::string::npos) << name;
  }
}

// The cleaner knows a page -exif wrote for what the picture says of itself,
// whatever the format.
TEST(ExifFormats, CleanRemovesThePagesExifWrote) {
  TempDir t;
  makeTree(t);
  ASSERT_EQ(runQuorvel({"-allpics", "-exif", "a"}, t.path()).status, 0);
  ASSERT_TRUE(fileExists(t / "a/p.html"));
  ASSERT_EQ(runQuorvel({"--clean", "a"}, t.path()).status, 0);
  std::set<std::string> left;
  for (const auto& e : std::filesystem::directory_iterator(t / "a")) left.insert(e.path().filename());
  EXPECT_EQ(left, (std::set<std::string>{"h.heic", "p.png", "v.avif", "w.webp"}));
}

}  // namespace
