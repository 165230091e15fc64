#include "img/resize.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <random>
#include <vector>

#include "img/img.h"
#include "img/area_reference.h"
#include "img/reduce.h"

namespace {

// A raster released when the test ends.
struct Raster : OwnedImg {
  Raster() = default;
  Raster(int w, int h) { EXPECT_EQ(imgCreate(&img, w, h), 0); }
  // w x h with the given {r, g, b} pixels, row by row.
  Raster(int w, int h, std::initializer_list<std::array<int, 3>> pixels) : Raster(w, h) {
    int i = 0;
    for (const auto& p : pixels) set(i % w, i / w, p[0], p[1], p[2]), ++i;
  }
  unsigned char* at(int x, int y) { return img.rows[y] + 3 * x; }
  void set(int x, int y, int r, int g, int b) {
    unsigned char* p = at(x, y);
    p[0] = static_cast<unsigned char>(r);
    p[1] = static_cast<unsigned char>(g);
    p[2] = static_cast<unsigned char>(b);
  }
  std::vector<int> pixel(int x, int y) {
    const unsigned char* p = at(x, y);
    return {p[0], p[1], p[2]};
  }
};

void fillRandom(Raster* r, std::mt19937* rng) {
  for (int y = 0; y < r->img.height; ++y)
    for (int k = 0; k < 3 * r->img.width; ++k) r->img.rows[y][k] = static_cast<unsigned char>((*rng)() & 0xff);
}

bool samePixels(const Img& a, const Img& b) {
  if (a.width != b.width || a.height != b.height) return false;
  for (int y = 0; y < a.height; ++y)
    if (!std::equal(a.rows[y], a.rows[y] + 3 * a.width, b.rows[y])) return false;
  return true;
}

// ------------------------------------------------------------------------
// Straightforward versions of the resampler's arithmetic: nine rectangle
// passes per destination pixel (imgAreaAdd, img/area_reference.h) and one
// cell at a time for enlargement.

void refReduce(Img* dst, int W, int H, const Img* src) {
  ASSERT_EQ(imgCreate(dst, W, H), 0);
  const int sw = src->width, sh = src->height;
  for (int i = 0; i < H; ++i) {
    for (int j = 0; j < W; ++j) {
      const int x0 = int(int64_t(j) * sw * 128 / W), x1 = int(int64_t(j + 1) * sw * 128 / W);
      const int y0 = int(int64_t(i) * sh * 128 / H), y1 = int(int64_t(i + 1) * sh * 128 / H);
      const int xa = x0 & ~127, xb = xa + 128, xc = x1 & ~127, xd = xc + 128;
      const int ya = y0 & ~127, yb = ya + 128, yc = y1 & ~127, yd = yc + 128;
      int s[3] = {0, 0, 0};
      imgAreaAdd(src, xb, yb, xc, yc, (xc - xb) * (yc - yb), &s[0], &s[1], &s[2]);
      imgAreaAdd(src, xa, ya, xb, yb, (xb - x0) * (yb - y0), &s[0], &s[1], &s[2]);
      imgAreaAdd(src, xc, ya, xd, yb, (x1 - xc) * (yb - y0), &s[0], &s[1], &s[2]);
      imgAreaAdd(src, xa, yc, xb, yd, (xb - x0) * (y1 - yc), &s[0], &s[1], &s[2]);
      imgAreaAdd(src, xc, yc, xd, yd, (x1 - xc) * (y1 - yc), &s[0], &s[1], &s[2]);
      imgAreaAdd(src, xb, ya, xc, yb, (xc - xb) * (yb - y0), &s[0], &s[1], &s[2]);
      imgAreaAdd(src, xb, yc, xc, yd, (xc - xb) * (y1 - yc), &s[0], &s[1], &s[2]);
      imgAreaAdd(src, xa, yb, xb, yc, (xb - x0) * (yc - yb), &s[0], &s[1], &s[2]);
      imgAreaAdd(src, xc, yb, xd, yc, (x1 - xc) * (yc - yb), &s[0], &s[1], &s[2]);
      const int area = ((x1 - x0) * (y1 - y0)) >> 7;
      for (int c = 0; c < 3; ++c) dst->rows[i][3 * j + c] = static_cast<unsigned char>(std::clamp(s[c] / area, 0, 255));
    }
  }
}

void refEnlarge(Img* dst, int W, int H, const Img* src) {
  const int sw = src->width, sh = src->height;
  const int nx = (W + sw - 3) / (sw - 1), ny = (H + sh - 3) / (sh - 1);
  ASSERT_EQ(imgCreate(dst, nx * (sw - 1) + 1, ny * (sh - 1) + 1), 0);
  for (int sy = 1; sy < sh; ++sy)
    for (int sx = 1; sx < sw; ++sx)
      for (int k = 0; k <= ny; ++k)
        for (int l = 0; l <= nx; ++l)
          for (int c = 0; c < 3; ++c) {
            const int p00 = src->rows[sy - 1][3 * (sx - 1) + c], p10 = src->rows[sy - 1][3 * sx + c];
            const int p01 = src->rows[sy][3 * (sx - 1) + c], p11 = src->rows[sy][3 * sx + c];
            dst->rows[(sy - 1) * ny + k][3 * ((sx - 1) * nx + l) + c] = static_cast<unsigned char>(
                ((p00 * (nx - l) + p10 * l) * (ny - k) + (p01 * (nx - l) + p11 * l) * k) / (nx * ny));
          }
}

// ------------------------------------------------------------------------

TEST(Img, CreateLaysRowsOutInOneBlock) {
  Raster r(5, 3);
  EXPECT_EQ(r.img.status, 0);
  EXPECT_EQ(r.img.width, 5);
  EXPECT_EQ(r.img.height, 3);
  const auto* block = reinterpret_cast<unsigned char*>(r.img.rows);
  for (int y = 0; y < 3; ++y) EXPECT_EQ(r.img.rows[y], block + 3 * sizeof(unsigned char*) + y * 15);
}

TEST(Img, CreateRefusesSizesBeyondThirtyTwoBitArithmetic) {
  for (auto [w, h] : {std::pair{65535, 65535}, {INT32_MAX, 2}, {2, INT32_MAX}, {-1, 4}, {4, -1}}) {
    Img img{};
    EXPECT_EQ(imgCreate(&img, w, h), 1) << w << "x" << h;
    EXPECT_EQ(img.status, 1);
    EXPECT_EQ(img.rows, nullptr);
    imgDestroy(&img);
  }
}

TEST(Img, DestroyTwiceOrOnEmptyRecordDoesNothing) {
  Img img{};
  EXPECT_EQ(imgDestroy(&img), &img);
  ASSERT_EQ(imgCreate(&img, 2, 2), 0);
  imgDestroy(&img);
  EXPECT_EQ(img.rows, nullptr);
  imgDestroy(&img);
  EXPECT_EQ(img.rows, nullptr);
}

struct FitCase {
  int sw, sh, boxW, boxH;
  bool exact;
  int w, h;
};

TEST(Resize, FitsTheBoxKeepingProportions) {
  const FitCase cases[] = {
      {1600, 1200, 640, 480, false, 640, 480},  // same proportions: the width fills
      {1200, 1600, 640, 480, false, 360, 480},  // the height fills
      {641, 480, 640, 480, false, 640, 479},
      {640, 480, 0, 96, false, 128, 96},
      {640, 480, 96, -3, false, 96, 72},
      {640, 480, 100, 100, true, 100, 100},  // exact distorts
      {200, 1, 96, 0, false, 96, 1},         // would be 0 rows high
      {1, 200, 0, 96, false, 1, 96},         // would be 0 columns wide
  };
  for (const FitCase& c : cases) {
    Raster src(c.sw, c.sh);
    std::fill(src.img.rows[0], src.img.rows[0] + 3 * c.sw * c.sh, 90);
    Raster dst;
    ASSERT_EQ(imgResize(&dst.img, c.boxW, c.boxH, &src.img, c.exact), 0) << c.sw << "x" << c.sh;
    EXPECT_EQ(dst.img.width, c.w) << c.sw << "x" << c.sh << " into " << c.boxW << "x" << c.boxH;
    EXPECT_EQ(dst.img.height, c.h) << c.sw << "x" << c.sh << " into " << c.boxW << "x" << c.boxH;
    EXPECT_EQ(dst.pixel(c.w - 1, c.h - 1), (std::vector<int>{90, 90, 90}));
  }
}

TEST(Resize, BoxOfSourceSizeCopiesEveryPixel) {
  std::mt19937 rng(7);
  Raster src(13, 9);
  fillRandom(&src, &rng);
  Raster dst;
  ASSERT_EQ(imgResize(&dst.img, 13, 9, &src.img, false), 0);
  EXPECT_TRUE(samePixels(dst.img, src.img));
}

TEST(Resize, ReducesThreePixelsToTwoAndTwoToOne) {
  Raster three(3, 1, {{10, 200, 255}, {20, 100, 0}, {255, 1, 7}});
  Raster two;
  ASSERT_EQ(imgResize(&two.img, 2, 1, &three.img, true), 0);
  EXPECT_EQ(two.pixel(0, 0), (std::vector<int>{13, 166, 170}));  // (128a + 64b) / 192
  EXPECT_EQ(two.pixel(1, 0), (std::vector<int>{176, 34, 4}));    // (64b + 128c) / 192

  Raster pair(2, 1, {{10, 200, 255}, {21, 100, 0}});
  Raster one;
  ASSERT_EQ(imgResize(&one.img, 1, 0, &pair.img, false), 0);
  EXPECT_EQ(one.pixel(0, 0), (std::vector<int>{15, 150, 127}));  // (a + b) / 2
}

TEST(Resize, AreaAddWeighsTheTruncatedMean) {
  Raster src(3, 2, {{1, 0, 255}, {2, 0, 255}, {4, 0, 255},  //
                    {5, 0, 0},   {9, 0, 0},   {9, 0, 0}});
  int r = 1, g = 2, b = 3;
  // Columns 1..2 (clipped from 1..4), row 0: mean (2 + 4) / 2 = 3; weight 640 >> 7 = 5.
  imgAreaAdd(&src.img, 128, 0, 512, 128, 640, &r, &g, &b);
  EXPECT_EQ(r, 1 + 15);
  EXPECT_EQ(g, 2);
  EXPECT_EQ(b, 3 + 255 * 5);
  // Whole source: red mean 30 / 6 = 5 (truncated from 5.0), blue 765 / 6 = 127.
  imgAreaAdd(&src.img, 0, 0, 384, 256, 128, &r, &g, &b);
  EXPECT_EQ(r, 16 + 5);
  EXPECT_EQ(b, 1278 + 127);
  // Empty after the shift, or clipped away entirely: nothing added.
  imgAreaAdd(&src.img, 0, 0, 127, 256, 128, &r, &g, &b);
  imgAreaAdd(&src.img, 384, 0, 512, 256, 128, &r, &g, &b);
  EXPECT_EQ(r, 21);
}

TEST(Resize, SmallPictureGoesThroughAnEnlargedTemporary) {
  std::mt19937 rng(3);
  Raster src(50, 40);
  fillRandom(&src, &rng);
  Raster grid;
  ASSERT_EQ(imgEnlarge(&grid.img, 96, 76, &src.img), 0);
  EXPECT_EQ(grid.img.width, 99);
  EXPECT_EQ(grid.img.height, 79);
  EXPECT_EQ(grid.pixel(98, 78), src.pixel(49, 39));
  EXPECT_EQ(grid.pixel(2 * 17, 2 * 33), src.pixel(17, 33));

  Raster dst, expected;
  ASSERT_EQ(imgResize(&dst.img, 96, 96, &src.img, false), 0);
  EXPECT_EQ(dst.img.width, 96);
  EXPECT_EQ(dst.img.height, 76);
  refReduce(&expected.img, 96, 76, &grid.img);
  EXPECT_TRUE(samePixels(dst.img, expected.img));
}

TEST(Resize, EnlargementInterpolatesBetweenCorners) {
  Raster src(2, 2, {{0, 10, 255}, {100, 11, 255},  //
                    {50, 12, 0}, {3, 13, 0}});
  Raster dst;
  ASSERT_EQ(imgResize(&dst.img, 3, 3, &src.img, false), 0);
  ASSERT_EQ(dst.img.width, 3);
  ASSERT_EQ(dst.img.height, 3);
  EXPECT_EQ(dst.pixel(0, 0), src.pixel(0, 0));
  EXPECT_EQ(dst.pixel(2, 0), src.pixel(1, 0));
  EXPECT_EQ(dst.pixel(0, 2), src.pixel(0, 1));
  EXPECT_EQ(dst.pixel(2, 2), src.pixel(1, 1));
  EXPECT_EQ(dst.pixel(1, 1), (std::vector<int>{38, 11, 127}));  // truncated mean of four
  EXPECT_EQ(dst.pixel(1, 0), (std::vector<int>{50, 10, 255}));
}

TEST(Resize, SinglePixelWideOrTallSourceIsRepeated) {
  Raster column(1, 4);
  for (int y = 0; y < 4; ++y) column.set(0, y, 40 * y, 255 - y, 7);
  Raster wide;
  ASSERT_EQ(imgResize(&wide.img, 0, 8, &column.img, false), 0);
  ASSERT_EQ(wide.img.width, 2);
  ASSERT_EQ(wide.img.height, 8);
  // As if the column had been there twice.
  Raster doubled(2, 4);
  for (int y = 0; y < 4; ++y) doubled.set(0, y, 40 * y, 255 - y, 7), doubled.set(1, y, 40 * y, 255 - y, 7);
  Raster expected;
  ASSERT_EQ(imgResize(&expected.img, 2, 8, &doubled.img, true), 0);
  EXPECT_TRUE(samePixels(wide.img, expected.img));

  Raster dot(1, 1, {{9, 8, 7}});
  Raster square;
  ASSERT_EQ(imgResize(&square.img, 5, 0, &dot.img, false), 0);
  ASSERT_EQ(square.img.width, 5);
  ASSERT_EQ(square.img.height, 5);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(square.pixel(x, y), (std::vector<int>{9, 8, 7}));

  // Exact boxes can ask for one column of a wide source while enlarging rows.
  Raster src(5, 2);
  std::fill(src.img.rows[0], src.img.rows[0] + 30, 33);
  Raster thin;
  ASSERT_EQ(imgResize(&thin.img, 1, 6, &src.img, true), 0);
  EXPECT_EQ(thin.img.width, 1);
  EXPECT_EQ(thin.img.height, 6);
  EXPECT_EQ(thin.pixel(0, 5), (std::vector<int>{33, 33, 33}));
}

TEST(Resize, BadBoxOrSourceSetsItsBit) {
  Raster src(4, 4);
  for (auto [w, h] : {std::pair{0, 0}, {-1, -5}}) {
    Img dst{};
    EXPECT_EQ(imgResize(&dst, w, h, &src.img, false), 0x200000);
    EXPECT_EQ(dst.status, 0x200000);
    EXPECT_EQ(dst.rows, nullptr);
  }
  Img bad{0x40, 4, 4, nullptr};
  for (auto [w, h] : {std::pair{0, 0}, {10, 10}, {2, 2}}) {
    Img dst{};
    EXPECT_EQ(imgResize(&dst, w, h, &bad, false), 0x100000);
    EXPECT_EQ(dst.status, 0x100000);
  }
  Img dst{};
  EXPECT_EQ(imgReduce(&dst, 2, 2, &bad), 0x4000);
  EXPECT_EQ(dst.status, 0x4000);
  EXPECT_EQ(imgEnlarge(&dst, 8, 8, &bad), 0x40000);
  EXPECT_EQ(dst.status, 0x40000);
}

TEST(Resize, EnlargementTooLargeToAllocateFails) {
  Raster src(2, 2);
  Img grid{};
  EXPECT_EQ(imgEnlarge(&grid, 65535, 65535, &src.img), 0x80000);
  EXPECT_EQ(grid.status, 0x80001);
  EXPECT_EQ(grid.rows, nullptr);
  Img dst{};
  EXPECT_EQ(imgResize(&dst, 65535, 65535, &src.img, true), 0x400000);
  EXPECT_EQ(dst.status, 0x400000);
  EXPECT_EQ(dst.rows, nullptr);
}

// 839 * 20000 * 128 no longer fits 32 bits: the grid is exact all the same,
// as a 4000-pixel thumbnail box over a 4200-pixel enlargement needs.
TEST(Resize, GridPointsPast32BitProductsStillReduceExactly) {
  std::mt19937 rng(7);
  Raster src(20000, 3);
  fillRandom(&src, &rng);
  Raster got, want;
  ASSERT_EQ(imgReduce(&got.img, 1000, 2, &src.img), 0);
  refReduce(&want.img, 1000, 2, &src.img);
  EXPECT_TRUE(samePixels(got.img, want.img));
}

// src reduced to w x h from its lines fed in the given order, one at a time
// or in pairs.
void reduceStreamed(Raster* dst, int w, int h, Raster& src, ImgLineOrder order, bool pairs) {
  ImgReduceStream stream;
  ASSERT_EQ(stream.begin(&dst->img, w, h, src.img.width, src.img.height, order), 0);
  const int lines = order.columns ? src.img.width : src.img.height;
  const int length = order.columns ? src.img.height : src.img.width;
  std::vector<unsigned char> line[2];
  for (int n = 0; n < lines; ++n) {
    const int k = order.backward ? lines - 1 - n : n;
    std::vector<unsigned char>& to = line[n % 2];
    to.clear();
    for (int i = 0; i < length; ++i) {
      const int at = order.reversed ? length - 1 - i : i;
      const unsigned char* p = order.columns ? src.at(k, at) : src.at(at, k);
      to.insert(to.end(), p, p + 3);
    }
    if (!pairs)
      stream.feed(to.data());
    else if (n % 2 == 1)
      stream.feedPair(line[0].data(), line[1].data());
    else if (n == lines - 1)
      stream.feed(to.data());
  }
}

// A random sw x sh raster reduced to w x h gives the reference's pixels,
// whole or streamed in any order of its rows or columns, a line or a pair at
// a time.
void expectReductionMatches(int sw, int sh, int w, int h, std::mt19937* rng) {
  Raster src(sw, sh);
  fillRandom(&src, rng);
  Raster fast, slow;
  ASSERT_EQ(imgReduce(&fast.img, w, h, &src.img), 0);
  refReduce(&slow.img, w, h, &src.img);
  EXPECT_TRUE(samePixels(fast.img, slow.img)) << sw << "x" << sh << " -> " << w << "x" << h;
  for (int bits = 0; bits < 16; ++bits) {
    const ImgLineOrder order{(bits & 1) != 0, (bits & 2) != 0, (bits & 4) != 0};
    Raster streamed;
    reduceStreamed(&streamed, w, h, src, order, bits >= 8);
    EXPECT_TRUE(samePixels(streamed.img, slow.img))
        << sw << "x" << sh << " -> " << w << "x" << h << (order.columns ? " by columns" : " by rows")
        << (order.backward ? " backward" : "") << (order.reversed ? " reversed" : "") << (bits >= 8 ? " in pairs" : "");
  }
}

TEST(Resize, ReductionMatchesNineRectangleArithmetic) {
  std::mt19937 rng(2024);
  std::uniform_int_distribution<int> side(1, 160);
  for (int round = 0; round < 60; ++round) {
    const int sw = side(rng), sh = side(rng);
    const int w = std::uniform_int_distribution<int>(1, sw)(rng);
    const int h = std::uniform_int_distribution<int>(1, sh)(rng);
    expectReductionMatches(sw, sh, w, h, &rng);
  }
  // The medium and thumbnail boxes the album uses; large reduction factors
  // (footprints of thousands of pixels), tall bands, a pure column or row,
  // a box of the source's size, single pixels.
  for (auto [sw, sh, w, h] :
       {std::array{1600, 1200, 640, 480}, {1200, 1600, 360, 480}, {641, 480, 640, 479}, {99, 79, 96, 76},
        {640, 480, 89, 66}, {640, 480, 7, 5}, {300, 300, 12, 12}, {300, 1, 299, 1}, {1, 300, 1, 17},
        {97, 61, 96, 60}, {5, 700, 3, 1}, {9, 1400, 2, 3}, {13, 9, 13, 9}, {1, 1, 1, 1}, {2, 1, 1, 1},
        {3, 1, 2, 1}}) {
    expectReductionMatches(sw, sh, w, h, &rng);
  }
}

// Footprints of every whole-pixel count the row kernels treat apart (one to
// ten pixels, beyond), over lines whose last footprints end at the line's
// end, strips of a 5 and a 12 MP photo reduced into the medium box (columns
// of 4.05 and 6.25 pixels, of two lengths in turn) and columns of 272 pixels
// over rows of one and a half, with the processor's AVX2 kernels and with
// the plain ones.
TEST(Resize, ReductionMatchesReferenceWithEitherKernels) {
  std::mt19937 rng(11);
  for (const bool avx2 : {true, false}) {
    imgReduceAllowAvx2Kernels(avx2);
    SCOPED_TRACE(avx2 ? "AVX2 kernels" : "plain kernels");
    for (int ratio = 1; ratio <= 12; ++ratio)
      for (const int w : {1, 2, 3, 5, 34}) {
        const int sw = w * ratio + int(rng() % unsigned(w)), h = 1 + int(rng() % 7u);
        const int sh = h * (1 + int(rng() % 11u)) + int(rng() % unsigned(h));
        expectReductionMatches(sw, sh, w, h, &rng);
      }
    for (auto [sw, sh, w, h] : {std::array{2592, 17, 640, 4}, {4000, 13, 640, 2}, {3000, 26, 480, 4}, {3000, 3, 11, 2}})
      expectReductionMatches(sw, sh, w, h, &rng);
  }
  imgReduceAllowAvx2Kernels(true);
}

TEST(Resize, HugeReductionFactorKeepsTheColour) {
  // Sums over a footprint this large no longer fit 32 bits.
  Raster src(4200, 4200);
  std::fill(src.img.rows[0], src.img.rows[0] + 3 * 4200 * 4200, 200);
  Raster dst;
  ASSERT_EQ(imgResize(&dst.img, 1, 1, &src.img, false), 0);
  EXPECT_EQ(dst.pixel(0, 0), (std::vector<int>{200, 200, 200}));
}

TEST(Resize, EnlargementMatchesCellByCellInterpolation) {
  std::mt19937 rng(99);
  std::uniform_int_distribution<int> side(2, 30);
  for (int round = 0; round < 40; ++round) {
    const int sw = side(rng), sh = side(rng);
    const int w = std::uniform_int_distribution<int>(2, 4 * sw)(rng);
    const int h = std::uniform_int_distribution<int>(2, 4 * sh)(rng);
    Raster src(sw, sh);
    fillRandom(&src, &rng);
    Raster fast, slow;
    ASSERT_EQ(imgEnlarge(&fast.img, w, h, &src.img), 0);
    refEnlarge(&slow.img, w, h, &src.img);
    EXPECT_TRUE(samePixels(fast.img, slow.img)) << sw << "x" << sh << " -> " << w << "x" << h;
  }
}

}  // namespace
