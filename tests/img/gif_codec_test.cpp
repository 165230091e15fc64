#include "img/gif_codec.h"

#include <gd.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <array>
#include <fstream>
#include <string>
#include <vector>

#include "img/resize.h"
#include "support/test_support.h"

namespace {

using testsupport::TempDir;

void saveGif(gdImagePtr im, const std::string& path) {
  FILE* f = fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  gdImageGif(im, f);
  fclose(f);
  gdImageDestroy(im);
}

// Decodes path into img as target asks; gd's lines into lines.
ImgStatus decode(OwnedImg& img, const std::string& path, const ImgDecodeTarget& target = {},
                 std::string* lines = nullptr) {
  ImgDecoded out;
  const ImgStatus status = imgGifDecode(&img.img, path.c_str(), target, &out);
  if (lines) *lines = out.libraryText;
  return status;
}

std::vector<int> rgbAt(const Img& img, int x, int y) {
  const unsigned char* p = img.rows[y] + x * 3;
  return {p[0], p[1], p[2]};
}

TEST(GifCodec, TransparentPixelsTakeTheirPaletteColour) {
  TempDir dir;
  gdImagePtr im = gdImageCreate(4, 3);
  const int clear = gdImageColorAllocate(im, 10, 20, 30);
  const int ink = gdImageColorAllocate(im, 200, 100, 50);
  gdImageColorTransparent(im, clear);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) gdImageSetPixel(im, x, y, (x + y) % 2 ? ink : clear);
  saveGif(im, dir / "t.gif");

  OwnedImg img;
  ASSERT_EQ(decode(img, dir / "t.gif"), IMG_OK);
  ASSERT_EQ(img.img.status, 0);
  ASSERT_EQ(img.img.width, 4);
  ASSERT_EQ(img.img.height, 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x)
      EXPECT_EQ(rgbAt(img.img, x, y), ((x + y) % 2 ? std::vector<int>{200, 100, 50} : std::vector<int>{10, 20, 30}))
          << x << "," << y;
}

TEST(GifCodec, InterlacedGifDecodesInRowOrder) {
  TempDir dir;
  gdImagePtr im = gdImageCreate(5, 20);
  for (int y = 0; y < 20; ++y) {
    const int c = gdImageColorAllocate(im, y * 10, 255 - y * 10, y);
    for (int x = 0; x < 5; ++x) gdImageSetPixel(im, x, y, c);
  }
  gdImageInterlace(im, 1);
  saveGif(im, dir / "i.gif");
  ASSERT_EQ(testsupport::readFile(dir / "i.gif")[0x1A] & 0x40, 0x40) << "not written interlaced";

  OwnedImg img;
  ASSERT_EQ(decode(img, dir / "i.gif"), IMG_OK);
  for (int y = 0; y < 20; ++y) EXPECT_EQ(rgbAt(img.img, 3, y), (std::vector<int>{y * 10, 255 - y * 10, y})) << y;
}

TEST(GifCodec, HeaderGivesTheScreenAndWhatTheDecodeHolds) {
  TempDir dir;
  testsupport::makeGif(dir / "c.gif", 30, 20);
  ImgHeaderInfo info;
  ImgDecoded out;
  ASSERT_EQ(imgGifReadHeader((dir / "c.gif").c_str(), &info, &out), IMG_OK);
  EXPECT_EQ(info.width, 30);
  EXPECT_EQ(info.height, 20);
  EXPECT_EQ(info.held, 30 * 20 * 7);  // gd's image, at most 4 bytes a pixel, and the raster
  testsupport::writeFile(dir / "short.gif", "GIF89a\x01");
  EXPECT_EQ(imgGifReadHeader((dir / "short.gif").c_str(), &info, &out), IMG_DECODE_DAMAGED);
  EXPECT_EQ(imgGifReadHeader((dir / "none.gif").c_str(), &info, &out), IMG_DECODE_OPEN);
  EXPECT_EQ(out.why, "");
}

