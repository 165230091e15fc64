// A folder as people really have them: broken, mislabelled and unusual
// pictures, links and odd names. A run skips what it cannot use, reports
// what it could not make, and leaves only whole files.
#include <gd.h>
#include <gtest/gtest.h>
#include <jpeglib.h>
#include <sys/stat.h>

#include <csetjmp>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "support/link_check.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using testsupport::fileExists;
using testsupport::makeGif;
using testsupport::makeJpeg;
using testsupport::readFile;
using testsupport::runQuorvel;
using testsupport::RunResult;
using testsupport::Size;
using testsupport::TempDir;
using testsupport::writeFile;

struct JpegOptions {
  bool progressive = false;
  int restartInterval = 0;  // MCUs between restart markers; 0 for none
  bool cmyk = false;
  int exifOrientation = 0;  // 0: no Exif segment
};

// A JPEG with the features the options ask for; the pixel pattern is one
// run of bytes across each row.
void encodeJpeg(const std::string& path, int width, int height, const JpegOptions& o) {
  const int components = o.cmyk ? 4 : 3;
  testsupport::JpegParams params{.width = width, .height = height, .components = components};
  params.sample = [components](int x, int y, int k) { return (x * components + k) * 7 + y * 3; };
  if (o.exifOrientation) {
    params.app1 = testsupport::exifOrientationSegment(o.exifOrientation, false);
    params.jfif = false;
  }
  params.tune = [o](jpeg_compress_struct* c) {
    if (o.progressive) jpeg_simple_progression(c);
    c->restart_interval = static_cast<unsigned>(o.restartInterval);
  };
  testsupport::writeJpeg(path, params);
}

// Offsets of the markers of a JPEG's header segments, up to and with the first
// start-of-scan, in file order: {marker byte, offset of its 0xFF}.
std::vector<std::pair<int, size_t>> headerMarkers(const std::string& jpeg) {
  std::vector<std::pair<int, size_t>> markers;
  size_t at = 2;
  while (at + 4 <= jpeg.size() && static_cast<unsigned char>(jpeg[at]) == 0xFF) {
    const int marker = static_cast<unsigned char>(jpeg[at + 1]);
    markers.emplace_back(marker, at);
    if (marker == 0xDA) break;
    at += 2 + (static_cast<unsigned char>(jpeg[at + 2]) << 8) +
          static_cast<unsigned char>(jpeg[at + 3]);
  }
  return markers;
}

size_t markerOffset(const std::string& jpeg, int marker) {
  for (auto [m, at] : headerMarkers(jpeg))
    if (m == marker) return at;
  ADD_FAILURE() << "no marker " << marker;
  return 0;
}

std::string pngBytes(int width, int height) {
  gdImagePtr im = gdImageCreateTrueColor(width, height);
  int size = 0;
  void* data = gdImagePngPtr(im, &size);
  std::string bytes(static_cast<const char*>(data), static_cast<size_t>(size));
  gdFree(data);
  gdImageDestroy(im);
  return bytes;
}

// Decodes path fully; false when the library complained, even only warned
// (a cut-off file decodes with a warning).
bool decodesCleanly(const std::string& path, int* width, int* height) {
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return false;
  struct Err {
    jpeg_error_mgr pub;
    jmp_buf jump;
  } err;
  jpeg_decompress_struct d;
  d.err = jpeg_std_error(&err.pub);
  err.pub.error_exit = [](j_common_ptr c) { longjmp(reinterpret_cast<Err*>(c->err)->jump, 1); };
  err.pub.output_message = [](j_common_ptr) {};
  jpeg_create_decompress(&d);
  bool ok = false;
  if (!setjmp(err.jump)) {
    jpeg_stdio_src(&d, f);
    jpeg_read_header(&d, TRUE);
    jpeg_start_decompress(&d);
    // From the library's pool: nothing with a destructor may live below setjmp.
    JSAMPARRAY row = (*d.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&d), JPOOL_IMAGE,
                                            d.output_width * d.output_components, 1);
    while (d.output_scanline < d.output_height) jpeg_read_scanlines(&d, row, 1);
    jpeg_finish_decompress(&d);
    *width = static_cast<int>(d.image_width);
    *height = static_cast<int>(d.image_height);
    ok = err.pub.num_warnings == 0;
  }
  jpeg_destroy_decompress(&d);
  fclose(f);
  return ok;
}

bool endsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

bool isDerived(const std::string& name) {
  return endsWith(name, ".md.jpg") || endsWith(name, ".vr.jpg") || endsWith(name, ".vi.jpg");
}

