// Thumbnail effects. The shadow is drawn from five small grey sprites kept as
// constant rasters; the lens maps every pixel along its ray from the centre
// with a tangent law.
#include "img/lens_shadow.h"

#include <immintrin.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

// ---------------------------------------------------------------- sprites

// A grey sprite row: each level becomes one pixel with three equal channels.
template <size_t N>
constexpr std::array<unsigned char, 3 * N> grey(const unsigned char (&levels)[N]) {
  std::array<unsigned char, 3 * N> row{};
  for (size_t i = 0; i < N; ++i) row[3 * i] = row[3 * i + 1] = row[3 * i + 2] = levels[i];
  return row;
}

// Top of the right strip; its rows 6 to 0 also form the bottom-right corner.
constexpr std::array<unsigned char, 21> kCornerTop[8] = {
    grey({0xfb, 0xfc, 0xfe, 0xfe, 0xff, 0xff, 0xff}),
    grey({0xf2, 0xf6, 0xfa, 0xfc, 0xfe, 0xff, 0xff}),
    grey({0xe3, 0xed, 0xf4, 0xfa, 0xfe, 0xff, 0xff}),
    grey({0xd1, 0xe0, 0xed, 0xf6, 0xfc, 0xff, 0xff}),
    grey({0xba, 0xd1, 0xe3, 0xf2, 0xfb, 0xff, 0xff}),
    grey({0xa8, 0xc5, 0xdd, 0xee, 0xf9, 0xff, 0xff}),
    grey({0x9a, 0xbc, 0xd7, 0xeb, 0xf8, 0xff, 0xff}),
    grey({0x91, 0xb6, 0xd3, 0xe9, 0xf8, 0xff, 0xff}),
};

// Repeated down the right strip.
constexpr std::array<unsigned char, 21> kEdgeRight[1] = {
    grey({0x8c, 0xb3, 0xd1, 0xe8, 0xf8, 0xff, 0xff}),
};

// Left end of the bottom strip.
constexpr std::array<unsigned char, 18> kCornerLeft[7] = {
    grey({0xd7, 0xbc, 0x9a, 0x7f, 0x6e, 0x5e}),
    grey({0xdd, 0xc5, 0xa8, 0x91, 0x7f, 0x74}),
    grey({0xe3, 0xd1, 0xba, 0xa8, 0x9a, 0x91}),
    grey({0xed, 0xe0, 0xd1, 0xc5, 0xbc, 0xb6}),
    grey({0xf4, 0xed, 0xe3, 0xdd, 0xd7, 0xd3}),
    grey({0xfa, 0xf6, 0xf2, 0xee, 0xeb, 0xe9}),
    grey({0xfe, 0xfc, 0xfb, 0xf9, 0xf8, 0xf8}),
};

// Repeated along the bottom strip, one pixel per row.
constexpr std::array<unsigned char, 3> kEdgeBottom[7] = {
    grey({0x57}), grey({0x6e}), grey({0x8c}), grey({0xb3}), grey({0xd1}), grey({0xe8}), grey({0xf8}),
};

// Img rows are mutable by type only; nothing ever writes through these.
template <size_t W>
constexpr unsigned char* pixelsOf(const std::array<unsigned char, W>& pixels) {
  return const_cast<unsigned char*>(pixels.data());
}

