// Pictures through the real binary: which files become pictures, the sizes
// and pixels of their derived files, when they are made again, and the
// -list: batch file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "img/img.h"
#include "img/jpeg_codec.h"
#include "img/lens_shadow.h"
#include "img/resize.h"
#include "support/test_support.h"

namespace {

using testsupport::fileExists;
using testsupport::jpegSize;
using testsupport::makeGif;
using testsupport::makeJpeg;
using testsupport::microLines;
using testsupport::readFile;
using testsupport::runQuorvel;
using testsupport::RunResult;
using testsupport::Size;
using testsupport::TempDir;
using testsupport::touch;
using testsupport::writeFile;

// A JPEG whose Exif APP1 segment carries the given orientation tag.
void makeExifJpeg(const std::string& path, int width, int height, int orientation) {
  // Left half red, right half blue: tells which way the picture turned.
  const auto halves = [width](int x, int, int k) {
    const int level[3] = {x < width / 2 ? 255 : 0, 0, x < width / 2 ? 0 : 255};
    return level[k];
  };
  testsupport::writeJpeg(path, {.width = width,
                                .height = height,
                                .quality = 75,
                                .sample = halves,
                                .app1 = testsupport::exifOrientationSegment(orientation, true),
                                .jfif = false});
}

time_t mtime(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? st.st_mtime : 0;
}

enum class Shadow { None, Grey, Colour };

// The derived files quorvel should make for source, made here from the same
// raster operations: bytes of medium (empty when none), rollover and micro.
struct Expected {
  std::string medium, rollover, micro;
};

void thumbnail(Img* out, Img* src, Shadow shadow, int r, int g, int b) {
  int box = shadow == Shadow::None ? 96 : 96 - 7;
  ASSERT_EQ(imgResize(out, box, box, src, false), 0);
  if (shadow == Shadow::None) return;
  Img spare = *out;
  *out = Img{};
  int failed = shadow == Shadow::Grey ? imgShadow(out, &spare) : imgShadowColor(out, &spare, r, g, b);
  ASSERT_EQ(failed, 0);
  imgDestroy(&spare);
}

std::string encoded(Img* img, const TempDir& scratch, const char* name) {
  std::string path = scratch / name;
  EXPECT_EQ(imgJpegWriteFile(img, path.c_str(), 85), 0);
  return readFile(path);
}

Expected expectedFiles(const std::string& source, bool medium, Shadow shadow, int r = 0,
                       int g = 0, int b = 0) {
  TempDir scratch;
  Expected e;
  Img working{};
  ImgDecoded decoded;
  EXPECT_EQ(imgJpegDecode(&working, source.c_str(), {}, &decoded), 0);
  if (medium) {
    Img md{};
    EXPECT_EQ(imgResize(&md, 640, 480, &working, false), 0);
    e.medium = encoded(&md, scratch, "md.jpg");
    imgDestroy(&working);
    working = md;
  }
  Img lens{};
  EXPECT_EQ(imgLens(&lens, &working), 0);
  Img out{};
  thumbnail(&out, &lens, shadow, r, g, b);
  e.rollover = encoded(&out, scratch, "vr.jpg");
  imgDestroy(&out);
  out = Img{};
  thumbnail(&out, &working, shadow, r, g, b);
  e.micro = encoded(&out, scratch, "vi.jpg");
  imgDestroy(&out);
  imgDestroy(&lens);
  imgDestroy(&working);
  return e;
}

class PictureAlbum : public testing::Test {
 protected:
  RunResult run(std::vector<std::string> options = {}) {
    options.insert(options.begin(), ".");
    return runQuorvel(options, album_.path());
  }
  std::string at(const std::string& relative) const { return album_ / relative; }

  // Source pictures get an old date so that "newer" is never a question of
  // the same second.
  void jpeg(const std::string& name, int width, int height, int seed = 0) {
    makeJpeg(at(name), width, height, seed);
    touch(at(name), -1000);
  }

