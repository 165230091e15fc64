// Which colour profiles the derived pictures carry, and the thumbnails'.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <string>

#include "img/icc_profile.h"
#include "img/jpeg_codec.h"
#include "img/picture_formats.h"
#include "support/test_support.h"

namespace {

using testsupport::TempDir;

// Display P3 with sRGB's curve, as a HEIF's colour description gives it: a
// sound display profile of about 500 bytes.
std::string ordinary() { return imgIccFromPrimaries({0.680, 0.320, 0.265, 0.690, 0.150, 0.060, 0.3127, 0.3290}, 13); }

// The ordinary profile grown to size bytes, its size field following.
std::string grown(size_t size) {
  std::string icc = ordinary();
  icc.resize(size, '\0');
  for (int i = 0; i < 4; ++i) icc[i] = static_cast<char>(size >> (24 - 8 * i));
  return icc;
}

std::string bigEndian(uint32_t value) {
  return {static_cast<char>(value >> 24), static_cast<char>(value >> 16), static_cast<char>(value >> 8),
          static_cast<char>(value)};
}

std::string chunk(const std::string& type, const std::string& data) {
  const std::string body = type + data;
  return bigEndian(data.size()) + body + bigEndian(crc32(0, reinterpret_cast<const Bytef*>(body.data()), body.size()));
}

std::string deflated(const std::string& bytes) {
  uLongf length = compressBound(bytes.size());
  std::string out(length, '\0');
  compress2(reinterpret_cast<Bytef*>(out.data()), &length, reinterpret_cast<const Bytef*>(bytes.data()), bytes.size(),
            9);
  out.resize(length);
  return out;
}

// An 8 x 8 PNG of one grey, stored as RGB or as grey, carrying icc.
std::string pngWithProfile(const std::string& icc, bool grey = false) {
  std::string rows;
  for (int y = 0; y < 8; ++y) rows += '\0' + std::string(grey ? 8 : 24, '\x80');
  const std::string header = bigEndian(8) + bigEndian(8) + '\x08' + (grey ? '\0' : '\x02') + std::string(3, '\0');
  return "\x89PNG\r\n\x1a\n" + chunk("IHDR", header) + chunk("iCCP", std::string("profile\0\0", 9) + deflated(icc)) +
         chunk("IDAT", deflated(rows)) + chunk("IEND", "");
}

std::string little32(size_t value) { return {char(value), char(value >> 8), char(value >> 16), char(value >> 24)}; }

// A 1 x 1 lossless WebP carrying icc in its ICCP chunk.
std::string webpWithProfile(const std::string& icc) {
  const std::string extended = std::string("\x20\0\0\0", 4) + std::string(6, '\0');
  const std::string pixel("\x2f\0\0\0\0\x88\x88\x08", 8);  // one colour, five one-symbol codes
  const std::string chunks = "VP8X" + little32(10) + extended + "ICCP" + little32(icc.size()) + icc +
                             (icc.size() % 2 ? std::string(1, '\0') : "") + "VP8L" + little32(8) + pixel;
  return "RIFF" + little32(4 + chunks.size()) + "WEBP" + chunks;
}

std::string dropped(const std::string& path, const std::string& reason) {
  return "*** quorvel: colour profile dropped \"" + path + "\" (" + reason + ")\n";
}

}  // namespace

TEST(IccProfile, OnlySoundRgbProfilesForShowingOfSensibleSizeAreCarried) {
  std::string icc = ordinary(), lines;
  imgIccCarry(&icc, "a.png", &lines);
  EXPECT_EQ(icc, ordinary());
  EXPECT_EQ(lines, "");
  std::string lab = ordinary(), link = ordinary();
  lab.replace(16, 4, "Lab ");
  link.replace(12, 4, "link");
  std::string noise(3000, '\0');
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>(i * 2654435761u >> 13);
  std::string cut = ordinary();
  cut.resize(cut.size() - 40);  // its last tag past the end
  const struct {
    std::string icc, reason;
  } kRefused[] = {{grown(300000), "300000 bytes, more than 262144"},
                  {noise, "not an ICC profile"},
                  {lab, "a profile of Lab colours, not RGB"},
                  {link, "a profile of class link, not one for showing"},
                  {cut, "a damaged ICC profile"}};
  for (const auto& refused : kRefused) {
    icc = refused.icc;
    lines.clear();
    imgIccCarry(&icc, "a.png", &lines);
    EXPECT_EQ(icc, "");
    EXPECT_EQ(lines, dropped("a.png", refused.reason));
  }
}

// Every format's decode hands its profile through the same rule, and the
// line naming the picture comes with the decode's messages: a profile
// libpng refuses says libpng's reason.
TEST(IccProfile, DecodesCarryOrdinaryProfilesAndNameThePictureOfADroppedOne) {
  TempDir t;
  const struct {
    const char* name;
    ImgFormat format;
    std::string bytes, icc, line;
  } kCases[] = {
      {"ordinary.png", ImgFormat::Png, pngWithProfile(ordinary()), ordinary(), ""},
      {"grey.png", ImgFormat::Png, pngWithProfile(grown(600).replace(16, 4, "GRAY"), true), "",
       dropped(t / "grey.png", "a profile of GRAY colours, not RGB")},
      {"large.png", ImgFormat::Png, pngWithProfile(grown(300000)), "",
       dropped(t / "large.png", "profile 'profile': 493E0h: exceeds application limits")},
      {"ordinary.webp", ImgFormat::Webp, webpWithProfile(ordinary()), ordinary(), ""},
      {"large.webp", ImgFormat::Webp, webpWithProfile(grown(300000)), "",
       dropped(t / "large.webp", "300000 bytes, more than 262144")},
  };
  for (const auto& c : kCases) {
    const std::string path = t / c.name;
    testsupport::writeFile(path, c.bytes);
    OwnedImg img;
    ImgDecoded out;
    ASSERT_EQ(imgFormatDecode(&img.img, path.c_str(), c.format, {}, &out), IMG_OK) << c.name << out.why;
    EXPECT_TRUE(out.icc == c.icc) << c.name << ": " << out.icc.size() << " bytes of profile";
    EXPECT_EQ(out.libraryText, c.line) << c.name;
  }
}

// A thumbnail of 96 pixels is a few kilobytes: an ordinary profile goes
// with it as it is, a large one as a compact profile of its colours.
TEST(IccProfile, ThumbnailsCarryNoMoreProfileThanPicture) {
  EXPECT_EQ(imgIccForThumbnail(ordinary()), ordinary());
  EXPECT_EQ(imgIccForThumbnail(""), "");
  const std::string compact = imgIccForThumbnail(grown(100000));
  std::string kept = compact, lines;
  imgIccCarry(&kept, "a.png", &lines);
  EXPECT_EQ(kept, compact);  // a sound profile
  OwnedImg thumbnail;
  ASSERT_EQ(imgCreate(&thumbnail.img, 96, 72), IMG_OK);
  for (int y = 0; y < 72; ++y)
    for (int x = 0; x < 96 * 3; ++x) thumbnail.img.rows[y][x] = static_cast<unsigned char>(x * 7 + y * 13);
  const std::string file = testsupport::streamText(
      [&](FILE* out) { ASSERT_EQ(imgJpegWrite(&thumbnail.img, out, 85, "t.jpg", nullptr, &compact), IMG_OK); });
  ASSERT_NE(file.find(compact), std::string::npos);
  EXPECT_LE(compact.size(), file.size() - compact.size());
}