constexpr unsigned char* kCornerTopRows[8] = {
    pixelsOf(kCornerTop[0]), pixelsOf(kCornerTop[1]), pixelsOf(kCornerTop[2]), pixelsOf(kCornerTop[3]),
    pixelsOf(kCornerTop[4]), pixelsOf(kCornerTop[5]), pixelsOf(kCornerTop[6]), pixelsOf(kCornerTop[7]),
};
// The top corner's rows 6 up to 0: that sprite upside down, without its last row.
constexpr unsigned char* kCornerBottomRows[7] = {
    pixelsOf(kCornerTop[6]), pixelsOf(kCornerTop[5]), pixelsOf(kCornerTop[4]), pixelsOf(kCornerTop[3]),
    pixelsOf(kCornerTop[2]), pixelsOf(kCornerTop[1]), pixelsOf(kCornerTop[0]),
};
constexpr unsigned char* kEdgeRightRows[1] = {pixelsOf(kEdgeRight[0])};
constexpr unsigned char* kCornerLeftRows[7] = {
    pixelsOf(kCornerLeft[0]), pixelsOf(kCornerLeft[1]), pixelsOf(kCornerLeft[2]), pixelsOf(kCornerLeft[3]),
    pixelsOf(kCornerLeft[4]), pixelsOf(kCornerLeft[5]), pixelsOf(kCornerLeft[6]),
};
constexpr unsigned char* kEdgeBottomRows[7] = {
    pixelsOf(kEdgeBottom[0]), pixelsOf(kEdgeBottom[1]), pixelsOf(kEdgeBottom[2]), pixelsOf(kEdgeBottom[3]),
    pixelsOf(kEdgeBottom[4]), pixelsOf(kEdgeBottom[5]), pixelsOf(kEdgeBottom[6]),
};

constexpr Img sprite(unsigned char* const* rows, int width, int height) {
  return Img{0, width, height, const_cast<unsigned char**>(rows)};
}

constexpr Img shadowCornerTop = sprite(kCornerTopRows, 7, 8);
constexpr Img shadowEdgeRight = sprite(kEdgeRightRows, 7, 1);
constexpr Img shadowCornerLeft = sprite(kCornerLeftRows, 6, 7);
constexpr Img shadowEdgeBottom = sprite(kEdgeBottomRows, 1, 7);
constexpr Img shadowCornerBottom = sprite(kCornerBottomRows, 7, 7);

constexpr unsigned char kBorderGrey = 0xc0;
// Border pixels lighter than this in every channel turn grey.
constexpr int kBorderLimit = 223;

// No tint: the sprite's own grey.
struct Tint {
  bool on = false;
  int red = 255, green = 255, blue = 255;
};

unsigned char tinted(unsigned char level, int factor) {
  // Only the low 8 bits are kept, whatever the factor.
  return static_cast<unsigned char>(int64_t(level) * factor / 255);
}

// Draws sprite with its top-left corner at (x, y) of dst, clipped to dst,
// each of its pixels as a block of scaleX x scaleY.
void blit(Img* dst, const Img& sprite, int x, int y, int scaleX, int scaleY, const Tint& tint) {
  for (int k = 0; k < sprite.height * scaleY; ++k) {
    const int dy = y + k;
    if (dy < 0 || dy >= dst->height) continue;
    for (int l = 0; l < sprite.width * scaleX; ++l) {
      const int dx = x + l;
      if (dx < 0 || dx >= dst->width) continue;
      const unsigned char* p = sprite.rows[k / scaleY] + 3 * (l / scaleX);
      unsigned char* q = dst->rows[dy] + 3 * dx;
      if (tint.on) {
        q[0] = tinted(p[0], tint.red);
        q[1] = tinted(p[1], tint.green);
        q[2] = tinted(p[2], tint.blue);
      } else {
        std::memcpy(q, p, 3);
      }
    }
  }
}

void greyIfLight(unsigned char* p) {
  if (p[0] > kBorderLimit && p[1] > kBorderLimit && p[2] > kBorderLimit)
    p[0] = p[1] = p[2] = kBorderGrey;
}