  // Dates of base's medium, rollover and micro pictures.
  std::vector<time_t> derivedDates(const std::string& base) const {
    std::vector<time_t> dates;
    for (const char* suffix : kDerived) dates.push_back(mtime(at(base + suffix)));
    return dates;
  }
  // Dates the derived files back (still newer than their old source).
  std::vector<time_t> ageDerived(const std::string& base) const {
    for (const char* suffix : kDerived) touch(at(base + suffix), -500);
    return derivedDates(base);
  }

  // The run made a's three derived files again: each is newer than aged.
  void expectMadeAgain(const RunResult& r, const std::vector<time_t>& aged) const {
    EXPECT_EQ(microLines(r.out), std::vector<std::string>{"./a.vi.jpg"});
    std::vector<time_t> now = derivedDates("a");
    for (int i = 0; i < 3; ++i) EXPECT_GT(now[i], aged[i]) << kDerived[i];
  }

  static constexpr const char* kDerived[] = {".md.jpg", ".vr.jpg", ".vi.jpg"};
  TempDir album_;
};

// Boxes that pass the start-up checks work on every picture, also where the
// reduction's grid runs past 32-bit products: a 4000-pixel thumbnail from a
// 4480-pixel enlargement, a 3000 x 2000 medium view of a 6000 x 4000 photo.
TEST_F(PictureAlbum, LargeBoxesMakeTheirPictures) {
  jpeg("small.jpg", 640, 480);
  RunResult r = run({"-uw:4000", "-uh:4000"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(jpegSize(at("small.vi.jpg")), (Size{4000, 3000}));
  jpeg("large.jpg", 6000, 4000);
  r = run({"-mw:3000", "-mh:2000"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(jpegSize(at("large.md.jpg")), (Size{3000, 2000}));
}

TEST_F(PictureAlbum, DerivedSizesFollowTheBoxes) {
  jpeg("a.jpg", 1600, 1200);
  jpeg("b.jpg", 1200, 1600);
  jpeg("c.jpg", 641, 480);
  jpeg("d.jpg", 201, 201);
  jpeg("e.jpg", 640, 480);
  jpeg("f.jpg", 200, 300);
  jpeg("g.jpg", 300, 200);
  RunResult r = run();
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(microLines(r.out), (std::vector<std::string>{"./a.vi.jpg", "./b.vi.jpg", "./c.vi.jpg",
                                                         "./d.vi.jpg", "./e.vi.jpg"}));

  struct Case {
    const char* base;
    Size medium, micro;  // medium 0x0: none made
  } cases[] = {
      {"a", {640, 480}, {96, 72}}, {"b", {360, 480}, {72, 96}}, {"c", {640, 479}, {96, 71}},
      {"d", {0, 0}, {96, 96}},     {"e", {0, 0}, {96, 72}},
  };
  for (const Case& c : cases) {
    std::string base = at(c.base);
    if (c.medium.width)
      EXPECT_EQ(jpegSize(base + ".md.jpg"), c.medium) << c.base;
    else
      EXPECT_FALSE(fileExists(base + ".md.jpg")) << c.base;
    EXPECT_EQ(jpegSize(base + ".vi.jpg"), c.micro) << c.base;
    EXPECT_EQ(jpegSize(base + ".vr.jpg"), c.micro) << c.base;
  }
  for (const char* ignored : {"f", "g"}) {
    EXPECT_FALSE(fileExists(at(ignored) + ".vi.jpg")) << ignored;
    EXPECT_FALSE(fileExists(at(ignored) + ".vr.jpg")) << ignored;
  }
}

TEST_F(PictureAlbum, ShadowKeepsThumbnailsInsideTheBox) {
  jpeg("a.jpg", 1600, 1200);
  jpeg("b.jpg", 1200, 1600);
  ASSERT_EQ(run({"-shadow"}).status, 0);
  EXPECT_EQ(jpegSize(at("a.vi.jpg")), (Size{96, 73}));
  EXPECT_EQ(jpegSize(at("a.vr.jpg")), (Size{96, 73}));
  EXPECT_EQ(jpegSize(at("b.vi.jpg")), (Size{73, 96}));
  EXPECT_EQ(jpegSize(at("a.md.jpg")), (Size{640, 480}));
}

TEST_F(PictureAlbum, PlainPictureMatchesRasterOperations) {
  jpeg("p.jpg", 300, 250, 3);
  ASSERT_EQ(run().status, 0);
  Expected e = expectedFiles(at("p.jpg"), false, Shadow::None);
  EXPECT_FALSE(fileExists(at("p.md.jpg")));
  EXPECT_TRUE(readFile(at("p.vr.jpg")) == e.rollover);
  EXPECT_TRUE(readFile(at("p.vi.jpg")) == e.micro);
  EXPECT_FALSE(e.rollover == e.micro);  // the lens must show
}

TEST_F(PictureAlbum, MediumPictureMatchesRasterOperations) {
  jpeg("p.jpg", 1600, 1200, 5);
  ASSERT_EQ(run().status, 0);
  Expected e = expectedFiles(at("p.jpg"), true, Shadow::None);
  EXPECT_TRUE(readFile(at("p.md.jpg")) == e.medium);
  EXPECT_TRUE(readFile(at("p.vr.jpg")) == e.rollover);
  EXPECT_TRUE(readFile(at("p.vi.jpg")) == e.micro);
}

TEST_F(PictureAlbum, ShadowedThumbnailsMatchRasterOperations) {
  jpeg("p.jpg", 300, 250, 7);
  ASSERT_EQ(run({"-shadow"}).status, 0);
  Expected e = expectedFiles(at("p.jpg"), false, Shadow::Grey);
  EXPECT_TRUE(readFile(at("p.vr.jpg")) == e.rollover);
  EXPECT_TRUE(readFile(at("p.vi.jpg")) == e.micro);
}

TEST_F(PictureAlbum, ColouredShadowMatchesRasterOperations) {
  jpeg("p.jpg", 1200, 1600, 9);
  ASSERT_EQ(run({"-shadow:200,100,50"}).status, 0);
  Expected e = expectedFiles(at("p.jpg"), true, Shadow::Colour, 200, 100, 50);
  EXPECT_TRUE(readFile(at("p.md.jpg")) == e.medium);
  EXPECT_TRUE(readFile(at("p.vr.jpg")) == e.rollover);
  EXPECT_TRUE(readFile(at("p.vi.jpg")) == e.micro);
  // Guards against a grey shadow passing for a coloured one.
  EXPECT_FALSE(readFile(at("p.vi.jpg")) == expectedFiles(at("p.jpg"), true, Shadow::Grey).micro);
}

TEST_F(PictureAlbum, UpToDatePicturesAreNotMadeAgain) {
  jpeg("trip/a.jpg", 1600, 1200);
  std::string list = at("list.txt");
  ASSERT_EQ(run({"-list:" + list}).status, 0);
  std::vector<time_t> aged = ageDerived("trip/a");

  RunResult second = run({"-list:" + list});
  ASSERT_EQ(second.status, 0);
  EXPECT_EQ(microLines(second.out), std::vector<std::string>{});
  EXPECT_EQ(derivedDates("trip/a"), aged);
  EXPECT_EQ(readFile(list), "copy \"./trip/a.jpg\" \"%1\\00000.jpg\"\n");
  // The page writer still hears of the picture.
  EXPECT_NE(readFile(at("trip/quorvelLeft.html")).find("a.vi.jpg"), std::string::npos);
}

TEST_F(PictureAlbum, ForceMakesEverythingAgain) {
  jpeg("a.jpg", 1600, 1200);
  ASSERT_EQ(run().status, 0);
  std::vector<time_t> aged = ageDerived("a");
  expectMadeAgain(run({"-force"}), aged);
}

TEST_F(PictureAlbum, TouchedSourceMakesEverythingAgain) {
  jpeg("a.jpg", 1600, 1200);
  ASSERT_EQ(run().status, 0);
  std::vector<time_t> aged = ageDerived("a");
  touch(at("a.jpg"), -100);
  expectMadeAgain(run(), aged);
}

// A thumbnail newer than its picture proves nothing when the page would
// point at a derived picture that is missing, or the thumbnail can't be read.
TEST_F(PictureAlbum, MissingOrUnreadableDerivedPicturesAreMadeAgain) {
  jpeg("a.jpg", 1600, 1200);
  ASSERT_EQ(run().status, 0);
  const std::string micro = readFile(at("a.vi.jpg"));
  for (const char* gone : {"a.vr.jpg", "a.md.jpg", "a.vi.jpg"}) {
    SCOPED_TRACE(gone);
    if (std::string(gone) == "a.vi.jpg")
      writeFile(at(gone), micro.substr(0, 200));  // header cut short, date newer
    else
      ASSERT_EQ(remove(at(gone).c_str()), 0);
    RunResult r = run();
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(microLines(r.out), std::vector<std::string>{"./a.vi.jpg"});
    EXPECT_EQ(readFile(at("a.vi.jpg")), micro);
    EXPECT_TRUE(fileExists(at("a.vr.jpg")) && fileExists(at("a.md.jpg")));
  }
}

// A warm run takes an unchanged JPEG's size from its thumbnail's stamp
// rather than reading through the picture again; a picture changed in any
// way, its date kept, is read again and stamped anew.
TEST_F(PictureAlbum, WarmRunsTakeAnUnchangedPicturesSizeFromItsThumbnailsStamp) {
  jpeg("a.jpg", 1600, 1200);
  jpeg("b.jpg", 1600, 1200);
  ASSERT_EQ(run().status, 0);
  const std::string micro = at("a.vi.jpg");
  char value[320];
  const ssize_t length = getxattr(micro.c_str(), "user.quorvel.source", value, sizeof value);
  if (length < 0 && errno == ENOTSUP) GTEST_SKIP() << "no extended attributes on this file system";
  ASSERT_GT(length, 0);
  std::string stamp(value, length);
  ASSERT_EQ(stamp.substr(stamp.size() - 12), " 1600 1200 0");
  EXPECT_LE(length, 56) << "no longer fits an ext4 inode: every thumbnail takes a block for it";
  // Told it is too small to show, the warm run believes the stamp.
  const std::string small = stamp.substr(0, stamp.size() - 12) + " 100 100 0";
  ASSERT_EQ(setxattr(micro.c_str(), "user.quorvel.source", small.data(), small.size(), 0), 0);
  ASSERT_EQ(run().status, 0);
  EXPECT_EQ(readFile(at("quorvelLeft.html")).find("a.vi.jpg"), std::string::npos);
  EXPECT_NE(readFile(at("quorvelLeft.html")).find("b.vi.jpg"), std::string::npos);

  struct stat st;
  ASSERT_EQ(stat(at("a.jpg").c_str(), &st), 0);
  const struct timespec same[2] = {st.st_atim, st.st_mtim};
  ASSERT_EQ(utimensat(AT_FDCWD, at("a.jpg").c_str(), same, 0), 0);
  const RunResult reread = run();
  EXPECT_EQ(microLines(reread.out), std::vector<std::string>{});
  EXPECT_NE(readFile(at("quorvelLeft.html")).find("a.vi.jpg"), std::string::npos);
  const ssize_t again = getxattr(micro.c_str(), "user.quorvel.source", value, sizeof value);
  ASSERT_GT(again, 0);
  EXPECT_EQ(std::string(value, again).substr(again - 12), " 1600 1200 0");
}

TEST_F(PictureAlbum, ListNumbersPicturesAcrossDirectoriesInWalkOrder) {
  // Subdirectories are walked before their parent's own files.
  jpeg("b.JPG", 300, 300);
  makeGif(at("sub/a.gif"), 300, 300);
  touch(at("sub/a.gif"), -1000);
  jpeg("sub/c.Jpg", 300, 300);
  jpeg("sub/d.jpg", 100, 100);  // too small: no line
  jpeg("zz/e.jpg", 300, 300);
  std::string list = at("list.txt");
  RunResult r = run({"-list:" + list});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(readFile(list),
            "copy \"./sub/a.gif\" \"%1\\00000.gif\"\n"
            "copy \"./sub/c.Jpg\" \"%1\\00001.jpg\"\n"
            "copy \"./zz/e.jpg\" \"%1\\00002.jpg\"\n"
            "copy \"./b.JPG\" \"%1\\00003.jpg\"\n");
  EXPECT_EQ(microLines(r.out), (std::vector<std::string>{"./sub/a.vi.jpg", "./sub/c.vi.jpg",
                                                         "./zz/e.vi.jpg", "./b.vi.jpg"}));
}

TEST_F(PictureAlbum, DerivedNamesAreNeverSourcesButOtherCasesAre) {
  jpeg("a.md.jpg", 300, 300);
  jpeg("a.vi.jpg", 300, 300);
  jpeg("a.vr.jpg", 300, 300);
  jpeg("b.MD.JPG", 300, 300);
  RunResult r = run();
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(microLines(r.out), std::vector<std::string>{"./b.MD.vi.jpg"});
  EXPECT_FALSE(fileExists(at("a.md.vi.jpg")));
  EXPECT_FALSE(fileExists(at("a.vi.vi.jpg")));
  EXPECT_FALSE(fileExists(at("a.vr.vr.jpg")));
  EXPECT_TRUE(fileExists(at("b.MD.vr.jpg")));
}

TEST_F(PictureAlbum, GifAndJpegOfOneNameShareDerivedFiles) {
  makeGif(at("a.gif"), 400, 300);
  touch(at("a.gif"), -1000);
  jpeg("a.jpg", 300, 400);
  std::string list = at("list.txt");
  RunResult r = run({"-list:" + list});
  ASSERT_EQ(r.status, 0) << r.err;
  // The GIF comes first and writes them; the JPEG then finds them up to date.
  EXPECT_EQ(microLines(r.out), std::vector<std::string>{"./a.vi.jpg"});
  EXPECT_EQ(jpegSize(at("a.vi.jpg")), (Size{96, 72}));
  EXPECT_EQ(readFile(list),
            "copy \"./a.gif\" \"%1\\00000.gif\"\n"
            "copy \"./a.jpg\" \"%1\\00001.jpg\"\n");
}

TEST_F(PictureAlbum, OnlyGifAndJpgEndingsArePictures) {
  jpeg("a.jpeg", 300, 300);
  jpeg("b.png", 300, 300);
  jpeg("c.JPG.txt", 300, 300);
  jpeg("d.Jpg", 300, 300);
  makeGif(at("e.GIF"), 300, 300);
  touch(at("e.GIF"), -1000);
  RunResult r = run();
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(microLines(r.out), (std::vector<std::string>{"./d.vi.jpg", "./e.vi.jpg"}));
  EXPECT_FALSE(fileExists(at("a.vi.jpg")));
  EXPECT_FALSE(fileExists(at("b.vi.jpg")));
  EXPECT_FALSE(fileExists(at("c.JPG.vi.jpg")));
}

TEST_F(PictureAlbum, UnreadablePicturesAreSkippedAfterTheLibraryMessage) {
  writeFile(at("a.jpg"), "this is no picture at all");
  writeFile(at("b.jpg"), "");
  writeFile(at("c.gif"), "GIF? no");
  jpeg("d.jpg", 300, 300);
  std::string list = at("list.txt");
  RunResult r = run({"-list:" + list});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.err.find("Not a JPEG file"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("Empty input file"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("ERROR"), std::string::npos) << r.err;
  EXPECT_EQ(microLines(r.out), std::vector<std::string>{"./d.vi.jpg"});
  EXPECT_EQ(readFile(list), "copy \"./d.jpg\" \"%1\\00000.jpg\"\n");
}

TEST_F(PictureAlbum, EmptyShadowedMicroBoxIsRefusedBeforeAnythingIsWritten) {
  jpeg("a.jpg", 300, 300);
  RunResult r = run({"-uw:7", "-uh:7", "-shadow"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err,
            "**** ERROR quorvel : option -uw:7: leaves no room for the thumbnail beside the "
            "shadow (at least 8)\n");
  EXPECT_FALSE(fileExists(at("a.vi.jpg")));
  EXPECT_FALSE(fileExists(at("quorvelLeft.html")));
}

TEST_F(PictureAlbum, ExtremelyWidePictureGetsOnePixelHighThumbnails) {
  // The medium is 640 x 6; a fit into the micro box would be 0 pixels high.
  jpeg("wide.jpg", 20000, 201);
  RunResult r = run();
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(jpegSize(at("wide.md.jpg")), (Size{640, 6}));
  EXPECT_EQ(jpegSize(at("wide.vi.jpg")), (Size{96, 1}));
  EXPECT_EQ(jpegSize(at("wide.vr.jpg")), (Size{96, 1}));

  r = run({"-shadow", "-force"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(jpegSize(at("wide.vi.jpg")), (Size{96, 8}));
  EXPECT_EQ(jpegSize(at("wide.vr.jpg")), (Size{96, 8}));
}

TEST_F(PictureAlbum, ExifRotatedPhotoGetsUprightThumbnails) {
  // Stored 800 x 600, shown turned a quarter clockwise: 600 x 800.
  makeExifJpeg(at("p.jpg"), 800, 600, 6);
  touch(at("p.jpg"), -1000);
  RunResult r = run();
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(jpegSize(at("p.md.jpg")), (Size{360, 480}));
  EXPECT_EQ(jpegSize(at("p.vi.jpg")), (Size{72, 96}));
  EXPECT_EQ(jpegSize(at("p.vr.jpg")), (Size{72, 96}));

  // The stored left half (red) ends up on top.
  int w, h;
  std::vector<unsigned char> px = testsupport::decodeJpeg(at("p.vi.jpg"), &w, &h);
  auto red = [&](int x, int y) { return px[(static_cast<size_t>(y) * w + x) * 3]; };
  auto blue = [&](int x, int y) { return px[(static_cast<size_t>(y) * w + x) * 3 + 2]; };
  EXPECT_GT(red(36, 10), 200);
  EXPECT_LT(blue(36, 10), 60);
  EXPECT_GT(blue(36, 85), 200);
  EXPECT_LT(red(36, 85), 60);
}

TEST_F(PictureAlbum, ExifRotatedPhotoIsMeasuredUpright) {
  // Thresholds that tell a 300 x 200 picture from a 200 x 300 one.
  makeExifJpeg(at("p.jpg"), 300, 200, 6);  // upright 200 x 300: shown
  makeExifJpeg(at("q.jpg"), 300, 200, 1);  // as stored: too low
  makeExifJpeg(at("r.jpg"), 480, 640, 6);  // upright 640 x 480: no medium
  for (const char* name : {"p.jpg", "q.jpg", "r.jpg"}) touch(at(name), -1000);
  RunResult r = run({"-iw:150", "-ih:250"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(microLines(r.out), (std::vector<std::string>{"./p.vi.jpg", "./r.vi.jpg"}));
  EXPECT_EQ(jpegSize(at("p.vi.jpg")), (Size{64, 96}));
  EXPECT_FALSE(fileExists(at("r.md.jpg")));
  EXPECT_EQ(jpegSize(at("r.vi.jpg")), (Size{96, 72}));
}

}  // namespace
