#include "img/lens_shadow.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "img/img.h"

namespace {

struct Raster : OwnedImg {
  Raster() = default;
  Raster(int w, int h, unsigned char fill) {
    EXPECT_EQ(imgCreate(&img, w, h), 0);
    for (int y = 0; y < h; ++y) std::fill(img.rows[y], img.rows[y] + 3 * w, fill);
  }
  std::vector<int> pixel(int x, int y) const {
    const unsigned char* p = img.rows[y] + 3 * x;
    return {p[0], p[1], p[2]};
  }
};

std::vector<int> grey(int level) { return {level, level, level}; }

// Every pixel names its own position: red = column, green = row.
void fillWithPositions(Raster* r) {
  for (int y = 0; y < r->img.height; ++y)
    for (int x = 0; x < r->img.width; ++x) {
      unsigned char* p = r->img.rows[y] + 3 * x;
      p[0] = static_cast<unsigned char>(x);
      p[1] = static_cast<unsigned char>(y);
      p[2] = static_cast<unsigned char>((x >> 8) | (y >> 8) << 4);
    }
}

// ------------------------------------------------------------------ shadow

TEST(Shadow, AddsSevenPixelStripsDrawnFromTheSprites) {
  Raster src(89, 66, 100);
  Raster dst;
  ASSERT_EQ(imgShadow(&dst.img, &src.img), 0);
  ASSERT_EQ(dst.img.width, 96);
  ASSERT_EQ(dst.img.height, 73);
  EXPECT_EQ(dst.pixel(95, 0), grey(0xff));
  EXPECT_EQ(dst.pixel(89, 7), grey(0x91));
  EXPECT_EQ(dst.pixel(89, 8), grey(0x8c));
  EXPECT_EQ(dst.pixel(89, 65), grey(0x8c));
  EXPECT_EQ(dst.pixel(0, 72), grey(0xfe));
  EXPECT_EQ(dst.pixel(95, 72), grey(0xff));
  EXPECT_EQ(dst.pixel(89, 66), grey(0x9a));  // bottom corner, the top sprite upside down
  EXPECT_EQ(dst.pixel(5, 66), grey(0x5e));   // end of the left corner
  EXPECT_EQ(dst.pixel(6, 66), grey(0x57));   // bottom edge
  EXPECT_EQ(dst.pixel(88, 72), grey(0xf8));
  EXPECT_EQ(dst.pixel(88, 65), grey(100));  // the picture itself, dark enough to keep its border
  EXPECT_EQ(shadowWidth(), 7);
  EXPECT_EQ(shadowHeight(), 7);
}

TEST(Shadow, ColourTintsOnlyTheSprites) {
  Raster src(20, 10, 0xff);
  Raster dst;
  ASSERT_EQ(imgShadowColor(&dst.img, &src.img, 255, 0, 0), 0);
  EXPECT_EQ(dst.pixel(26, 0), (std::vector<int>{0xff, 0, 0}));
  EXPECT_EQ(dst.pixel(20, 7), (std::vector<int>{0x91, 0, 0}));
  EXPECT_EQ(dst.pixel(10, 10), (std::vector<int>{0x57, 0, 0}));
  EXPECT_EQ(dst.pixel(0, 0), grey(0xc0));  // border grey is not tinted
  EXPECT_EQ(dst.pixel(5, 5), grey(0xff));  // nor is the picture

  Raster odd;
  ASSERT_EQ(imgShadowColor(&odd.img, &src.img, 100, 300, -1), 0);
  // 0x8c * 100 / 255 = 54; 0x8c * 300 / 255 = 164; -140 / 255 = 0.
  EXPECT_EQ(odd.pixel(20, 8), (std::vector<int>{54, 164, 0}));
  // 255 * 300 / 255 = 300, of which the low 8 bits are 44; -255 / 255 = -1 is 255.
  EXPECT_EQ(odd.pixel(26, 0), (std::vector<int>{100, 44, 255}));
}

TEST(Shadow, LightBorderTurnsGrey) {
  for (bool coloured : {false, true}) {
    Raster src(12, 9, 0xff);
    Raster dst;
    ASSERT_EQ(coloured ? imgShadowColor(&dst.img, &src.img, 10, 20, 30) : imgShadow(&dst.img, &src.img), 0);
    for (int x = 0; x < 12; ++x) EXPECT_EQ(dst.pixel(x, 0), grey(0xc0)) << x;
    for (int y = 0; y < 9; ++y) EXPECT_EQ(dst.pixel(0, y), grey(0xc0)) << y;
    for (int y = 1; y < 9; ++y)
      for (int x = 1; x < 12; ++x) EXPECT_EQ(dst.pixel(x, y), grey(0xff));
  }
  Raster almost(4, 4, 224);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) almost.img.rows[y][3 * x + 2] = 223;
  Raster dst;
  ASSERT_EQ(imgShadow(&dst.img, &almost.img), 0);
  EXPECT_EQ(dst.pixel(0, 0), (std::vector<int>{224, 224, 223}));
  EXPECT_EQ(dst.pixel(3, 0), (std::vector<int>{224, 224, 223}));
}

