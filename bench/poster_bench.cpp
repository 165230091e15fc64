// A video's poster: the frame near its first second decoded and fitted into
// the medium view's box, on the calling thread, for each video named in
// QUORVEL_POSTER_VIDEOS (paths joined by ':'; scripts/bench.sh makes them).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "img/picture_formats.h"

namespace {

void poster(benchmark::State& state, const std::string& path) {
  ImgDecodeTarget medium;
  medium.fit = true;
  medium.fitWidth = 640;
  medium.fitHeight = 480;
  for (auto _ : state) {
    OwnedImg img;
    ImgDecoded out;
    if (imgFormatDecode(&img.img, path.c_str(), ImgFormat::Video, medium, &out) != IMG_OK)
      state.SkipWithError(("poster failed: " + out.why).c_str());
  }
}

// Registered before main, one benchmark per video, named by its path.
[[maybe_unused]] const bool registered = [] {
  const char* list = getenv("QUORVEL_POSTER_VIDEOS");
  std::string videos = list ? list : "";
  for (size_t from = 0; from < videos.size();) {
    size_t to = videos.find(':', from);
    if (to == std::string::npos) to = videos.size();
    const std::string path = videos.substr(from, to - from);
    if (!path.empty())
      benchmark::RegisterBenchmark(("poster/" + path).c_str(), poster, path)
          ->Unit(benchmark::kMillisecond)
          ->MeasureProcessCPUTime();
    from = to + 1;
  }
  return true;
}();

}  // namespace