// Every derived picture under root decodes whole, and no temporary remains.
void expectOnlyWholeDerivedFiles(const std::string& root) {
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    const std::string name = e.path().filename().string();
    EXPECT_FALSE(endsWith(name, ".quorvel-tmp")) << e.path();
    int w = 0, h = 0;
    if (!e.is_symlink() && isDerived(name)) {
      EXPECT_TRUE(decodesCleanly(e.path().string(), &w, &h)) << e.path();
    }
  }
}

std::string withoutExtension(const std::string& name) { return name.substr(0, name.rfind('.')); }

Size derivedSize(const std::string& path) {
  Size s;
  if (!decodesCleanly(path, &s.width, &s.height)) return Size{-1, -1};
  return s;
}

// The walk's output from its start line on (the notice before it is not ours).
std::string walkOutput(const std::string& out) {
  size_t start = out.find("######## ");
  return start == std::string::npos ? out : out.substr(start);
}

// JPEG bytes with their frame header patched to claim width x height.
std::string withClaimedSize(std::string jpeg, int width, int height) {
  const size_t sof = markerOffset(jpeg, 0xC0);
  jpeg[sof + 5] = static_cast<char>(height >> 8);
  jpeg[sof + 6] = static_cast<char>(height & 0xFF);
  jpeg[sof + 7] = static_cast<char>(width >> 8);
  jpeg[sof + 8] = static_cast<char>(width & 0xFF);
  return jpeg;
}

// A progressive JPEG whose second scan asks for coefficients past the block's
// last one: the header reads, the decode fails.
void makeBadProgressionJpeg(const std::string& path) {
  JpegOptions o;
  o.progressive = true;
  encodeJpeg(path, 320, 240, o);
  std::string bytes = readFile(path);
  const size_t first = markerOffset(bytes, 0xDA);
  const size_t second = bytes.find("\xFF\xDA", first + 2);
  ASSERT_NE(second, std::string::npos);
  // Segment: FF DA, length, component count n, n selector pairs, Ss, Se, Ah/Al.
  const unsigned components = static_cast<unsigned char>(bytes[second + 4]);
  bytes[second + 5 + 2 * components + 1] = static_cast<char>(112);
  writeFile(path, bytes);
}

// What the run must do with one file of the messy folder. A failed picture
// had its thumbnail's name printed before its decode failed.
enum class Outcome { Shown, Failed, Skipped, Ignored };

struct MessyFile {
  std::string name;
  Outcome outcome;
  std::string stderrText;  // the library's words about it, if any, each line after the path
  Size thumbnail;          // for a shown picture: its micro and rollover size
  Size medium;             // 0 x 0: no medium picture
  std::string report{};    // the ERROR line's message, if any
};

MessyFile shown(const std::string& name, Size thumbnail, const std::string& stderrText = "",
                Size medium = Size{}) {
  return {name, Outcome::Shown, stderrText, thumbnail, medium};
}
MessyFile skipped(const std::string& name, const std::string& stderrText,
                  const std::string& report = "") {
  return {name, Outcome::Skipped, stderrText, Size{}, Size{}, report};
}
MessyFile failed(const std::string& name, const std::string& report) {
  return {name, Outcome::Failed, "", Size{}, Size{}, report};
}
MessyFile ignored(const std::string& name) { return {name, Outcome::Ignored, "", Size{}, Size{}}; }

class MessyFolder : public testing::Test {
 protected:
  std::string at(const std::string& relative) const { return dir_ / ("messy/" + relative); }

  void SetUp() override {
    makeJpeg(at("good.jpg"), 300, 240);
    good_ = readFile(at("good.jpg"));
    makeGif(at("plain.gif"), 300, 300);
    gif_ = readFile(at("plain.gif"));
  }

  TempDir dir_;
  std::string good_, gif_;
};

