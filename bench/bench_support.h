// What the benchmarks share: a scratch directory, a writer of large JPEG
// test photos, and the timing loop around one raster operation.
#pragma once

#include <benchmark/benchmark.h>

#include <functional>
#include <string>

#include "img/img.h"
#include "img/jpeg_codec.h"

// A directory under /tmp made on first use and removed with its contents
// when the program exits.
const std::string& benchScratchDir();

// Writes a baseline RGB JPEG of width x height at quality, creating parent
// directories. fill(y, row) sets row y's width * 3 samples; rows come in
// order, so fill may carry state from one row to the next. app1, when not
// empty, is written as an APP1 segment. Aborts when the file cannot be made.
void benchWriteJpeg(const std::string& path, int width, int height, int quality,
                    const std::function<void(int y, unsigned char* row)>& fill,
                    const std::string& app1 = "");

// Decodes the JPEG at path whole into dst (an empty record); the library's
// words are dropped. Returns imgJpegDecode's status.
inline ImgStatus benchDecodeJpeg(Img* dst, const char* path) {
  ImgDecoded out;
  return imgJpegDecode(dst, path, {}, &out);
}

// Times op(&out) once per iteration on a fresh Img, which is released after
// each run; a non-zero result from op skips the benchmark with failure.
template <class Op>
void benchEachImage(benchmark::State& state, const char* failure, Op op) {
  for (auto _ : state) {
    Img out{};
    if (op(&out) != 0) state.SkipWithError(failure);
    benchmark::DoNotOptimize(out.rows);
    imgDestroy(&out);
  }
}
