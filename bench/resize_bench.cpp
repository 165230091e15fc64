// Reduction and lens against the cost of decoding the photo they start from.
// The reduction of a 12-megapixel raster to the medium size should cost no
// more than a quarter of decoding that photo at full size. Real photos named
// in QUORVEL_BENCH_PHOTOS (paths separated by ':') are each reduced into the
// 640 x 480 medium box too (scripts/bench.sh passes a 5 and a 12 MP one).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "bench_support.h"
#include "img/img.h"
#include "img/jpeg_codec.h"
#include "img/lens_shadow.h"
#include "img/area_reference.h"
#include "img/reduce.h"
#include "img/resize.h"

namespace {

constexpr int kPhotoWidth = 4000, kPhotoHeight = 3000;

// Smooth gradients with some fine texture, roughly like a photo to the coder.
unsigned char photoLevel(int x, int y, int c) {
  const int smooth = (x * (c + 1) / 17 + y * (3 - c) / 13) & 0xff;
  const int texture = ((x * 7919 + y * 104729 + c * 31) >> 3) & 0x1f;
  return static_cast<unsigned char>(std::min(255, smooth + texture));
}

struct Raster : OwnedImg {
  Raster(int w, int h) {
    if (imgCreate(&img, w, h) != 0) std::abort();
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        for (int c = 0; c < 3; ++c) img.rows[y][3 * x + c] = photoLevel(x, y, c);
  }
};

// A 12-megapixel baseline JPEG of the same content, made once per run.
const char* photo() {
  static const std::string path = [] {
    std::string p = benchScratchDir() + "/photo.jpg";
    benchWriteJpeg(p, kPhotoWidth, kPhotoHeight, 90, [](int y, unsigned char* row) {
      for (int x = 0; x < kPhotoWidth; ++x)
        for (int c = 0; c < 3; ++c) row[3 * x + c] = photoLevel(x, y, c);
    });
    return p;
  }();
  return path.c_str();
}

void BM_DecodePhoto12MP(benchmark::State& state) {
  const char* path = photo();
  benchEachImage(state, "decoding failed", [&](Img* img) { return benchDecodeJpeg(img, path); });
}
BENCHMARK(BM_DecodePhoto12MP)->Unit(benchmark::kMillisecond);

void BM_Reduce12MPTo640x480(benchmark::State& state) {
  Raster src(kPhotoWidth, kPhotoHeight);
  benchEachImage(state, "reduction failed", [&](Img* dst) { return imgReduce(dst, 640, 480, &src.img); });
}
BENCHMARK(BM_Reduce12MPTo640x480)->Unit(benchmark::kMillisecond);

// The streamed reduction alone, in time per source megapixel: the figure the
// row kernels are judged by. On the 2-core bench machine, with AVX2, a 5 and
// a 12 MP source cost 852 and 448 us before the kernels were reworked (plain
// divisions per column, one reader pass per view), 473 and 272 us with lane
// reciprocals and AVX2 readers, 385 and 232 us with readers that take
// their columns ready-made and a combine that reads one packed word, and
// about 390 and 213 us with two lines added to the band in one pass. Rows come from a buffer of a few, in cache, as
// a decoder hands them over (a whole raster would time its reads from memory
// instead). Arguments: the source's width and height (a 5 and a 12 MP photo),
// and 0 for the plain kernels alone (a processor without AVX2).
void BM_ReduceRowsPerMegapixel(benchmark::State& state) {
  const int w = int(state.range(0)), h = int(state.range(1));
  Raster rows(w, 16);
  imgReduceAllowAvx2Kernels(state.range(2) != 0);
  for (auto _ : state) {
    Img dst{};
    ImgReduceStream stream;
    if (stream.begin(&dst, 640, 480, w, h, ImgLineOrder{}) != IMG_OK) {
      state.SkipWithError("reduction failed");
      break;
    }
    // In pairs, as the decoders hand them over.
    int y = 0;
    for (; y + 1 < h; y += 2) stream.feedPair(rows.img.rows[y % 16], rows.img.rows[(y + 1) % 16]);
    if (y < h) stream.feed(rows.img.rows[y % 16]);
    benchmark::DoNotOptimize(dst.rows);
    imgDestroy(&dst);
  }
  imgReduceAllowAvx2Kernels(true);
  state.counters["perMP"] = benchmark::Counter(double(w) * h / 1e6, benchmark::Counter::kIsIterationInvariantRate |
                                                                          benchmark::Counter::kInvert);
}
BENCHMARK(BM_ReduceRowsPerMegapixel)
    ->Args({2592, 1944, 1})
    ->Args({4000, 3000, 1})
    ->Args({2592, 1944, 0})
    ->Args({4000, 3000, 0})
    ->Unit(benchmark::kMillisecond);

// The nine rectangle passes per pixel done naively, for comparison.
void BM_Reduce12MPTo640x480NineRectangles(benchmark::State& state) {
  Raster src(kPhotoWidth, kPhotoHeight);
  const int sw = kPhotoWidth, sh = kPhotoHeight, W = 640, H = 480;
  for (auto _ : state) {
    Img dst{};
    if (imgCreate(&dst, W, H) != 0) std::abort();
    for (int i = 0; i < H; ++i)
      for (int j = 0; j < W; ++j) {
        const int x0 = j * sw * 128 / W, x1 = (j + 1) * sw * 128 / W;
        const int y0 = i * sh * 128 / H, y1 = (i + 1) * sh * 128 / H;
        const int xa = x0 & ~127, xb = xa + 128, xc = x1 & ~127, xd = xc + 128;
        const int ya = y0 & ~127, yb = ya + 128, yc = y1 & ~127, yd = yc + 128;
        int r = 0, g = 0, b = 0;
        const Img* s = &src.img;
        imgAreaAdd(s, xb, yb, xc, yc, (xc - xb) * (yc - yb), &r, &g, &b);
        imgAreaAdd(s, xa, ya, xb, yb, (xb - x0) * (yb - y0), &r, &g, &b);
        imgAreaAdd(s, xc, ya, xd, yb, (x1 - xc) * (yb - y0), &r, &g, &b);
        imgAreaAdd(s, xa, yc, xb, yd, (xb - x0) * (y1 - yc), &r, &g, &b);
        imgAreaAdd(s, xc, yc, xd, yd, (x1 - xc) * (y1 - yc), &r, &g, &b);
        imgAreaAdd(s, xb, ya, xc, yb, (xc - xb) * (yb - y0), &r, &g, &b);
        imgAreaAdd(s, xb, yc, xc, yd, (xc - xb) * (y1 - yc), &r, &g, &b);
        imgAreaAdd(s, xa, yb, xb, yc, (xb - x0) * (yc - yb), &r, &g, &b);
        imgAreaAdd(s, xc, yb, xd, yc, (x1 - xc) * (yc - yb), &r, &g, &b);
        const int area = ((x1 - x0) * (y1 - y0)) >> 7;
        unsigned char* p = dst.rows[i] + 3 * j;
        p[0] = static_cast<unsigned char>(std::clamp(r / area, 0, 255));
        p[1] = static_cast<unsigned char>(std::clamp(g / area, 0, 255));
        p[2] = static_cast<unsigned char>(std::clamp(b / area, 0, 255));
      }
    benchmark::DoNotOptimize(dst.rows);
    imgDestroy(&dst);
  }
}
BENCHMARK(BM_Reduce12MPTo640x480NineRectangles)->Unit(benchmark::kMillisecond);

// A real photo into the medium box; the decode is outside the timing.
void reducePhoto(benchmark::State& state, const std::string& path) {
  OwnedImg photo;
  if (benchDecodeJpeg(&photo.img, path.c_str()) != 0) {
    state.SkipWithError("decoding failed");
    return;
  }
  benchEachImage(state, "reduction failed", [&](Img* dst) { return imgResize(dst, 640, 480, &photo.img, false); });
  state.SetLabel(std::to_string(photo.img.width) + "x" + std::to_string(photo.img.height));
}

const bool kPhotosRegistered = [] {
  const char* list = std::getenv("QUORVEL_BENCH_PHOTOS");
  std::istringstream paths(list ? list : "");
  std::string path;
  while (std::getline(paths, path, ':')) {
    if (path.empty()) continue;
    benchmark::RegisterBenchmark(("BM_ReducePhotoTo640x480/" + path.substr(path.rfind('/') + 1)).c_str(), reducePhoto,
                                 path)
        ->Unit(benchmark::kMillisecond);
  }
  return true;
}();

void BM_ResizeThumbnail12MP(benchmark::State& state) {
  Raster src(kPhotoWidth, kPhotoHeight);
  benchEachImage(state, "resize failed",
                 [&](Img* dst) { return imgResize(dst, 89, 89, &src.img, false); });
}
BENCHMARK(BM_ResizeThumbnail12MP)->Unit(benchmark::kMillisecond);

// On the 2-core bench machine a 640 x 480 lens took 1082 us pixel by pixel,
// 558 us with its rays in AVX2 lanes, and 375 us with its pixels gathered
// eight at a time.
void BM_Lens(benchmark::State& state) {
  Raster src(int(state.range(0)), int(state.range(1)));
  benchEachImage(state, "lens failed", [&](Img* dst) { return imgLens(dst, &src.img); });
}
BENCHMARK(BM_Lens)->Args({640, 480})->Args({96, 72})->Unit(benchmark::kMicrosecond);

// One tangent per pixel, for comparison.
void BM_LensTangentPerPixel(benchmark::State& state) {
  const int w = int(state.range(0)), h = int(state.range(1));
  const double cx = w / 2.0, cy = h / 2.0, k = 1.57079632675;
  for (auto _ : state) {
    double total = 0;
    for (int i = 0; i < h; ++i)
      for (int j = 0; j < w; ++j) {
        const bool a = w * i <= j * h, b = w * i <= (w - j) * h;
        const double x = j, y = i;
        total += a && b   ? std::tan(k * (cy - y) / cy / 2)
                 : a      ? std::tan(k * (x - cx) / cx / 2)
                 : b      ? std::tan(k * (cx - x) / cx / 2)
                          : std::tan(k * (y - cy) / cy / 2);
      }
    benchmark::DoNotOptimize(total);
  }
}
BENCHMARK(BM_LensTangentPerPixel)->Args({640, 480})->Args({96, 72})->Unit(benchmark::kMicrosecond);

}  // namespace