TEST_F(MessyFolder, UnusablePicturesAreSkippedAndEveryOtherOneMakesAWholeAlbum) {
  const Size square{96, 96}, fourByThree{96, 72}, fiveByFour{96, 76};
  JpegOptions progressive, restart, exif, cmyk;
  progressive.progressive = true;
  restart.restartInterval = 1;
  exif.exifOrientation = 6;
  cmyk.cmyk = true;
  encodeJpeg(at("cmyk.jpg"), 320, 240, cmyk);
  writeFile(at("cut-in-header.jpg"), good_.substr(0, markerOffset(good_, 0xC0) + 6));
  const size_t scan = markerOffset(good_, 0xDA);
  writeFile(at("cut-in-scan.jpg"), good_.substr(0, scan + (good_.size() - scan) / 2));
  writeFile(at("empty.jpg"), "");
  encodeJpeg(at("exif-turned.jpg"), 320, 240, exif);
  writeFile(at("gif-bad-signature.gif"), "GIF77a" + gif_.substr(6));
  writeFile(at("gif-cut.gif"), gif_.substr(0, gif_.size() / 2));
  writeFile(at("gif-cut-in-palette.gif"), gif_.substr(0, 20));
  makeGif(at("gif-named.jpg"), 300, 300);
  std::string hugeScreen = gif_;
  hugeScreen[6] = hugeScreen[8] = static_cast<char>(0xE8);
  hugeScreen[7] = hugeScreen[9] = static_cast<char>(0xFD);
  writeFile(at("gif-screen-65000.gif"), hugeScreen);
  makeJpeg(at("grey.jpg"), 320, 240, 0, 1);
  fs::create_symlink("good.jpg", at("link-to-file.jpg"));
  fs::create_symlink("sub", at("link-to-dir"));
  fs::create_symlink("loop.jpg", at("loop.jpg"));
  fs::create_symlink("missing.jpg", at("dangling.jpg"));
  writeFile(at("png-named.jpg"), pngBytes(300, 300));
  encodeJpeg(at("progressive.jpg"), 800, 600, progressive);
  encodeJpeg(at("restart-markers.jpg"), 320, 240, restart);
  makeJpeg(at("ctl\x01\x1f\x7f\tname.jpg"), 300, 300);
  makeJpeg(at("line\nbreak.jpg"), 300, 300);
  // Every byte from 0x80 to 0xFF, 32 to a name.
  std::vector<std::string> highNames;
  for (int first = 0x80; first <= 0xE0; first += 0x20) {
    std::string name;
    for (int b = first; b < first + 0x20; ++b) name += static_cast<char>(b);
    highNames.push_back(name + ".jpg");
    makeJpeg(at(highNames.back()), 300, 300, first);
  }
  makeJpeg(at("sub/s.jpg"), 300, 300);
  fs::create_symlink("..", at("sub/up"));
  makeJpeg(at("locked/inside.jpg"), 300, 300);
  // Caption files that are no files: they count as absent, and never block.
  ASSERT_EQ(mkfifo(at("good.txt").c_str(), 0644), 0);
  testsupport::makeDirs(at("grey.txt"));

  // In the walk's (byte) order.
  std::vector<MessyFile> files = {
      shown("cmyk.jpg", fourByThree),
      shown("ctl\x01\x1f\x7f\tname.jpg", square),
      skipped("cut-in-header.jpg", "Premature end of JPEG file\nBogus marker length\n"),
      shown("cut-in-scan.jpg", fiveByFour, "Premature end of JPEG file\n"),
      ignored("dangling.jpg"),
      skipped("empty.jpg", "Empty input file\n"),
      shown("exif-turned.jpg", Size{72, 96}),
      skipped("gif-bad-signature.gif", "Not a JPEG file: starts with 0x47 0x49\n"),
      // 20 bytes cannot code its screen: refused before gd allocates it.
      failed("gif-cut-in-palette.gif",
             "imgGifReadFile(\"messy/gif-cut-in-palette.gif\"): too few bytes for the size it claims"),
      shown("gif-cut.gif", square),
      skipped("gif-named.jpg", "Not a JPEG file: starts with 0x47 0x49\n"),
      // Its image is small, but gd would allocate what the screen claims.
      skipped("gif-screen-65000.gif", "",
              "picture too large \"messy/gif-screen-65000.gif\" (65000 x 65000)"),
      shown("good.jpg", fiveByFour),
      shown("grey.jpg", fourByThree),
      shown("line\nbreak.jpg", square),
      ignored("link-to-file.jpg"),
      ignored("loop.jpg"),
      shown("plain.gif", square),
      skipped("png-named.jpg", "Not a JPEG file: starts with 0x89 0x50\n"),
      shown("progressive.jpg", fourByThree, "", Size{640, 480}),
      shown("restart-markers.jpg", fourByThree),
  };
  for (const auto& name : highNames) files.push_back(shown(name, square));

  // The locked directory must stay unreadable to the run, root or not.
  fs::permissions(dir_.path(), fs::perms::all);
  for (const auto& e : fs::recursive_directory_iterator(dir_.path()))
    if (!e.is_symlink() && e.is_directory()) fs::permissions(e.path(), fs::perms::all);
  fs::permissions(at("locked"), fs::perms::none);
  RunResult r = testsupport::runQuorvelUnprivileged({"messy"}, dir_.path());
  fs::permissions(at("locked"), fs::perms::owner_all);

  std::string out =
      "######## messy ########\n*** . ***\n*** grey.txt ***\n"
      "*** locked ***\npb scandir messy/locked/.\n"
      "*** sub ***\nmessy/sub/s.vi.jpg\n";
  std::string err;
  size_t shownCount = 1;  // sub/s.jpg
  for (const auto& f : files) {
    if (f.outcome == Outcome::Shown || f.outcome == Outcome::Failed)
      out += "messy/" + withoutExtension(f.name) + ".vi.jpg\n";
    if (f.outcome == Outcome::Shown) ++shownCount;
    for (size_t from = 0, to; (to = f.stderrText.find('\n', from)) != std::string::npos; from = to + 1)
      err += "messy/" + f.name + ": " + f.stderrText.substr(from, to + 1 - from);
    if (!f.report.empty()) err += "**** ERROR quorvel : " + f.report + "\n";
  }
  EXPECT_EQ(r.status, 1);  // the pictures left out
  EXPECT_EQ(walkOutput(r.out), out);
  EXPECT_EQ(r.err, err);

  for (const auto& f : files) {
    SCOPED_TRACE(f.name);
    const std::string base = at(withoutExtension(f.name));
    if (f.outcome == Outcome::Shown) {
      EXPECT_EQ(derivedSize(base + ".vi.jpg"), f.thumbnail);
      EXPECT_EQ(derivedSize(base + ".vr.jpg"), f.thumbnail);
      if (f.medium == Size{})
        EXPECT_FALSE(fileExists(base + ".md.jpg"));
      else
        EXPECT_EQ(derivedSize(base + ".md.jpg"), f.medium);
    } else {
      for (const char* suffix : {".md.jpg", ".vr.jpg", ".vi.jpg"})
        EXPECT_FALSE(fileExists(base + suffix)) << suffix;
    }
  }
  for (const char* dir : {"", "sub/"})
    for (const char* page :
         {"quorvelFrameset.html", "quorvelTop.html", "quorvelLeft.html", "quorvelRight.html"})
      EXPECT_TRUE(fileExists(at(std::string(dir) + page))) << dir << page;
  EXPECT_FALSE(fileExists(at("locked/quorvelLeft.html")));
  EXPECT_FALSE(fileExists(at("good.html")));  // no caption, no medium: no page
  EXPECT_FALSE(fileExists(at("grey.html")));

  // Every picture shown has its entry in the Left page, and nothing else has.
  const std::string left = readFile(at("quorvelLeft.html")) + readFile(at("sub/quorvelLeft.html"));
  size_t entries = 0;
  for (size_t p = left.find("<img name="); p != std::string::npos;
       p = left.find("<img name=", p + 1))
    ++entries;
  EXPECT_EQ(entries, shownCount);
  expectOnlyWholeDerivedFiles(dir_ / "messy");
  EXPECT_EQ(testsupport::describe(testsupport::findBrokenLinks(dir_ / "messy")), "");
}

