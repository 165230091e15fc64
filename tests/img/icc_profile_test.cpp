// Which colour profiles the derived pictures carry, and the thumbnails'.
#include <gtest/gtest.h>

#include <string>

#include "img/icc_profile.h"
#include "img/jpeg_codec.h"
#include "support/test_support.h"

namespace {

// Display P3 as a HEIF's colour description gives it: a sound display
// profile of about 500 bytes, grown to size when asked (its size field
// following).
std::string profile(size_t size = 0) {
  std::string icc = imgIccFromPrimaries({0.680, 0.320, 0.265, 0.690, 0.150, 0.060, 0.3127, 0.3290}, 13);
  if (size == 0) return icc;
  icc.resize(size, '\0');
  for (int i = 0; i < 4; ++i) icc[i] = static_cast<char>(size >> (24 - 8 * i));
  return icc;
}

}  // namespace

TEST(IccProfile, SoundRgbProfilesOfSensibleSizeAreCarriedAndThumbnailsGetCompactOnes) {
  std::string lines;
  EXPECT_EQ(imgIccCarried(profile(), "a.png", &lines), profile());
  EXPECT_EQ(lines, "");
  std::string noise(3000, '\0');
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>(i * 2654435761u >> 13);
  const struct {
    std::string icc, reason;
  } kRefused[] = {{profile(300000), "300000 bytes, more than 262144"},
                  {noise, "not an ICC profile"},
                  {profile().replace(16, 4, "Lab "), "a profile of Lab colours, not RGB"},
                  {profile().replace(12, 4, "link"), "a profile of class link, not one for showing"},
                  {profile().substr(0, profile().size() - 40), "a damaged ICC profile"}};  // a tag cut off
  for (const auto& refused : kRefused) {
    lines.clear();
    EXPECT_EQ(imgIccCarried(refused.icc, "a.png", &lines), "");
    EXPECT_EQ(lines, "*** quorvel: colour profile dropped \"a.png\" (" + refused.reason + ")\n");
  }
  // A 96-pixel thumbnail is a few kilobytes: an ordinary profile goes with
  // it as it is, a large one as a sound compact profile.
  EXPECT_EQ(imgIccForThumbnail(profile()), profile());
  const std::string compact = imgIccForThumbnail(profile(100000));
  EXPECT_EQ(imgIccCarried(compact, "a.png", &lines), compact);
  OwnedImg thumbnail;
  ASSERT_EQ(imgCreate(&thumbnail.img, 96, 72), IMG_OK);
  for (int y = 0; y < 72; ++y)
    for (int x = 0; x < 96 * 3; ++x) thumbnail.img.rows[y][x] = static_cast<unsigned char>(x * 7 + y * 13);
  const std::string file = testsupport::streamText(
      [&](FILE* out) { ASSERT_EQ(imgJpegWrite(&thumbnail.img, out, 85, "t.jpg", nullptr, &compact), IMG_OK); });
  ASSERT_NE(file.find(compact), std::string::npos);
  EXPECT_LE(compact.size(), file.size() - compact.size());
}