// The shadow at a whole scale: every sprite pixel a scale x scale block, the
// grey border scale pixels thick, so a picture with scale times the pixels
// looks as the one at 1x does.
ImgStatus shadow(Img* dst, const Img* src, int scale, const Tint& tint) {
  const int w = src->width, h = src->height, s = scale;
  const int W = w + shadowWidth() * s, H = h + shadowHeight() * s;
  if (imgCreate(dst, W, H) != IMG_OK) return IMG_CREATE_FAILED;
  for (int i = 0; i < h; ++i) std::memcpy(dst->rows[i], src->rows[i], size_t(w) * 3);
  blit(dst, shadowCornerTop, W - 7 * s, 0, s, s, tint);
  blit(dst, shadowCornerLeft, 0, H - 7 * s, s, s, tint);
  blit(dst, shadowCornerBottom, W - 7 * s, H - 7 * s, s, s, tint);
  for (int i = 8 * s; i < H - 7 * s; ++i) blit(dst, shadowEdgeRight, W - 7 * s, i, s, 1, tint);
  for (int j = 6 * s; j < W - 7 * s; ++j) blit(dst, shadowEdgeBottom, j, H - 7 * s, 1, s, tint);
  // The grey line only marks the picture's own top and left edges.
  for (int i = 0; i < h; ++i)
    for (int j = 0; j < s && j < w; ++j) greyIfLight(dst->rows[i] + 3 * j);
  for (int i = 0; i < s && i < h; ++i)
    for (int j = 0; j < w; ++j) greyIfLight(dst->rows[i] + 3 * j);
  return IMG_OK;
}

// ---------------------------------------------------------------- lens

// Slightly less than pi/2; the rollover pictures are made with this value.
constexpr double kLens = 1.57079632675;

std::atomic<bool> lensAvx2Allowed{true};

// The four sectors the diagonals cut the picture into; each maps a pixel
// along its ray by its own formula.
enum class Sector { Top, Right, Left, Bottom };

// One row's ray data, and where its source columns and rows go.
struct Ray {
  double cx, cy, y;
  const double* alongX;  // the column's coordinate on the left and right sectors' axis
  double alongY;         // the row's on the top and bottom sectors' axis
  int* column;
  int* row;
};

// Pixel j's source, by its sector's formula: the same operations in the same
// order in every lane, so the vector and plain paths agree to the bit.
template <Sector S>
void lensPixel(const Ray& r, int j) {
  const double x = j, cx = r.cx, cy = r.cy, y = r.y;
  if (x == cx && y == cy) {
    // The centre has no ray: a coordinate outside keeps it where it is.
    r.column[j] = r.row[j] = -1;
    return;
  }
  double X, Y;
  if constexpr (S == Sector::Top) {
    Y = r.alongY;
    X = cx - (cy - Y) * (cx - x) / (cy - y);
  } else if constexpr (S == Sector::Right) {
    X = r.alongX[j];
    Y = cy - (X - cx) * (cy - y) / (x - cx);
  } else if constexpr (S == Sector::Left) {
    X = r.alongX[j];
    Y = cy - (cx - X) * (cy - y) / (cx - x);
  } else {
    Y = r.alongY;
    X = cx - (Y - cy) * (cx - x) / (y - cy);
  }
  r.column[j] = static_cast<int>(X);
  r.row[j] = static_cast<int>(Y);
}

// Four pixels from j at a time; the centre's division by zero gives a
// coordinate out of range (INT_MIN), which keeps it where it is. No fused multiply-add: it would round
// otherwise than the plain path.
template <Sector S>
__attribute__((target("avx2"))) int lensSpanAvx2(const Ray& r, int j, int end) {
  const __m256d cx = _mm256_set1_pd(r.cx), cy = _mm256_set1_pd(r.cy), y = _mm256_set1_pd(r.y);
  const __m256d alongY = _mm256_set1_pd(r.alongY);
  for (; j + 4 <= end; j += 4) {
    const __m256d x = _mm256_cvtepi32_pd(_mm_setr_epi32(j, j + 1, j + 2, j + 3));
    __m256d X, Y;
    if constexpr (S == Sector::Top) {
      Y = alongY;
      X = _mm256_sub_pd(cx, _mm256_div_pd(_mm256_mul_pd(_mm256_sub_pd(cy, Y), _mm256_sub_pd(cx, x)),
                                          _mm256_sub_pd(cy, y)));
    } else if constexpr (S == Sector::Right) {
      X = _mm256_loadu_pd(r.alongX + j);
      Y = _mm256_sub_pd(cy, _mm256_div_pd(_mm256_mul_pd(_mm256_sub_pd(X, cx), _mm256_sub_pd(cy, y)),
                                          _mm256_sub_pd(x, cx)));
    } else if constexpr (S == Sector::Left) {
      X = _mm256_loadu_pd(r.alongX + j);
      Y = _mm256_sub_pd(cy, _mm256_div_pd(_mm256_mul_pd(_mm256_sub_pd(cx, X), _mm256_sub_pd(cy, y)),
                                          _mm256_sub_pd(cx, x)));
    } else {
      Y = alongY;
      X = _mm256_sub_pd(cx, _mm256_div_pd(_mm256_mul_pd(_mm256_sub_pd(Y, cy), _mm256_sub_pd(cx, x)),
                                          _mm256_sub_pd(y, cy)));
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(r.column + j), _mm256_cvttpd_epi32(X));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(r.row + j), _mm256_cvttpd_epi32(Y));
  }
  return j;
}

