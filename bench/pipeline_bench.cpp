// Cost of the picture pipeline: the three derived pictures of a 12-megapixel
// photo against decoding that photo alone, and a second (warm) walk over an
// album of 1,000 pictures whose derived files are up to date.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <jpeglib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "img/img.h"
#include "img/jpeg_codec.h"
#include "img/pipeline.h"
#include "img/resize.h"
#include "run/settings.h"
#include "run/walk.h"
#include "util/str_list.h"

namespace {

// A scratch directory for the run, removed at exit.
struct Scratch {
  std::string path;
  Scratch() {
    char tmpl[] = "/tmp/quorvel-bench-XXXXXX";
    if (!mkdtemp(tmpl)) abort();
    path = tmpl;
  }
  ~Scratch() { std::filesystem::remove_all(path); }
};

Scratch& scratch() {
  static Scratch s;
  return s;
}

// Photo-like content: smooth gradients with some grain, quality 90.
void writeJpeg(const std::string& path, int width, int height, unsigned seed) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) abort();
  jpeg_compress_struct c;
  jpeg_error_mgr err;
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  jpeg_stdio_dest(&c, f);
  c.image_width = width;
  c.image_height = height;
  c.input_components = 3;
  c.in_color_space = JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, 90, TRUE);
  jpeg_start_compress(&c, TRUE);
  std::vector<unsigned char> row(static_cast<size_t>(width) * 3);
  unsigned noise = seed * 2654435761u + 1;
  while (c.next_scanline < c.image_height) {
    int y = static_cast<int>(c.next_scanline);
    for (int x = 0; x < width; ++x) {
      noise = noise * 1103515245u + 12345u;
      int grain = static_cast<int>((noise >> 16) & 15);
      row[x * 3] = static_cast<unsigned char>((x * 255 / width + grain) & 0xff);
      row[x * 3 + 1] = static_cast<unsigned char>((y * 255 / height + grain) & 0xff);
      row[x * 3 + 2] = static_cast<unsigned char>(((x + y) / 16 + seed * 40) & 0xff);
    }
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&c, &r, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  fclose(f);
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
    std::string p = scratch().path + "/photo/big.jpg";
    writeJpeg(p, 4000, 3000, 1);
    return p;
  }();
  return path;
}

void BM_DecodeFullSize12MP(benchmark::State& state) {
  const std::string& path = photo12mp();
  for (auto _ : state) {
    Img img{};
    if (imgJpegReadFile(&img, path.c_str()) != 0) state.SkipWithError("decode failed");
    imgDestroy(&img);
  }
}
BENCHMARK(BM_DecodeFullSize12MP)->Unit(benchmark::kMillisecond);

// The step that dominates the difference: the full-size picture reduced into
// the medium box.
void BM_ReduceToMedium12MP(benchmark::State& state) {
  Img photo{};
  if (imgJpegReadFile(&photo, photo12mp().c_str()) != 0) state.SkipWithError("decode failed");
  for (auto _ : state) {
    Img medium{};
    imgResize(&medium, 640, 480, &photo, false);
    imgDestroy(&medium);
  }
  imgDestroy(&photo);
}
BENCHMARK(BM_ReduceToMedium12MP)->Unit(benchmark::kMillisecond);

void BM_DerivedPictures12MP(benchmark::State& state) {
  const std::string& path = photo12mp();
  int rootOffset = static_cast<int>(scratch().path.size()) + 1;
  gSettings.force = true;
  QuietStdout quiet;
  for (auto _ : state) {
    std::vector<char> buffer(path.begin(), path.end());
    buffer.push_back('\0');
    FileHandle left;
    StrList preload;
    strListInit(&preload);
    int rightWritten = 0;
    imgAddPicture(left, buffer.data(), rootOffset, 1, &preload, rightWritten);
    strListRelease(free, &preload);
  }
  gSettings.force = false;
}
BENCHMARK(BM_DerivedPictures12MP)->Unit(benchmark::kMillisecond);

void BM_WarmWalk1000Pictures(benchmark::State& state) {
  static const std::string root = [] {
    std::string r = scratch().path + "/album";
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