TEST(Shadow, LaterSpritesOverwriteEarlierOnesOnShortPictures) {
  Raster src(5, 2, 50);
  Raster dst;
  ASSERT_EQ(imgShadow(&dst.img, &src.img), 0);
  ASSERT_EQ(dst.img.height, 9);
  EXPECT_EQ(dst.pixel(5, 0), grey(0xfb));
  EXPECT_EQ(dst.pixel(5, 1), grey(0xf2));
  for (int y = 2; y < 9; ++y) EXPECT_EQ(dst.pixel(5, y), grey(std::vector<int>{0x9a, 0xa8, 0xba, 0xd1, 0xe3, 0xf2, 0xfb}[y - 2]));
}

TEST(Shadow, EmptySourceStaysInsideTheDestination) {
  // Run under the address sanitizer this also proves nothing lands outside.
  for (auto [w, h] : {std::pair{0, 0}, {5, 0}, {0, 5}}) {
    Raster src(w, h, 0);
    Raster dst;
    ASSERT_EQ(imgShadow(&dst.img, &src.img), 0);
    ASSERT_EQ(dst.img.width, w + 7);
    ASSERT_EQ(dst.img.height, h + 7);
    EXPECT_EQ(dst.pixel(w + 6, h + 6), grey(0xff));
    // With no columns the bottom corner covers the left one.
    EXPECT_EQ(dst.pixel(0, h + 6), grey(w == 0 ? 0xfb : 0xfe));
  }
}

TEST(Shadow, SpritesAreSharedConstantsNotCopies) {
  Raster src(3, 3, 0);
  Raster a, b;
  ASSERT_EQ(imgShadow(&a.img, &src.img), 0);
  a.img.rows[0][3 * 9] = 1;  // scribbling on a result leaves the sprites alone
  ASSERT_EQ(imgShadow(&b.img, &src.img), 0);
  EXPECT_EQ(b.pixel(9, 0), grey(0xff));
}

TEST(Shadow, ScaleOneIsTodaysShadowAndScaleTwoDrawsEverySpritePixelTwice) {
  Raster src(41, 23, 0xf0);
  fillWithPositions(&src);
  std::fill(src.img.rows[0], src.img.rows[0] + 3 * 41, 0xf0);  // a light top row for the border
  Raster plain, scaled, tinted, tintedScaled;
  ASSERT_EQ(imgShadow(&plain.img, &src.img) | imgShadowScaled(&scaled.img, &src.img, 1), 0);
  ASSERT_EQ(imgShadowColor(&tinted.img, &src.img, 200, 90, 300) |
                imgShadowColorScaled(&tintedScaled.img, &src.img, 1, 200, 90, 300), 0);
  for (const auto& [a, b] : {std::pair{&plain, &scaled}, {&tinted, &tintedScaled}}) {
    ASSERT_EQ(std::pair(b->img.width, b->img.height), std::pair(48, 30));
    for (int y = 0; y < 30; ++y)
      ASSERT_TRUE(std::equal(a->img.rows[y], a->img.rows[y] + 3 * 48, b->img.rows[y])) << y;
  }

  Raster white(20, 20, 0xff), twice;
  ASSERT_EQ(imgShadowScaled(&twice.img, &white.img, 2), 0);
  ASSERT_EQ(twice.img.width, 34);
  ASSERT_EQ(twice.img.height, 34);
  const std::pair<int, int> at[] = {{21, 15}, {20, 16}, {22, 16}, {11, 20}, {12, 21}, {12, 22}, {1, 5}, {2, 2}};
  const int levels[] = {0x91, 0x8c, 0xb3, 0x5e, 0x57, 0x6e, 0xc0, 0xff};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(twice.pixel(at[i].first, at[i].second), grey(levels[i])) << i;
}