template <Sector S>
void lensSpanOf(bool avx2, const Ray& r, int j, int end) {
  if (avx2) j = lensSpanAvx2<S>(r, j, end);
  for (; j < end; ++j) lensPixel<S>(r, j);
}

// Columns [begin, end) of the row, all in sector s.
void lensSpan(bool avx2, Sector s, const Ray& r, int begin, int end) {
  switch (s) {
    case Sector::Top: return lensSpanOf<Sector::Top>(avx2, r, begin, end);
    case Sector::Right: return lensSpanOf<Sector::Right>(avx2, r, begin, end);
    case Sector::Left: return lensSpanOf<Sector::Left>(avx2, r, begin, end);
    case Sector::Bottom: return lensSpanOf<Sector::Bottom>(avx2, r, begin, end);
  }
}

// Whether img has imgCreate's layout: the row table, then the rows one after
// another, so that a pixel's offset from the first is 3 * (row * width +
// column) and the byte before the first pixel is the table's.
bool laidOutPacked(const Img& img) {
  if (img.width == 0 || img.height == 0 || img.rows[0] != reinterpret_cast<unsigned char*>(img.rows + img.height))
    return false;
  for (int i = 1; i < img.height; ++i)
    if (img.rows[i] != img.rows[0] + 3 * int64_t(img.width) * i) return false;
  return true;
}

// Pixels j on of row i from their sources, eight at a time, on a packed
// source: each is one 4-byte gather from the byte before it (offsets fit 32
// bits, as imgCreate's blocks do), its three bytes packed into place; a
// source outside keeps the pixel where it is. The second half's store
// reaches four bytes past the eight pixels, which the next ones overwrite.
// Returns the first pixel not done.
__attribute__((target("avx2"))) int gatherAvx2(const unsigned char* pixels, int w, int h, int i, const int* column,
                                                const int* row, unsigned char* out, int j) {
  const __m256i width = _mm256_set1_epi32(w), height = _mm256_set1_epi32(h), none = _mm256_set1_epi32(-1);
  const __m256i stride = _mm256_set1_epi32(3 * w), lanes = _mm256_setr_epi32(0, 3, 6, 9, 12, 15, 18, 21);
  const __m256i pack = _mm256_setr_epi8(1, 2, 3, 5, 6, 7, 9, 10, 11, 13, 14, 15, -1, -1, -1, -1,  //
                                        1, 2, 3, 5, 6, 7, 9, 10, 11, 13, 14, 15, -1, -1, -1, -1);
  const int own = 3 * w * i - 1;
  for (; j + 10 <= w; j += 8) {
    const __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(column + j));
    const __m256i r = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + j));
    const __m256i inside = _mm256_and_si256(
        _mm256_and_si256(_mm256_cmpgt_epi32(width, c), _mm256_cmpgt_epi32(c, none)),
        _mm256_and_si256(_mm256_cmpgt_epi32(height, r), _mm256_cmpgt_epi32(r, none)));
    const __m256i there = _mm256_add_epi32(_mm256_mullo_epi32(r, stride),
                                           _mm256_add_epi32(c, _mm256_add_epi32(c, _mm256_add_epi32(c, none))));
    const __m256i here = _mm256_add_epi32(_mm256_set1_epi32(own + 3 * j), lanes);
    const __m256i at = _mm256_blendv_epi8(here, there, inside);
    const __m256i packed = _mm256_shuffle_epi8(_mm256_i32gather_epi32(reinterpret_cast<const int*>(pixels), at, 1), pack);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 3 * j), _mm256_castsi256_si128(packed));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 3 * j + 12), _mm256_extracti128_si256(packed, 1));
  }
  return j;
}

}  // namespace

