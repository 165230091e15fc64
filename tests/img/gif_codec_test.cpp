#include "img/gif_codec.h"

#include <gd.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

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
  ASSERT_EQ(imgGifReadFile(&img.img, (dir / "t.gif").c_str()), 0);
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
  ASSERT_EQ(imgGifReadFile(&img.img, (dir / "i.gif").c_str()), 0);
  for (int y = 0; y < 20; ++y) EXPECT_EQ(rgbAt(img.img, 3, y), (std::vector<int>{y * 10, 255 - y * 10, y})) << y;
}

struct Recorder {
  std::vector<std::string> calls;
};

TEST(GifCodec, LoadCallsSizeThenPixelsRowByRowThenEnd) {
  TempDir dir;
  testsupport::makeGif(dir / "c.gif", 2, 2);
  Recorder rec;
  ASSERT_EQ(imgGifLoad(
                (dir / "c.gif").c_str(),
                [](void* u, int w, int h) {
                  static_cast<Recorder*>(u)->calls.push_back("size " + std::to_string(w) + "x" + std::to_string(h));
                },
                [](void* u) { static_cast<Recorder*>(u)->calls.push_back("end"); },
                [](void* u, int x, int y, int, int, int) {
                  static_cast<Recorder*>(u)->calls.push_back(std::to_string(x) + "," + std::to_string(y));
                },
                &rec),
            0);
  EXPECT_EQ(rec.calls, (std::vector<std::string>{"size 2x2", "0,0", "1,0", "0,1", "1,1", "end"}));
}

TEST(GifCodec, UnreadableFilesFail) {
  TempDir dir;
  testsupport::writeFile(dir / "bad.gif", "GIF89a\x01");
  int calls = 0;
  auto size = [](void* u, int, int) { ++*static_cast<int*>(u); };
  auto end = [](void* u) { ++*static_cast<int*>(u); };
  auto px = [](void* u, int, int, int, int, int) { ++*static_cast<int*>(u); };
  EXPECT_EQ(imgGifLoad((dir / "none.gif").c_str(), size, end, px, &calls), 1);
  EXPECT_EQ(imgGifLoad((dir / "bad.gif").c_str(), size, end, px, &calls), 2);
  EXPECT_EQ(calls, 0);

  OwnedImg img;
  EXPECT_EQ(imgGifReadFile(&img.img, (dir / "bad.gif").c_str()), 0x10000000);
  EXPECT_EQ(img.img.status, 0x10000000);
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
  EXPECT_EQ(imgGifReadFile(&img.img, (dir / "s.gif").c_str()), IMG_GIF_TOO_LARGE);
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
  const bool failed = imgGifReadFile(&img.img, path.c_str()) == IMG_GIF_ALLOC &&
                      img.img.status == (IMG_GIF_ALLOC | IMG_CREATE_FAILED);
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