// -------------------------------------------------------------------- lens

constexpr double kLens = 1.57079632675;

// The lens computed pixel by pixel, one tangent each.
void refLens(Img* dst, const Img* src) {
  const int w = src->width, h = src->height;
  ASSERT_EQ(imgCreate(dst, w, h), 0);
  const double cx = w / 2.0, cy = h / 2.0;
  for (int i = 0; i < h; ++i)
    for (int j = 0; j < w; ++j) {
      const double x = j, y = i;
      int col = j, row = i;
      if (x != cx || y != cy) {
        const bool a = w * i <= j * h, b = w * i <= (w - j) * h;
        double X, Y;
        if (a && b) {
          Y = cy - cy * std::tan(kLens * (cy - y) / cy / 2);
          X = cx - (cy - Y) * (cx - x) / (cy - y);
        } else if (a) {
          X = cx + cx * std::tan(kLens * (x - cx) / cx / 2);
          Y = cy - (X - cx) * (cy - y) / (x - cx);
        } else if (b) {
          X = cx - cx * std::tan(kLens * (cx - x) / cx / 2);
          Y = cy - (cx - X) * (cy - y) / (cx - x);
        } else {
          Y = cy + cy * std::tan(kLens * (y - cy) / cy / 2);
          X = cx - (Y - cy) * (cx - x) / (y - cy);
        }
        if (int(X) >= 0 && int(X) < w && int(Y) >= 0 && int(Y) < h) col = int(X), row = int(Y);
      }
      std::copy_n(src->rows[row] + 3 * col, 3, dst->rows[i] + 3 * j);
    }
}

TEST(Lens, MagnifiesTheMiddleAndKeepsTheEdges) {
  Raster src(96, 96, 0);
  fillWithPositions(&src);
  Raster dst;
  ASSERT_EQ(imgLens(&dst.img, &src.img), 0);
  ASSERT_EQ(dst.img.width, 96);
  ASSERT_EQ(dst.img.height, 96);
  struct Case {
    int x, y, fromX, fromY;
  };
  for (const Case& c : {Case{60, 48, 57, 48}, {72, 24, 67, 28}, {48, 10, 48, 13}, {0, 0, 0, 0}, {95, 95, 94, 94},
                        {48, 48, 48, 48}})
    EXPECT_EQ(dst.pixel(c.x, c.y), (std::vector<int>{c.fromX, c.fromY, 0})) << c.x << "," << c.y;
}

TEST(Lens, MatchesPixelByPixelTangents) {
  std::mt19937 rng(5);
  for (auto [w, h] : {std::pair{96, 96}, {97, 61}, {61, 97}, {1, 1}, {2, 2}, {2, 3}, {3, 2}, {9, 4}, {4, 9}, {1, 40},
                      {40, 1}, {640, 480}, {333, 251}}) {
    Raster src(w, h, 0);
    fillWithPositions(&src);
    Raster slow;
    refLens(&slow.img, &src.img);
    for (bool avx2 : {true, false}) {
      imgLensAllowAvx2(avx2);
      Raster fast;
      ASSERT_EQ(imgLens(&fast.img, &src.img), 0);
      bool same = true;
      for (int y = 0; y < h && same; ++y)
        same = std::equal(fast.img.rows[y], fast.img.rows[y] + 3 * w, slow.img.rows[y]);
      EXPECT_TRUE(same) << w << "x" << h << (avx2 ? "" : " plain");
    }
    imgLensAllowAvx2(true);
  }
}

TEST(Lens, RefusesAnInvalidSource) {
  Img bad{0x40, 10, 10, nullptr};
  Img dst{};
  EXPECT_EQ(imgLens(&dst, &bad), 0x1000000);
  EXPECT_EQ(dst.status, 0x1000000);
  EXPECT_EQ(dst.rows, nullptr);
}

}  // namespace