// Reduced as its rows come, or enlarged whole: the bytes of the whole
// picture resized, whichever box.
TEST(GifCodec, FittedDecodeIsTheWholeResized) {
  TempDir dir;
  testsupport::makeGif(dir / "f.gif", 40, 30);
  OwnedImg whole;
  ASSERT_EQ(decode(whole, dir / "f.gif"), IMG_OK);
  for (auto [bw, bh] : {std::array{20, 20}, {39, 29}, {80, 80}, {0, 9}}) {
    OwnedImg fitted, resized;
    ASSERT_EQ(decode(fitted, dir / "f.gif", {true, bw, bh, true}), IMG_OK);
    ASSERT_EQ(imgResize(&resized.img, bw, bh, &whole.img, false), IMG_OK);
    ASSERT_EQ(fitted.img.width, resized.img.width);
    ASSERT_EQ(fitted.img.height, resized.img.height);
    for (int y = 0; y < fitted.img.height; ++y)
      ASSERT_TRUE(std::equal(fitted.img.rows[y], fitted.img.rows[y] + 3 * fitted.img.width, resized.img.rows[y]))
          << bw << "x" << bh << " row " << y;
  }
}

TEST(GifCodec, UnreadableFilesFail) {
  TempDir dir;
  testsupport::writeFile(dir / "bad.gif", "GIF89a\x01");
  OwnedImg img;
  EXPECT_EQ(decode(img, dir / "none.gif"), IMG_DECODE_UNREADABLE);
  EXPECT_EQ(decode(img, dir / "bad.gif"), IMG_DECODE_UNREADABLE);
  EXPECT_EQ(img.img.status, IMG_DECODE_UNREADABLE);
  EXPECT_EQ(img.img.rows, nullptr);
}

// gd's words on a GIF it refuses come back with the failure, in gd's own
// form; nothing is written.
TEST(GifCodec, GdMessagesAreHandedBackNotWritten) {
  TempDir dir;
  testsupport::makeGif(dir / "z.gif", 20, 20);
  std::string bytes = testsupport::readFile(dir / "z.gif");
  // The image descriptor: after the global colour table and any extension.
  const unsigned char flags = static_cast<unsigned char>(bytes[10]);
  size_t image = 13 + (flags & 0x80 ? size_t{3} << ((flags & 7) + 1) : 0);
  while (bytes.at(image) == '!') {
    image += 2;
    while (bytes.at(image) != 0) image += static_cast<unsigned char>(bytes[image]) + 1;
    ++image;
  }
  ASSERT_EQ(bytes[image], ',');
  bytes[image + 5] = bytes[image + 6] = 0;  // an image 0 pixels wide
  testsupport::writeFile(dir / "z.gif", bytes);
  OwnedImg img;
  std::string lines;
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(decode(img, dir / "z.gif", {}, &lines), IMG_DECODE_UNREADABLE);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(lines,
            "GD Warning: one parameter to a memory allocation multiplication is negative or zero, failing "
            "operation gracefully\n");
}

// 35 bytes can claim 26000 x 26000; gd would allocate it before reading a
// pixel. The image inside is small, so only the screen makes it a bomb.
TEST(GifCodec, ScreenPastThePixelLimitIsRefusedBeforeDecoding) {
  TempDir dir;
  testsupport::makeGif(dir / "s.gif", 20, 20);
  std::string bytes = testsupport::readFile(dir / "s.gif");
  bytes.replace(6, 4, "\x90\x65\x90\x65");  // screen 26000 x 26000
  testsupport::writeFile(dir / "s.gif", bytes);
  OwnedImg img;
  EXPECT_EQ(decode(img, dir / "s.gif"), IMG_DECODE_TOO_LARGE);
  EXPECT_EQ(img.img.rows, nullptr);
}

long dataKilobytes() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmData:", 0) == 0) return std::stol(line.substr(7));
  return -1;
}

// In a child: with 8 MB of data left, gd's image fits and the raster not.
[[noreturn]] void decodeShortOfMemory(const std::string& path) {
  const rlim_t limit = static_cast<rlim_t>(dataKilobytes() + 8 * 1024) * 1024;
  const rlimit data{limit, limit};
  setrlimit(RLIMIT_DATA, &data);
  OwnedImg img;
  const bool failed = decode(img, path) == IMG_DECODE_ALLOC && img.img.status == IMG_DECODE_ALLOC;
  _exit(failed ? 0 : 1);
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
constexpr bool kAddressSanitizer = __has_feature(address_sanitizer);
#else
constexpr bool kAddressSanitizer = false;
#endif

TEST(GifCodec, RasterThatCannotBeAllocatedIsAFailure) {
  if (kAddressSanitizer) GTEST_SKIP() << "the sanitizer's allocator does not keep to a data limit";
  TempDir dir;
  testsupport::makeGif(dir / "big.gif", 2000, 2000);  // gd's image 4 MB, the raster 12 MB
  EXPECT_EXIT(decodeShortOfMemory(dir / "big.gif"), testing::ExitedWithCode(0), "");
}

}  // namespace
