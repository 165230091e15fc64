// -allpics: today's formats made at test time with Debian's encoders, each
// kind taken only with the option, damaged files named, the list and the
// pages right.
#include <gtest/gtest.h>

#include <dirent.h>

#include <cstdlib>
#include <set>
#include <string>

#include "support/test_support.h"

namespace {

using testsupport::fileExists;
using testsupport::readFile;
using testsupport::runQuorvel;
using testsupport::TempDir;

// Every file name below dir, as paths relative to it.
std::set<std::string> filesBelow(const std::string& dir, const std::string& prefix = "") {
  std::set<std::string> names;
  DIR* d = opendir(dir.c_str());
  while (dirent* e = d ? readdir(d) : nullptr) {
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    if (e->d_type == DT_DIR)
      for (const std::string& n : filesBelow(dir + "/" + name, prefix + name + "/")) names.insert(n);
    else
      names.insert(prefix + name);
  }
  if (d) closedir(d);
  return names;
}

void sh(const std::string& command) { ASSERT_EQ(std::system(command.c_str()), 0) << command; }

// One folder of every kind, a folder of HEIC photos only, a damaged file of
// each added kind and a clash (a.png beside a.jpg).
void makeTree(const TempDir& t) {
  const std::string a = t / "today", base = t / "base.png";
  testsupport::makeDirs(a + "/heiconly");
  testsupport::makeJpeg(t / "base.jpg", 480, 320, 3);
  sh("cd " + t.path() + " && convert base.jpg base.png && cp base.jpg today/copy.jpeg && cp base.jpg today/UP.JPEG"
     " && convert base.png -colors 16 png8:today/pal.png"
     " && convert base.png -depth 16 -interlace PNG today/deep.png"
     " && convert base.png -alpha set -channel A -fx 'i/w' today/alpha.png"
     " && cwebp -quiet base.png -o today/lossy.webp && cwebp -quiet -lossless base.png -o today/lossless.webp"
     " && img2webp -q 50 base.png base.png -o today/anim.webp >/dev/null"
     " && heif-enc -q 50 base.png -o today/heiconly/shot.heic >/dev/null"
     " && avifenc -s 8 base.png today/photo.avif >/dev/null"
     " && cp base.jpg today/a.jpg && cp today/pal.png today/a.png");
  for (const char* name : {"bad.png", "bad.webp", "bad.heic"}) {
    std::string bytes = readFile(a + (name[4] == 'p' ? "/pal.png" : name[4] == 'w' ? "/lossy.webp" : "/heiconly/shot.heic"));
    testsupport::writeFile(a + "/" + name, bytes.substr(0, bytes.size() / 3));
  }
}

TEST(AllPictures, TodaysFormatsArePicturesOnlyWithTheOption) {
  TempDir t;
  makeTree(t);
  const std::string a = t / "today";
  const std::set<std::string> sources = filesBelow(a);
  auto plain = runQuorvel({"today"}, t.path());
  EXPECT_EQ(plain.status, 0);
  EXPECT_EQ(plain.err, "");
  EXPECT_FALSE(fileExists(a + "/pal.vi.jpg"));
  EXPECT_FALSE(fileExists(a + "/heiconly/quorvelFrameset.html"));

  auto all = runQuorvel({"-allpics", "-list:l.bat", "today"}, t.path());
  EXPECT_EQ(all.status, 1);
  for (const char* name : {"copy", "UP", "pal", "deep", "alpha", "lossy", "lossless", "anim", "photo", "heiconly/shot"})
    EXPECT_TRUE(fileExists(a + "/" + name + ".vi.jpg") && fileExists(a + "/" + name + ".vr.jpg")) << name;
  // A .jpeg is a JPEG: the bytes of the same file named .jpg; and a.png,
  // sharing a.jpg's derived names, did not write over them.
  EXPECT_EQ(readFile(a + "/copy.md.jpg"), readFile(a + "/a.md.jpg"));
  for (const char* bad : {"imgPngReadFile(\"today/bad.png\"): damaged (",
                          "imgWebpReadFile(\"today/bad.webp\"): damaged (",
                          "imgHeifReadFile(\"today/bad.heic\"): damaged ("})
    EXPECT_NE(all.err.find(std::string("**** ERROR quorvel : ") + bad), std::string::npos) << bad << all.err;
  // A HEIC-only folder is an album; its photo's medium view offers the original.
  EXPECT_TRUE(fileExists(a + "/heiconly/quorvelFrameset.html"));
  EXPECT_NE(readFile(a + "/heiconly/shot.md.html").find("<a href=\"shot.heic\" download>"), std::string::npos);
  const std::string list = readFile(t / "l.bat");
  EXPECT_NE(list.find("copy \"today/heiconly/shot.heic\" \"%1\\00000.heic\""), std::string::npos) << list;
  EXPECT_NE(list.find("copy \"today/UP.JPEG\" \"%1\\"), std::string::npos);
  EXPECT_NE(list.find(".jpeg\"\ncopy"), std::string::npos);

  // The cleaner knows the new formats' derived files and pages.
  EXPECT_EQ(runQuorvel({"--clean", "today"}, t.path()).status, 0);
  EXPECT_EQ(filesBelow(a), sources);
}

// With -allpics every picture name is read by its content: a PNG named .jpg
// is a picture, and a file under an added name that starts as no format is
// left out, reported and counted. Without the option the .jpg is read as a
// JPEG, as ever.
TEST(AllPictures, ContentDecidesUnderEveryNameAndNoFormatIsLeftOut) {
  TempDir t;
  const std::string a = t / "al";
  testsupport::makeJpeg(t / "base.jpg", 480, 320, 3);
  testsupport::makeDirs(a);
  sh("cd " + t.path() + " && convert base.jpg al/png.jpg.png && mv al/png.jpg.png al/png.jpg");
  testsupport::writeFile(a + "/noise.heic", std::string(64, 'X'));

  const auto plain = runQuorvel({"al"}, t.path());
  EXPECT_EQ(plain.status, 0);
  EXPECT_NE(plain.err.find("al/png.jpg: Not a JPEG file"), std::string::npos) << plain.err;
  EXPECT_FALSE(fileExists(a + "/png.vi.jpg"));

  const auto all = runQuorvel({"-allpics", "al"}, t.path());
  EXPECT_EQ(all.status, 1);
  EXPECT_TRUE(fileExists(a + "/png.vi.jpg"));
  EXPECT_EQ(all.err, "**** ERROR quorvel : picture of no known format \"al/noise.heic\"\n") << all.err;
}

}  // namespace
