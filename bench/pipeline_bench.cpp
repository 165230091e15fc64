// Cost of the picture pipeline: the three derived pictures of a 12-megapixel
// photo against decoding that photo alone, and a second (warm) walk over an
// album of 1,000 pictures whose derived files are up to date.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "album/pipeline.h"
#include "base/settings.h"
#include "bench_support.h"
#include "img/img.h"
#include "img/jpeg_codec.h"
#include "img/resize.h"
#include "run/walk.h"
#include "util/str_list.h"

namespace {

// Photo-like content: smooth gradients with some grain, quality 90.
void writeJpeg(const std::string& path, int width, int height, unsigned seed) {
  unsigned noise = seed * 2654435761u + 1;
  benchWriteJpeg(path, width, height, 90, [&](int y, unsigned char* row) {
    for (int x = 0; x < width; ++x) {
      noise = noise * 1103515245u + 12345u;
      int grain = static_cast<int>((noise >> 16) & 15);
      row[x * 3] = static_cast<unsigned char>((x * 255 / width + grain) & 0xff);
      row[x * 3 + 1] = static_cast<unsigned char>((y * 255 / height + grain) & 0xff);
      row[x * 3 + 2] = static_cast<unsigned char>(((x + y) / 16 + seed * 40) & 0xff);
    }
  });
}

// Standard output to /dev/null while it lives: the pipeline prints names.
struct QuietStdout {
  int saved;
  QuietStdout() {
    fflush(stdout);
    saved = dup(1);
    int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    close(null);
  }
  ~QuietStdout() {
    fflush(stdout);
    dup2(saved, 1);
    close(saved);
  }
};

const std::string& photo12mp() {
  static const std::string path = [] {
    std::string p = benchScratchDir() + "/photo/big.jpg";
    writeJpeg(p, 4000, 3000, 1);
    return p;
  }();
  return path;
}

void BM_DecodeFullSize12MP(benchmark::State& state) {
  const std::string& path = photo12mp();
  benchEachImage(state, "decode failed", [&](Img* img) { return benchDecodeJpeg(img, path.c_str()); });
}
BENCHMARK(BM_DecodeFullSize12MP)->Unit(benchmark::kMillisecond);

// The step that dominates the difference: the full-size picture reduced into
// the medium box.
void BM_ReduceToMedium12MP(benchmark::State& state) {
  Img photo{};
  if (benchDecodeJpeg(&photo, photo12mp().c_str()) != 0) state.SkipWithError("decode failed");
  for (auto _ : state) {
    Img medium{};
    (void)imgResize(&medium, 640, 480, &photo, false);  // timed only
    imgDestroy(&medium);
  }
  imgDestroy(&photo);
}
BENCHMARK(BM_ReduceToMedium12MP)->Unit(benchmark::kMillisecond);

void BM_DerivedPictures12MP(benchmark::State& state) {
  const std::string& path = photo12mp();
  int rootOffset = static_cast<int>(benchScratchDir().size()) + 1;
  gSettings.force = true;
  QuietStdout quiet;
  for (auto _ : state) {
    std::vector<char> buffer(path.begin(), path.end());
    buffer.push_back('\0');
    DirectoryPages pages;
    albumAddPicture(pages, buffer.data(), rootOffset, 1);
  }
  gSettings.force = false;
}
BENCHMARK(BM_DerivedPictures12MP)->Unit(benchmark::kMillisecond);

void BM_WarmWalk1000Pictures(benchmark::State& state) {
  static const std::string root = [] {
    std::string r = benchScratchDir() + "/album";
    for (int i = 0; i < 1000; ++i) {
      char name[64];
      snprintf(name, sizeof name, "/d%02d/p%03d.jpg", i / 100, i % 100);
      writeJpeg(r + name, 320, 240, static_cast<unsigned>(i));
    }
    return r;
  }();
  QuietStdout quiet;
  albumWalk(root.c_str());  // the first run makes every derived file
  for (auto _ : state) albumWalk(root.c_str());
  state.counters["pictures"] = 1000;
}
BENCHMARK(BM_WarmWalk1000Pictures)->Unit(benchmark::kMillisecond);

}  // namespace
