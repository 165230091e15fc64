// Decoding cost of a 12-megapixel JPEG: time per decode, and the peak memory
// one decode adds, which should stay within the raster's size plus 20%
// (one raster and one scanline buffer besides libjpeg's own state).
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "bench_support.h"
#include "img/jpeg_codec.h"

namespace {

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;

// APP1 payload with orientation 6 (turned a quarter clockwise), little-endian.
const std::string kExifRotated("Exif\0\0II*\0\x08\0\0\0\x01\0\x12\x01\x03\0\x01\0\0\0\x06\0\0\0\0\0\0\0", 32);

// A 12 MP baseline photo-like JPEG at quality 85, made once per run.
const std::string& picture(bool rotated) {
  static std::string paths[2];
  std::string& path = paths[rotated];
  if (!path.empty()) return path;
  path = benchScratchDir() + (rotated ? "/rotated.jpg" : "/plain.jpg");
  benchWriteJpeg(path, kWidth, kHeight, 85, [](int y, unsigned char* row) {
    for (int x = 0; x < kWidth; ++x) {
      row[x * 3] = static_cast<unsigned char>(x / 16 + y / 7);
      row[x * 3 + 1] = static_cast<unsigned char>((x * y) >> 9);
      row[x * 3 + 2] = static_cast<unsigned char>(y / 12);
    }
  }, rotated ? kExifRotated : "");
  return path;
}

long statusKb(const char* field) {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind(field, 0) == 0) return atol(line.c_str() + strlen(field));
  return -1;
}

// Peak resident bytes one decode adds, measured in a fresh child process so
// that nothing the benchmark did before (freed blocks kept by malloc, earlier
// peaks) hides or inflates it. The peak counter is reset before decoding.
long decodePeakBytes(const std::string& path) {
  int fds[2];
  if (pipe(fds) != 0) return -1;
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    std::ofstream("/proc/self/clear_refs") << "5";
    const long before = statusKb("VmHWM:");
    Img img{};
    const int rc = benchDecodeJpeg(&img, path.c_str());
    const long peak = rc == 0 ? (statusKb("VmHWM:") - before) * 1024 : -1;
    imgDestroy(&img);
    if (write(fds[1], &peak, sizeof peak) != sizeof peak) _exit(1);
    _exit(0);
  }
  close(fds[1]);
  long peak = -1;
  if (read(fds[0], &peak, sizeof peak) != sizeof peak) peak = -1;
  close(fds[0]);
  waitpid(pid, nullptr, 0);
  return peak;
}

void decode(benchmark::State& state, bool rotated) {
  const std::string& path = picture(rotated);
  const double rasterBytes = static_cast<double>(kWidth) * kHeight * 3 + kHeight * sizeof(unsigned char*);
  const long peak = decodePeakBytes(path);
  benchEachImage(state, "decode failed", [&](Img* img) { return benchDecodeJpeg(img, path.c_str()); });
  state.counters["raster_MB"] = rasterBytes / 1e6;
  state.counters["peak_MB"] = static_cast<double>(peak) / 1e6;
  state.counters["peak_over_raster"] = static_cast<double>(peak) / rasterBytes;
  state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}

void BM_Decode12MP(benchmark::State& state) { decode(state, false); }
void BM_Decode12MPRotated(benchmark::State& state) { decode(state, true); }

BENCHMARK(BM_Decode12MP)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Decode12MPRotated)->Unit(benchmark::kMillisecond);

}  // namespace
