// The added formats' decoders: exact pixels where the format is lossless,
// the library's own decode where it is not, the fitted decode equal to the
// whole one reduced, profiles carried into the derived JPEGs.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "img/icc_profile.h"
#include "img/jpeg_codec.h"
#include "img/picture_formats.h"
#include "img/resize.h"
#include "support/test_support.h"

namespace {

using testsupport::TempDir;

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

}  // namespace