int shadowWidth() { return shadowEdgeRight.width; }
int shadowHeight() { return shadowEdgeBottom.height; }

ImgStatus imgShadow(Img* dst, const Img* src) { return shadow(dst, src, 1, Tint{}); }

ImgStatus imgShadowColor(Img* dst, const Img* src, int red, int green, int blue) {
  return shadow(dst, src, 1, Tint{true, red, green, blue});
}

ImgStatus imgShadowScaled(Img* dst, const Img* src, int scale) { return shadow(dst, src, scale, Tint{}); }

ImgStatus imgShadowColorScaled(Img* dst, const Img* src, int scale, int red, int green, int blue) {
  return shadow(dst, src, scale, Tint{true, red, green, blue});
}

ImgStatus imgLens(Img* dst, const Img* src) {
  if (src->status != 0) {
    dst->status = IMG_LENS_SOURCE;
    return IMG_LENS_SOURCE;
  }
  const int w = src->width, h = src->height;
  if (imgCreate(dst, w, h) != 0) {
    dst->status |= IMG_LENS_ALLOC;
    return IMG_LENS_ALLOC;
  }
  const double cx = w / 2.0, cy = h / 2.0;
  // The coordinate along a sector's axis depends on the row alone (top and
  // bottom sectors) or on the column alone (left and right): one tangent per
  // row and per column. Rows in the upper half can only be in the top sector,
  // columns right of the middle only in the right one, and so on.
  std::vector<double> alongY(h), alongX(w);
  for (int i = 0; i < h; ++i) {
    const double y = i;
    alongY[i] = 2 * i <= h ? cy - cy * std::tan(kLens * (cy - y) / cy / 2)
                           : cy + cy * std::tan(kLens * (y - cy) / cy / 2);
  }
  for (int j = 0; j < w; ++j) {
    const double x = j;
    alongX[j] = 2 * j > w ? cx + cx * std::tan(kLens * (x - cx) / cx / 2)
                          : cx - cx * std::tan(kLens * (cx - x) / cx / 2);
  }
  const bool avx2 = lensAvx2Allowed.load(std::memory_order_relaxed) && __builtin_cpu_supports("avx2");
  const bool gather = avx2 && laidOutPacked(*src);
  std::vector<int> column(w), row(w);
  for (int i = 0; i < h; ++i) {
    const double y = i;
    // A row crosses the sectors in spans: pixel j is in the top or right
    // sector from first on (w * i <= j * h), in the top or left one up to
    // last (w * i <= (w - j) * h).
    const int first = static_cast<int>((int64_t(w) * i + h - 1) / h), last = w - first;
    const Ray ray{cx, cy, y, alongX.data(), alongY[i], column.data(), row.data()};
    if (first <= last) {
      lensSpan(avx2, Sector::Left, ray, 0, first);
      lensSpan(avx2, Sector::Top, ray, first, std::min(last + 1, w));
      lensSpan(avx2, Sector::Right, ray, last + 1, w);
    } else {
      lensSpan(avx2, Sector::Left, ray, 0, last + 1);
      lensSpan(avx2, Sector::Bottom, ray, last + 1, first);
      lensSpan(avx2, Sector::Right, ray, first, w);
    }
    unsigned char* out = dst->rows[i];
    for (int j = gather ? gatherAvx2(src->rows[0], w, h, i, column.data(), row.data(), out, 0) : 0; j < w; ++j) {
      const unsigned char* from = src->rows[i] + 3 * j;
      if (column[j] >= 0 && column[j] < w && row[j] >= 0 && row[j] < h)
        from = src->rows[row[j]] + 3 * column[j];
      std::memcpy(out + 3 * j, from, 3);
    }
  }
  return IMG_OK;
}

void imgLensAllowAvx2(bool allow) { lensAvx2Allowed.store(allow, std::memory_order_relaxed); }