struct DamagedCase {
  const char* label;
  std::string name;
  void (*make)(const std::string& path, const std::string& good, const std::string& gif);
  std::string stderrText;
  bool decoded;  // the decode was tried: its thumbnail named, its list line written
};

// The picture is left out of its album; the others around it are made and the
// run ends with status 1.
TEST_F(MessyFolder, PicturesThatCannotBeMadeAreLeftOutAndTheWalkGoesOn) {
  const std::vector<DamagedCase> cases = {
      {"GIF whose data is garbage", "b.gif",
       [](const std::string& p, const std::string&, const std::string& gif) {
         writeFile(p, gif.substr(0, 13) + std::string(500, '\x55'));
       },
       "**** ERROR quorvel : imgGifReadFile(\"x/b.gif\"): cannot be opened or decoded\n", true},
      // gd's own words come before the report, whichever thread made it.
      {"GIF whose image is 0 pixels wide", "b.gif",
       [](const std::string& p, const std::string&, const std::string& gif) {
         std::string bytes = gif;
         bytes[bytes.find(',', 13) + 5] = bytes[bytes.find(',', 13) + 6] = 0;
         writeFile(p, bytes);
       },
       "GD Warning: one parameter to a memory allocation multiplication is negative or zero, failing operation "
       "gracefully\n**** ERROR quorvel : imgGifReadFile(\"x/b.gif\"): cannot be opened or decoded\n",
       true},
      {"header claims 65000 x 65000", "b.jpg",
       [](const std::string& p, const std::string& good, const std::string&) {
         writeFile(p, withClaimedSize(good, 65000, 65000));
       },
       "**** ERROR quorvel : picture too large \"x/b.jpg\" (65000 x 65000)\n", false},
      {"scan asks for impossible coefficients", "b.jpg",
       [](const std::string& p, const std::string&, const std::string&) {
         makeBadProgressionJpeg(p);
       },
       "x/b.jpg: Invalid progressive parameters Ss=1 Se=112 Ah=0 Al=2\n"
       "**** ERROR quorvel : imgJpegReadFile(\"x/b.jpg\")\n",
       true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    TempDir t;
    makeJpeg(t / "x/a.jpg", 800, 600);
    c.make(t / ("x/" + c.name), good_, gif_);
    makeJpeg(t / "x/c.jpg", 300, 300);
    RunResult r = runQuorvel({"x", "-list:l.bat"}, t.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, c.stderrText);
    EXPECT_EQ(walkOutput(r.out), std::string("######## x ########\n*** . ***\nx/a.vi.jpg\n") +
                                     (c.decoded ? "x/b.vi.jpg\n" : "") + "x/c.vi.jpg\n");
    EXPECT_EQ(derivedSize(t / "x/a.md.jpg"), (Size{640, 480}));
    EXPECT_EQ(derivedSize(t / "x/c.vi.jpg"), (Size{96, 96}));
    for (const char* suffix : {".md.jpg", ".vr.jpg", ".vi.jpg"})
      EXPECT_FALSE(fileExists(t / (std::string("x/b") + suffix))) << suffix;
    const std::string left = readFile(t / "x/quorvelLeft.html");
    EXPECT_NE(left.find("c.vi.jpg"), std::string::npos);
    EXPECT_EQ(left.find("b.vi.jpg"), std::string::npos);
    EXPECT_TRUE(fileExists(t / "x/quorvelTop.html"));
    // A line written before the decode failed stays.
    EXPECT_EQ(readFile(t / "l.bat").find("\"x/b.") != std::string::npos, c.decoded);
    expectOnlyWholeDerivedFiles(t.path());
  }
}

// Only the header is read: a picture of exactly the limit whose thumbnails
// are up to date is shown, one pixel more is refused.
TEST_F(MessyFolder, PixelLimitIsTheHeadersClaim) {
  TempDir t;
  writeFile(t / "x/a.jpg", withClaimedSize(good_, 20000, 12500));
  writeFile(t / "x/b.jpg", withClaimedSize(good_, 20001, 12500));
  for (const char* thumb : {"x/a.vi.jpg", "x/a.vr.jpg", "x/a.md.jpg", "x/b.vi.jpg", "x/b.vr.jpg"}) {
    makeJpeg(t / thumb, 96, 60);
    testsupport::touch(t / thumb, 100);
  }
  RunResult r = runQuorvel({"x"}, t.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "**** ERROR quorvel : picture too large \"x/b.jpg\" (20001 x 12500)\n");
  const std::string left = readFile(t / "x/quorvelLeft.html");
  EXPECT_NE(left.find("a.vi.jpg"), std::string::npos);
  EXPECT_EQ(left.find("b.vi.jpg"), std::string::npos);
}

// A JPEG under a .gif name, in any case, is measured by the JPEG reader, so
// it is decoded as the JPEG it is instead of ending the run in the GIF decoder.
TEST_F(MessyFolder, JpegNamedGifIsShownAsTheJpegItIs) {
  TempDir t;
  makeJpeg(t / "x/B.GIF", 300, 300);
  makeJpeg(t / "x/b.gif", 300, 300);
  makeJpeg(t / "x/c.Gif", 300, 300);
  RunResult r = runQuorvel({"x", "-list:l.bat"}, t.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(walkOutput(r.out),
            "######## x ########\n*** . ***\nx/B.vi.jpg\nx/b.vi.jpg\nx/c.vi.jpg\n");
  EXPECT_EQ(derivedSize(t / "x/c.vi.jpg"), (Size{96, 96}));
  EXPECT_EQ(readFile(t / "l.bat"), "copy \"x/B.GIF\" \"%1\\00000.gif\"\n"
                                   "copy \"x/b.gif\" \"%1\\00001.gif\"\n"
                                   "copy \"x/c.Gif\" \"%1\\00002.gif\"\n");
}

}  // namespace
