// The added formats' decoders: exact pixels where the format is lossless,
// the library's own decode where it is not, the fitted decode equal to the
// whole one reduced, profiles carried into the derived JPEGs.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "base/limits.h"
#include "img/icc_profile.h"
#include "img/jpeg_codec.h"
#include "img/picture_formats.h"
#include "img/resize.h"
#include "support/test_support.h"

namespace {

using testsupport::TempDir;
using testsupport::writeFile;

void sh(const std::string& command) { ASSERT_EQ(std::system(command.c_str()), 0) << command; }

std::vector<unsigned char> pixels(const Img& img) {
  std::vector<unsigned char> out;
  for (int y = 0; y < img.height; ++y) out.insert(out.end(), img.rows[y], img.rows[y] + img.width * 3);
  return out;
}

// The whole picture of path, read as its content says.
std::vector<unsigned char> decoded(const std::string& path, int* width = nullptr, std::string* icc = nullptr) {
  ImgFormat format;
  EXPECT_TRUE(imgFormatOfFile(path.c_str(), &format));
  OwnedImg whole;
  ImgDecoded out;
  EXPECT_EQ(imgFormatDecode(&whole.img, path.c_str(), format, {}, &out), IMG_OK) << path << out.why;
  if (width) *width = whole.img.width;
  if (icc) *icc = out.icc;
  return pixels(whole.img);
}

struct Samples {
  TempDir t;
  std::vector<unsigned char> source;  // the picture every file was made from
  Samples() {
    testsupport::makeJpeg(t / "base.jpg", 300, 200, 5);
    int w, h;
    source = testsupport::decodeJpeg(t / "base.jpg", &w, &h);
    sh("cd " + t.path() + " && convert base.jpg base.png && convert base.png -depth 16 -interlace PNG deep.png"
       " && cwebp -quiet -lossless base.png -o lossless.webp && cwebp -quiet base.png -o lossy.webp"
       " && cp lossy.webp turned.webp && exiftool -q -q -overwrite_original -n -Orientation=6 turned.webp"
       " && heif-enc -q 50 base.png -o shot.heic >/dev/null && heif-convert shot.heic shot-library.png >/dev/null"
       " && avifenc -s 8 base.png shot.avif >/dev/null"
       " && avifenc -s 8 --cicp 12/13/6 base.png p3.avif >/dev/null");
  }
};

TEST(FormatCodecs, LosslessFilesDecodeToTheirPixelsAndLossyOnesAsTheirLibrary) {
  Samples s;
  EXPECT_EQ(decoded(s.t / "base.png"), s.source);
  EXPECT_EQ(decoded(s.t / "deep.png"), s.source);  // 16 bits, interlaced, rounded back to 8
  EXPECT_EQ(decoded(s.t / "lossless.webp"), s.source);
  EXPECT_EQ(decoded(s.t / "shot.heic"), decoded(s.t / "shot-library.png"));
  // Cut inside its data: libheif's reason ends in a line feed, which must
  // not split the error line it is quoted in.
  const std::string cut = s.t / "cut.heic";
  sh("head -c 2000 " + (s.t / "shot.heic") + " >" + cut);
  OwnedImg none;
  ImgDecoded said;
  EXPECT_EQ(imgFormatDecode(&none.img, cut.c_str(), ImgFormat::Heif, {}, &said), IMG_DECODE_DAMAGED);
  EXPECT_NE(said.why, "");
  EXPECT_EQ(said.why.find('\n'), std::string::npos) << said.why;
  int width = 0;
  EXPECT_EQ(decoded(s.t / "shot.avif", &width).size(), s.source.size());
  EXPECT_EQ(width, 300);
}

TEST(FormatCodecs, HeaderGivesTheDecodedSizeAndFittedDecodeIsTheWholeReduced) {
  Samples s;
  // turned.webp: its EXIF chunk turns it a quarter, header and decode alike.
  for (const char* name : {"base.png", "deep.png", "lossy.webp", "turned.webp", "shot.heic", "shot.avif"}) {
    const std::string path = s.t / name;
    ImgFormat format;
    ASSERT_TRUE(imgFormatOfFile(path.c_str(), &format));
    OwnedImg whole, reduced, fitted;
    ImgDecoded out;
    ASSERT_EQ(imgFormatDecode(&whole.img, path.c_str(), format, {}, &out), IMG_OK) << name;
    ImgHeaderInfo header;
    ASSERT_EQ(imgFormatReadHeader(path.c_str(), format, &header, &out), IMG_OK) << name;
    EXPECT_EQ(header.width, whole.img.width) << name;
    EXPECT_EQ(header.height, whole.img.height) << name;
    ASSERT_EQ(imgResize(&reduced.img, 160, 120, &whole.img, false), IMG_OK);
    ASSERT_EQ(imgFormatDecode(&fitted.img, path.c_str(), format, {true, 160, 120}, &out), IMG_OK) << name;
    EXPECT_EQ(pixels(fitted.img), pixels(reduced.img)) << name;
    // A box the picture fits already keeps it whole: never enlarged.
    OwnedImg kept;
    ASSERT_EQ(imgFormatDecode(&kept.img, path.c_str(), format, {true, 640, 480}, &out), IMG_OK);
    EXPECT_EQ(pixels(kept.img), pixels(whole.img)) << name;
  }
}

TEST(FormatCodecs, ColourProfilesAreCarriedIntoTheDerivedJpeg) {
  Samples s;
  std::string icc;
  decoded(s.t / "base.png", nullptr, &icc);
  EXPECT_EQ(icc, "");  // sRGB needs none
  decoded(s.t / "p3.avif", nullptr, &icc);
  ASSERT_GT(icc.size(), 128u);
  EXPECT_EQ(icc.compare(36, 4, "acsp"), 0);
  // Display P3's red, adapted to D50, as its published profiles have it.
  const std::string p3 = imgIccFromPrimaries({0.680, 0.320, 0.265, 0.690, 0.150, 0.060, 0.3127, 0.3290}, 13);
  EXPECT_EQ(icc, p3);
  EXPECT_EQ(imgIccFromPrimaries({0.680, 0.320, 0.265, 0.690, 0.150, 0.060, 0.3127, 0.3290}, 16), "");  // PQ

  OwnedImg img;
  ASSERT_EQ(imgCreate(&img.img, 8, 8), IMG_OK);
  memset(img.img.rows[0], 128, 8 * 8 * 3);
  FILE* file = fopen((s.t / "p3.jpg").c_str(), "wb");
  ASSERT_EQ(imgJpegWrite(&img.img, file, 85, "p3.jpg", nullptr, &icc), IMG_OK);
  fclose(file);
  const std::string written = testsupport::readFile(s.t / "p3.jpg");
  EXPECT_NE(written.find(std::string("ICC_PROFILE\0\x01\x01", 14) + icc), std::string::npos);
}

using testsupport::big;
using testsupport::box;
using testsupport::fullBox;

// A HEIF made box by box: items 1, 2, ... of the types and data given (the
// data in idat), each with an ispe of 24 x 16; item 1 the primary, with the
// properties given too, made of the others.
std::string composedHeif(const std::vector<std::pair<const char*, std::string>>& items,
                         const std::vector<std::string>& properties = {}) {
  std::string infe, iloc, idat, dimg, ipma;
  for (uint32_t id = 1; id <= items.size(); ++id) {
    const auto& [type, data] = items[id - 1];
    infe += fullBox("infe", big(id, 2) + big(0, 2) + type + '\0', 2);
    // From idat (construction method 1), in one extent.
    iloc += big(id, 2) + big(1, 2) + big(0, 2) + big(1, 2) + big(idat.size(), 4) + big(data.size(), 4);
    idat += data;
    if (id > 1) dimg += big(id, 2);
    ipma += big(id, 2) + big(id == 1 ? 1 + properties.size() : 1, 1) + "\x81";
    for (size_t p = 0; id == 1 && p < properties.size(); ++p) ipma += static_cast<char>(0x82 + p);
  }
  std::string ipco = fullBox("ispe", big(24, 4) + big(16, 4));
  for (const std::string& property : properties) ipco += property;
  const std::string meta =
      fullBox("hdlr", big(0, 4) + "pict" + std::string(13, '\0')) + fullBox("pitm", big(1, 2)) +
      fullBox("iinf", big(items.size(), 2) + infe) +
      fullBox("iloc", "\x44" + big(0, 1) + big(items.size(), 2) + iloc, 1) +
      box("idat", idat) + fullBox("iref", dimg.empty() ? "" : box("dimg", big(1, 2) + big(dimg.size() / 2, 2) + dimg)) +
      box("iprp", box("ipco", ipco) + fullBox("ipma", big(items.size(), 4) + ipma));
  return box("ftyp", "mif1" + big(0, 4) + "mif1heic") + fullBox("meta", meta);
}

// An overlay's data: its canvas (sizes of 32 bits when wide), the fill, and
// the place of each of its inputs.
std::string overlay(uint32_t width, uint32_t height, bool wide, int inputs = 0) {
  const int n = wide ? 4 : 2;
  return big(0, 1) + big(wide, 1) + std::string(8, '\0') + big(width, n) + big(height, n) +
         std::string(2 * n * inputs, '\0');
}

ImgHeaderInfo headerOf(const std::string& path) {
  ImgHeaderInfo header;
  ImgDecoded out;
  EXPECT_EQ(imgFormatReadHeader(path.c_str(), ImgFormat::Heif, &header, &out), IMG_OK) << path << out.why;
  return header;
}

// The library decodes an overlay or a grid at its canvas's size, whatever
// its ispe says, and allocates it whole before anything else: the header
// tells that size, and no canvas past the pixel limit is ever decoded,
// wherever the primary image uses it.
TEST(FormatCodecs, ComposedHeifHeaderTellsItsCanvasAndOnePastTheLimitIsNeverDecoded) {
  TempDir t;
  writeFile(t / "overlay.heic", composedHeif({{"iovl", overlay(40, 30, false)}}, {box("irot", "\x01")}));
  ImgHeaderInfo header = headerOf(t / "overlay.heic");
  EXPECT_EQ(header.width, 30);  // turned a quarter
  EXPECT_EQ(header.height, 40);

  // 70000 wide: past the library's own side limit too, so that a decode
  // reaching it fails otherwise, without allocating.
  const std::string huge = overlay(70000, 4000, true);
  const std::string grid = big(0, 1) + big(1, 1) + big(0, 2) + big(70000, 4) + big(4000, 4);
  std::string crop;  // to 24 x 16, centred: each a fraction
  for (uint32_t n : {24, 16, 0, 0}) crop += big(n, 4) + big(1, 4);
  crop = box("clap", crop);
  const struct {
    const char* name;
    std::string bytes;
    bool headerTooLarge;
  } cases[] = {
      {"overlay", composedHeif({{"iovl", huge}}), true},
      {"grid", composedHeif({{"grid", grid}}), true},
      {"cropped", composedHeif({{"iovl", huge}}, {crop}), true},  // cropped once whole
      {"input", composedHeif({{"iovl", overlay(24, 16, false, 1)}, {"iovl", huge}}), false},
      {"identity", composedHeif({{"iden", ""}, {"iovl", huge}}), false},
  };
  for (const auto& c : cases) {
    const std::string path = t / (std::string(c.name) + ".heic");
    writeFile(path, c.bytes);
    header = headerOf(path);
    EXPECT_EQ(static_cast<long long>(header.width) * header.height > kMaxPicturePixels, c.headerTooLarge) << c.name;
    OwnedImg img;
    ImgDecoded out;
    EXPECT_EQ(imgFormatDecode(&img.img, path.c_str(), ImgFormat::Heif, {}, &out), IMG_DECODE_TOO_LARGE) << c.name;
  }
}

}  // namespace
