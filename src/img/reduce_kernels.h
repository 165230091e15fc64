// The reduction's row kernels: the views of a line or of the band, the
// band's totals and the nine-rectangle sums of a destination row in 32-bit
// lanes. For img/reduce.cpp only.
#pragma once

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <vector>

#include "img/reduce_footprints.h"

namespace imgreduce {

// Hot loops come in an AVX2 build too, picked at load time where the
// processor has it; the bytes are the same either way (integer arithmetic).
// ThreadSanitizer's runtime is not up yet when the pickers run, and clang
// takes no address of a cloned template, so those builds keep the one plain
// version.
#if defined(__SANITIZE_THREAD__) || defined(__clang__)
#define QUORVEL_AVX2_CLONES
#else
#define QUORVEL_AVX2_CLONES [[gnu::target_clones("avx2", "default")]]
#endif

// The same builds, on x86-64, also have kernels written in AVX2's own
// shuffles (readRunsAvx2, readWordRunsAvx2), picked at run time.
#if !defined(__SANITIZE_THREAD__) && !defined(__clang__) && defined(__x86_64__)
#define QUORVEL_AVX2_KERNELS 1
#include <immintrin.h>
#else
#define QUORVEL_AVX2_KERNELS 0
#endif

// Cleared by imgReduceAllowAvx2Kernels (the tests of the plain kernels).
inline std::atomic<bool> avx2KernelsAllowed{true};

// Entries the band keeps past its line, so that the AVX2 reader of its totals
// loads whole vectors at any column and needs no check.
inline constexpr size_t kBandSlack = 32;

// floor(n / d) in 32-bit lanes as (n * m) >> 31, m = laneReciprocal(d) =
// floor(2^31 / d) + 1, exact when n * d < 2^31 (Divisor's proof, with 2^31
// for 2^40); m fits 32 bits for every d >= 1.
inline uint32_t laneReciprocal(uint64_t d) { return uint32_t((uint64_t(1) << 31) / std::max<uint64_t>(d, 1) + 1); }
inline uint32_t divideLane(uint32_t n, uint32_t by) { return uint32_t((uint64_t(n) * by) >> 31); }

// The totals of a line (of Level samples) over columns of Fewest to Fewest +
// Extra whole pixels each, with loop counts fixed at compile time, and the
// levels at each column's near edge: the sums only, so that this loop does
// loads and adds alone and the divisions run in lanes (divideLanes).
template <int Fewest, int Extra, typename Level>
QUORVEL_AVX2_CLONES void readColumns(const Level* levels, const Axis& xs, const uint32_t*, uint32_t* sums,
                                     uint32_t* edges) {
  const Column* columns = xs.columns.data();
  const size_t n = xs.count();
  const int64_t lastPixel = xs.size - 1;
  for (size_t j = 0; j < n; ++j, sums += 3, edges += 3) {
    const Column c = columns[j];
    const Level* p = levels + 3 * int64_t(c.from);
    uint32_t r = 0, g = 0, b = 0;
    for (int k = 0; k < Fewest; ++k) r += p[3 * k], g += p[3 * k + 1], b += p[3 * k + 2];
    for (int k = Fewest; k < Fewest + Extra; ++k) {
      const uint32_t more = c.count > k ? ~0u : 0u;
      const Level* x = levels + 3 * std::min<int64_t>(int64_t(c.from) + k, lastPixel);
      r += uint32_t(x[0]) & more, g += uint32_t(x[1]) & more, b += uint32_t(x[2]) & more;
    }
    sums[0] = r, sums[1] = g, sums[2] = b;
    const Level* q = levels + 3 * int64_t(c.edge);
    edges[0] = q[0], edges[1] = q[1], edges[2] = q[2];
  }
}

#if QUORVEL_AVX2_KERNELS
// The two shuffles of a 256-bit load that gather runs of RGB pixels into
// groups of eight bytes that _mm256_sad_epu8 totals: in each 128-bit lane,
// reds then greens in the first, blues in the second; every other byte zero
// (index 0x80). Summing each lane's groups as runTotals does gives the runs'
// red, green and blue totals.
struct RunShuffles {
  std::array<unsigned char, 32> redGreen, blue;
};

// Two runs of up to five pixels, one in each lane (16 bytes loaded from each
// run's first pixel), for every pair of lengths: entry 6 * c0 + c1.
constexpr std::array<RunShuffles, 36> makePairShuffles() {
  std::array<RunShuffles, 36> table{};
  for (int c0 = 0; c0 < 6; ++c0)
    for (int c1 = 0; c1 < 6; ++c1)
      for (int lane = 0; lane < 2; ++lane)
        for (int k = 0; k < 8; ++k) {
          const bool in = k < (lane == 0 ? c0 : c1);
          RunShuffles& s = table[size_t(6 * c0 + c1)];
          s.redGreen[16 * lane + k] = in ? uint8_t(3 * k) : 0x80;
          s.redGreen[16 * lane + 8 + k] = in ? uint8_t(3 * k + 1) : 0x80;
          s.blue[16 * lane + k] = in ? uint8_t(3 * k + 2) : 0x80;
          s.blue[16 * lane + 8 + k] = 0x80;
        }
  return table;
}
inline constexpr std::array<RunShuffles, 36> kPairShuffles = makePairShuffles();

// One run of up to ten pixels in a single 32-byte load from its first pixel,
// for each length: the low lane holds the reds of pixels 0 to 5 and the
// greens and blues of pixels 0 to 4, the high lane the rest.
constexpr std::array<RunShuffles, 11> makeLongRunShuffles() {
  std::array<RunShuffles, 11> table{};
  for (RunShuffles& s : table)
    for (int i = 0; i < 32; ++i) s.redGreen[size_t(i)] = s.blue[size_t(i)] = 0x80;
  for (int c = 0; c < 11; ++c) {
    RunShuffles& s = table[size_t(c)];
    int used[2][3] = {};
    for (int k = 0; k < c; ++k)
      for (int ch = 0; ch < 3; ++ch) {
        const int at = 3 * k + ch, lane = at / 16;
        unsigned char* group = ch == 2 ? s.blue.data() : s.redGreen.data() + 8 * ch;
        group[16 * lane + used[lane][ch]++] = uint8_t(at % 16);
      }
  }
  return table;
}
inline constexpr std::array<RunShuffles, 11> kLongRunShuffles = makeLongRunShuffles();

// Totals [red, green, blue, 0] in each 128-bit lane, from _mm256_sad_epu8's
// results for the red-green and the blue groups.
[[gnu::target("avx2")]] inline __m256i runTotals(__m256i redGreen, __m256i blue) {
  return _mm256_or_si256(_mm256_shuffle_epi32(redGreen, 0xD8), _mm256_slli_si256(blue, 8));
}
[[gnu::target("avx2")]] inline __m256i loadEight(const void* p) {
  return _mm256_loadu_si256(static_cast<const __m256i*>(p));
}

// Eight lanes of (n * m) >> 31 (laneReciprocal), each pair of lanes 2k and
// 2k + 1 having the same m: the 64-bit products of the even and the odd
// lanes apart, each quotient shifted back into its lane. The compiler's own
// version moves the products through two lane permutations.
[[gnu::target("avx2")]] inline __m256i divideEight(__m256i n, __m256i m) {
  const __m256i even = _mm256_srli_epi64(_mm256_mul_epu32(n, m), 31);
  const __m256i odd = _mm256_slli_epi64(_mm256_mul_epu32(_mm256_srli_epi64(n, 32), m), 1);
  return _mm256_blend_epi32(even, odd, 0xAA);
}
// The same in the 64-bit lanes of n (below 2^32) that _mm256_sad_epu8 gives,
// m in the low half of each: one product a quotient, before they are packed.
[[gnu::target("avx2")]] inline __m256i divideQuads(__m256i n, __m256i m) {
  return _mm256_srli_epi64(_mm256_mul_epu32(n, m), 31);
}

// The totals of a run of pixels and the levels at its column's near edge,
// one at a time: for columns near the line's end, which a wider load would
// pass.
template <typename Level>
inline void readColumnByPixels(const Level* levels, const Column& c, uint32_t by, uint32_t* sums, uint32_t* edges) {
  uint32_t r = 0, g = 0, b = 0;
  const Level* p = levels + 3 * int64_t(c.from);
  for (int k = 0; k < c.count; ++k) r += p[3 * k], g += p[3 * k + 1], b += p[3 * k + 2];
  sums[0] = divideLane(r, by), sums[1] = divideLane(g, by), sums[2] = divideLane(b, by);
  const Level* q = levels + 3 * int64_t(c.edge);
  edges[0] = q[0], edges[1] = q[1], edges[2] = q[2];
}

// The levels of the pixel at q widened to 32 bits at edges, and the next
// level past them (q[3] must lie in the line).
[[gnu::target("avx2")]] inline void storeEdge(const unsigned char* q, uint32_t* edges) {
  uint32_t pixel;
  std::memcpy(&pixel, q, sizeof pixel);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(edges), _mm_cvtepu8_epi32(_mm_cvtsi32_si128(int(pixel))));
}
[[gnu::target("avx2")]] inline void storeEdge(const uint16_t* q, uint32_t* edges) {
  const __m128i pixel = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(q));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(edges), _mm_cvtepu16_epi32(pixel));
}

// readColumns for byte lines in AVX2, for columns of at most 5 * Halves
// whole pixels, totalled by _mm256_sad_epu8 (exact: integer sums) and divided
// in its 64-bit lanes, two columns at a time. Runs of up to five pixels
// (Halves 1) take a 16-byte load each, one to a 128-bit lane; longer ones (up
// to ten, Halves 2) a 32-byte load each, whose lanes are added. The columns
// outside xs' safe ones, whose loads would pass the line's end, and an odd
// one left over, are read pixel by pixel. Writes sums[3n] and edges[3n], one entry past the
// columns'.
template <int Halves>
[[gnu::target("avx2")]] void readRunsAvx2(const unsigned char* levels, const Axis& xs, const uint32_t* by,
                                          uint32_t* sums, uint32_t* edges) {
  const RunColumn* runs = xs.runs.data();
  const Column* columns = xs.columns.data();
  const size_t n = xs.count(), safeTo = xs.safeTo;
  const __m256i zero = _mm256_setzero_si256();
  size_t j = 0;
  for (; j < xs.safeFrom; ++j) readColumnByPixels(levels, columns[j], by[4 * j], sums + 3 * j, edges + 3 * j);
  if constexpr (Halves == 1) {
    for (; j + 2 <= safeTo; j += 2) {
      const RunColumn c0 = runs[j], c1 = runs[j + 1];
      const __m256i v = _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(levels + c1.from),
                                            reinterpret_cast<const __m128i*>(levels + c0.from));
      const auto* s = reinterpret_cast<const unsigned char*>(kPairShuffles.data()) + c0.bytes;
      const __m256i m = loadEight(by + 4 * j);
      const __m256i redGreen = divideQuads(_mm256_sad_epu8(_mm256_shuffle_epi8(v, loadEight(s)), zero), m);
      const __m256i blue = divideQuads(_mm256_sad_epu8(_mm256_shuffle_epi8(v, loadEight(s + 32)), zero), m);
      const __m256i totals = runTotals(redGreen, blue);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(sums + 3 * j), _mm256_castsi256_si128(totals));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(sums + 3 * j + 3), _mm256_extracti128_si256(totals, 1));
      storeEdge(levels + c0.edge, edges + 3 * j);
      storeEdge(levels + c1.edge, edges + 3 * j + 3);
    }
  } else {
    // Two columns at a time, each column's two lanes added into one lane.
    const auto* table = reinterpret_cast<const unsigned char*>(kLongRunShuffles.data());
    for (; j + 2 <= safeTo; j += 2) {
      const RunColumn c0 = runs[j], c1 = runs[j + 1];
      const __m256i v0 = loadEight(levels + c0.from), v1 = loadEight(levels + c1.from);
      const unsigned char *s0 = table + c0.bytes, *s1 = table + c1.bytes;
      const __m256i redGreen0 = _mm256_sad_epu8(_mm256_shuffle_epi8(v0, loadEight(s0)), zero);
      const __m256i blue0 = _mm256_sad_epu8(_mm256_shuffle_epi8(v0, loadEight(s0 + 32)), zero);
      const __m256i redGreen1 = _mm256_sad_epu8(_mm256_shuffle_epi8(v1, loadEight(s1)), zero);
      const __m256i blue1 = _mm256_sad_epu8(_mm256_shuffle_epi8(v1, loadEight(s1 + 32)), zero);
      const __m256i m = loadEight(by + 4 * j);
      const __m256i redGreen = divideQuads(_mm256_add_epi64(_mm256_permute2x128_si256(redGreen0, redGreen1, 0x20),
                                                            _mm256_permute2x128_si256(redGreen0, redGreen1, 0x31)),
                                           m);
      const __m256i blue = divideQuads(
          _mm256_add_epi64(_mm256_permute2x128_si256(blue0, blue1, 0x20), _mm256_permute2x128_si256(blue0, blue1, 0x31)),
          m);
      const __m256i totals = runTotals(redGreen, blue);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(sums + 3 * j), _mm256_castsi256_si128(totals));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(sums + 3 * j + 3), _mm256_extracti128_si256(totals, 1));
      storeEdge(levels + c0.edge, edges + 3 * j);
      storeEdge(levels + c1.edge, edges + 3 * j + 3);
    }
  }
  for (; j < n; ++j) readColumnByPixels(levels, columns[j], by[4 * j], sums + 3 * j, edges + 3 * j);
}

// Byte shuffles for a run of up to five pixels of 16-bit totals (the 32
// bytes from its first): for a run of length c and channel ch, in each
// 128-bit lane, the low bytes then the high bytes of that channel's totals
// among its first c pixels, as two groups of eight for _mm256_sad_epu8.
using WordShuffle = std::array<unsigned char, 32>;
constexpr std::array<std::array<WordShuffle, 3>, 6> makeWordShuffles() {
  std::array<std::array<WordShuffle, 3>, 6> table{};
  for (int c = 0; c < 6; ++c)
    for (int ch = 0; ch < 3; ++ch) {
      WordShuffle& s = table[c][ch];
      for (unsigned char& b : s) b = 0x80;
      int used[2] = {0, 0};
      for (int k = 0; k < c; ++k) {
        const int word = 3 * k + ch, lane = word / 8, local = word % 8;
        s[16 * lane + used[lane]] = uint8_t(2 * local);
        s[16 * lane + 8 + used[lane]] = uint8_t(2 * local + 1);
        ++used[lane];
      }
    }
  return table;
}
inline constexpr std::array<std::array<WordShuffle, 3>, 6> kWordShuffles = makeWordShuffles();

// The totals of the byte groups that order gathers from v.
[[gnu::target("avx2")]] inline __m256i wordBytes(__m256i v, const WordShuffle& order) {
  const __m256i bytes = _mm256_shuffle_epi8(v, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(order.data())));
  return _mm256_sad_epu8(bytes, _mm256_setzero_si256());
}

// A run's totals by _mm256_sad_epu8, before the join: u32 lanes [red low,
// green low, red high, green high] in redGreen and [blue low, 0, blue high,
// 0] in blue, each 128-bit lane holding its part of the run.
struct WordRun {
  __m256i redGreen, blue;
};
template <int Most>
[[gnu::target("avx2")]] inline WordRun wordRun(const uint16_t* p, const RunColumn& c) {
  const auto* table = reinterpret_cast<const unsigned char*>(kWordShuffles.data());
  const __m256i v = loadEight(p);
  const WordShuffle* s = reinterpret_cast<const WordShuffle*>(table + c.words0);
  __m256i red = wordBytes(v, s[0]), green = wordBytes(v, s[1]), blue = wordBytes(v, s[2]);
  if constexpr (Most == 10) {
    const __m256i more = loadEight(p + 15);
    const WordShuffle* t = reinterpret_cast<const WordShuffle*>(table + c.words1);
    red = _mm256_add_epi64(red, wordBytes(more, t[0]));
    green = _mm256_add_epi64(green, wordBytes(more, t[1]));
    blue = _mm256_add_epi64(blue, wordBytes(more, t[2]));
  }
  return {_mm256_or_si256(red, _mm256_slli_epi64(green, 32)), blue};
}

// Masks of a sixth pixel's three totals, for a run of five pixels (none) and
// of six.
inline constexpr std::array<uint32_t, 8> kSixthPixel = {0, 0, 0, 0, ~0u, ~0u, ~0u, 0};

// readColumns for the band's 16-bit totals in AVX2, for columns of at most
// Most (5, 6 or 10) whole pixels: one 32-byte load a column for each five
// pixels, each channel's low and high bytes totalled apart and joined (low +
// 256 high, exact), two columns to the 256 bits; a sixth pixel (Most 6, the
// footprints of a reduction by five to six) added as it is, which costs less
// than a second load's shuffles. Writes sums[3n] and edges[3n], one entry
// past the columns'.
// REQUIRES: levels holds kBandSlack entries past the line, which the loads
// may reach.
template <int Most>
[[gnu::target("avx2")]] void readWordRunsAvx2(const uint16_t* levels, const Axis& xs, const uint32_t* by,
                                             uint32_t* sums, uint32_t* edges) {
  const RunColumn* runs = xs.runs.data();
  const size_t n = xs.count();
  size_t j = 0;
  for (; j + 2 <= n; j += 2) {
    const RunColumn c0 = runs[j], c1 = runs[j + 1];
    const WordRun a = wordRun<Most>(levels + c0.from, c0);
    const WordRun b = wordRun<Most>(levels + c1.from, c1);
    // Each column's two 128-bit halves added: column j in the low lane, j + 1
    // in the high one; then low + 256 high, as [red, green, blue, 0].
    const __m256i redGreen = _mm256_add_epi32(_mm256_permute2x128_si256(a.redGreen, b.redGreen, 0x20),
                                              _mm256_permute2x128_si256(a.redGreen, b.redGreen, 0x31));
    const __m256i blue = _mm256_add_epi32(_mm256_permute2x128_si256(a.blue, b.blue, 0x20),
                                          _mm256_permute2x128_si256(a.blue, b.blue, 0x31));
    const __m256i low = _mm256_unpacklo_epi64(redGreen, blue), high = _mm256_unpackhi_epi64(redGreen, blue);
    __m256i totals = _mm256_add_epi32(low, _mm256_slli_epi32(high, 8));
    if constexpr (Most == 6) {
      const auto* masks = reinterpret_cast<const unsigned char*>(kSixthPixel.data());
      const __m256i sixth = _mm256_set_m128i(_mm_cvtepu16_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(levels + c1.from + 15))),
                                             _mm_cvtepu16_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(levels + c0.from + 15))));
      const __m256i mask = _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(masks + c1.words1),
                                               reinterpret_cast<const __m128i*>(masks + c0.words1));
      totals = _mm256_add_epi32(totals, _mm256_and_si256(sixth, mask));
    }
    totals = divideEight(totals, loadEight(by + 4 * j));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(sums + 3 * j), _mm256_castsi256_si128(totals));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(sums + 3 * j + 3), _mm256_extracti128_si256(totals, 1));
    storeEdge(levels + c0.edge, edges + 3 * j);
    storeEdge(levels + c1.edge, edges + 3 * j + 3);
  }
  if (j < n) readColumnByPixels(levels, xs.columns[j], by[4 * j], sums + 3 * j, edges + 3 * j);
}
#endif

// v[k] = floor(v[k] / d[k]), by[k] being laneReciprocal(d[k]).
QUORVEL_AVX2_CLONES void divideLanes(uint32_t* __restrict v, const uint32_t* __restrict by, size_t n) {
  for (size_t k = 0; k < n; ++k) v[k] = divideLane(v[k], by[k]);
}
// v[k] = floor(v[k] / d), by being laneReciprocal(d).
QUORVEL_AVX2_CLONES void divideLanesBy(uint32_t* __restrict v, uint32_t by, size_t n) {
  for (size_t k = 0; k < n; ++k) v[k] = divideLane(v[k], by);
}

#if QUORVEL_AVX2_KERNELS
// divideLanesBy in AVX2.
[[gnu::target("avx2")]] void divideLanesByAvx2(uint32_t* __restrict v, uint32_t by, size_t n) {
  const __m256i m = _mm256_set1_epi32(int(by));
  size_t k = 0;
  for (; k + 8 <= n; k += 8) {
    const __m256i q = divideEight(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(v + k)), m);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(v + k), q);
  }
  for (; k < n; ++k) v[k] = divideLane(v[k], by);
}
#endif

template <int Fewest, typename Level>
ColumnReader<Level> columnReaderWithExtra(int64_t extra) {
  switch (extra) {
    case 0: return readColumns<Fewest, 0, Level>;
    case 1: return readColumns<Fewest, 1, Level>;
    case 2: return readColumns<Fewest, 2, Level>;
    default: return nullptr;
  }
}

// The reader for footprints of fewest to fewest + extra whole pixels; null
// when none is made for them.
template <typename Level>
ColumnReader<Level> columnReader(int64_t fewest, int64_t extra) {
  switch (fewest) {
    case 0: return columnReaderWithExtra<0, Level>(extra);
    case 1: return columnReaderWithExtra<1, Level>(extra);
    case 2: return columnReaderWithExtra<2, Level>(extra);
    case 3: return columnReaderWithExtra<3, Level>(extra);
    case 4: return columnReaderWithExtra<4, Level>(extra);
    case 5: return columnReaderWithExtra<5, Level>(extra);
    case 6: return columnReaderWithExtra<6, Level>(extra);
    case 7: return columnReaderWithExtra<7, Level>(extra);
    case 8: return columnReaderWithExtra<8, Level>(extra);
    default: return nullptr;
  }
}

// Fills xs' compact columns and picks its readers: the AVX2 ones, with their
// runs, for columns of up to ten pixels where they may run, else the
// fixed-count ones. Leaves them null when a band of up to rows whole rows
// could reach a sum beyond the 2^31 of laneReciprocal (255 times its pixels,
// times its divisor).
inline void axisPrepareColumns(Axis& xs, int64_t rows) {
  xs.columns.clear();
  for (size_t j = 0; j < xs.count(); ++j) {
    const Footprint& f = xs.footprints[j];
    xs.columns.push_back({int32_t(f.innerFrom), int32_t(f.innerCount), int32_t(f.edge)});
  }
#if QUORVEL_AVX2_KERNELS
  xs.avx2 = avx2KernelsAllowed.load(std::memory_order_relaxed) && __builtin_cpu_supports("avx2");
#endif
  const int64_t pixels = std::max<int64_t>(xs.mostInner, 1) * std::max<int64_t>(rows, 1);
  if (pixels > 2900 || 255 * pixels * pixels >= (int64_t(1) << 31)) return;
  xs.readBytes = columnReader<unsigned char>(xs.fewestInner, xs.mostInner - xs.fewestInner);
#if QUORVEL_AVX2_KERNELS
  if (xs.avx2 && xs.mostInner <= 10) {
    const bool pairs = xs.mostInner <= 5;
    const size_t n = xs.count();
    // A byte line's column may take the vector loads when its run's load and
    // its edge's four bytes end inside the line; the columns run one way
    // along it, so those that may are consecutive.
    const int64_t lineEnd = 3 * xs.size, runLoad = pairs ? 16 : 32;
    xs.runs.clear();
    xs.safeFrom = xs.safeTo = n;
    for (size_t j = 0; j < n; ++j) {
      const Column& c = xs.columns[j];
      const int next = j + 1 < n ? xs.columns[j + 1].count : 0;
      RunColumn r{.from = 3 * c.from, .edge = 3 * c.edge, .bytes = 0, .words0 = 0, .words1 = 0, .unused = 0};
      r.bytes = uint16_t(sizeof(RunShuffles) * size_t(pairs ? 6 * c.count + next : c.count));
      r.words0 = uint16_t(sizeof(kWordShuffles[0]) * size_t(std::min(c.count, 5)));
      r.words1 = xs.mostInner == 6 ? uint16_t(c.count == 6 ? 16 : 0)
                                   : uint16_t(sizeof(kWordShuffles[0]) * size_t(std::max(c.count - 5, 0)));
      xs.runs.push_back(r);
      const bool safe = r.from + runLoad <= lineEnd && r.edge + 4 <= lineEnd;
      if (safe && xs.safeFrom == n) xs.safeFrom = j;
      if (!safe && xs.safeFrom != n && xs.safeTo == n) xs.safeTo = j;
    }
    xs.readersDivide = true;
    xs.readBytes = pairs ? readRunsAvx2<1> : readRunsAvx2<2>;
    xs.readWords = pairs ? readWordRunsAvx2<5> : xs.mostInner == 6 ? readWordRunsAvx2<6> : readWordRunsAvx2<10>;
    return;
  }
#endif
  xs.readWords = columnReader<uint16_t>(xs.fewestInner, xs.mostInner - xs.fewestInner);
}

unsigned char clampByte(int64_t v) { return static_cast<unsigned char>(std::clamp<int64_t>(v, 0, 255)); }

// A source row (or the band) as a destination row reads it: the truncated
// mean of each column's whole pixels, means[3 * j + c], and the levels at
// each column's near edge, edges[3 * j + c], for j up to the last column's
// far edge. SpanTotal holds a span's total, Quotients divides it (one of
// ShortQuotients, AnyQuotients), Entry holds an entry.
template <typename SpanTotal, typename Quotients, typename Entry>
struct RowView {
  std::vector<Entry> means, edges;

  // rows, when given, divides every entry once more (the band's rows).
  template <typename Level>
  void read(const Level* levels, const Axis& xs, const Divisor* rows = nullptr) {
    const size_t n = xs.count();
    means.resize(3 * n + 1);  // readRunsAvx2 writes one entry more
    edges.resize(3 * (n + 1));
    Entry* m = means.data();
    Entry* e = edges.data();
    const Footprint* f = xs.footprints.data();
    if constexpr (std::is_same_v<Entry, uint32_t> && std::is_same_v<Quotients, ShortQuotients>) {
      ColumnReader<Level> reader = nullptr;
      if constexpr (std::is_same_v<Level, unsigned char>) reader = xs.readBytes;
      if constexpr (std::is_same_v<Level, uint16_t>) reader = xs.readWords;
      if (reader) {
        // floor(floor(t / a) / b) is floor(t / ab): one division per entry.
        const uint64_t byRows = rows ? rows->divisor() : 1;
        const Level* q = levels + 3 * f[n].edge;
#if QUORVEL_AVX2_KERNELS
        if (xs.readersDivide) {
          reader(levels, xs, xs.lanesDividing(byRows, 4), m, e);
          for (int c = 0; c < 3; ++c) e[3 * n + c] = q[c];
          if (byRows > 1) divideLanesByAvx2(e, laneReciprocal(byRows), 3 * (n + 1));
          return;
        }
#endif
        reader(levels, xs, nullptr, m, e);
        for (int c = 0; c < 3; ++c) e[3 * n + c] = q[c];
        divideLanes(m, xs.lanesDividing(byRows), 3 * n);
        if (byRows > 1) divideLanesBy(e, laneReciprocal(byRows), 3 * (n + 1));
        return;
      }
    }
    // Footprints hold between fewest and most whole pixels, most - fewest
    // being 2 at most: loops of the same trip counts for every footprint,
    // the pixels beyond fewest added under a mask (and read at a clamped
    // place, never beyond the line), keep the branches predictable.
    const int64_t fewest = xs.fewestInner, most = xs.mostInner, lastPixel = xs.size - 1;
    for (size_t j = 0; j < n; ++j, m += 3, e += 3) {
      const int64_t from = f[j].innerFrom, count = f[j].innerCount;
      const Level* p = levels + 3 * from;
      SpanTotal r = 0, g = 0, b = 0;
      for (int64_t k = 0; k < fewest; ++k, p += 3) r += p[0], g += p[1], b += p[2];
      for (int64_t k = fewest; k < most; ++k) {
        const SpanTotal more = count > k ? ~SpanTotal(0) : SpanTotal(0);
        const Level* x = levels + 3 * std::min(from + k, lastPixel);
        r += SpanTotal(x[0]) & more, g += SpanTotal(x[1]) & more, b += SpanTotal(x[2]) & more;
      }
      const Divisor by = f[j].byInner;
      m[0] = Entry(Quotients::of(by, r));
      m[1] = Entry(Quotients::of(by, g));
      m[2] = Entry(Quotients::of(by, b));
      const Level* q = levels + 3 * f[j].edge;
      e[0] = q[0], e[1] = q[1], e[2] = q[2];
    }
    const Level* q = levels + 3 * f[n].edge;
    e[0] = q[0], e[1] = q[1], e[2] = q[2];
    if (!rows) return;
    for (Entry& v : means) v = Entry(Quotients::of(*rows, uint64_t(v)));
    for (Entry& v : edges) v = Entry(Quotients::of(*rows, uint64_t(v)));
  }
};

// One destination row of a reduction whose every sum fits 32 bits, as
// lanes: view entries (all means of levels, so at most 255) times weights
// (xs' parts per entry times the row's parts, >> 7), nine rectangles to a
// sum of at most 255 times the area, divided by the area through an exact
// reciprocal (see FastDivisors).
struct FastRow {
  const uint32_t *inner, *side, *topMeans, *topSide, *bottomMeans, *bottomSide;
  const uint32_t *xFirst, *xInner, *xLast, *xWide;
  // For the AVX2 kernel: xFirst | xWide << 8 | xLast << 16 | (xInner / 128) << 24,
  // null when a footprint has 256 whole pixels or more.
  const uint32_t* xPacked;
  uint32_t yFirst, yInner, yLast;
  uint32_t byShort = 0, byLong = 0;  // reciprocals of the two areas (fastDivisors)
  unsigned shift = 0;
};

QUORVEL_AVX2_CLONES void combineFastRow(const FastRow& row, size_t count,
                                                              unsigned char* __restrict out) {
  const uint32_t* __restrict inner = row.inner;
  const uint32_t* __restrict side = row.side;
  const uint32_t* __restrict topMeans = row.topMeans;
  const uint32_t* __restrict topSide = row.topSide;
  const uint32_t* __restrict bottomMeans = row.bottomMeans;
  const uint32_t* __restrict bottomSide = row.bottomSide;
  const uint32_t* __restrict xFirst = row.xFirst;
  const uint32_t* __restrict xInner = row.xInner;
  const uint32_t* __restrict xLast = row.xLast;
  const uint32_t* __restrict xWide = row.xWide;
  const uint32_t yFirst = row.yFirst, yInner = row.yInner, yLast = row.yLast;
  const uint32_t byShort = row.byShort, byLong = row.byLong;
  const unsigned shift = row.shift;
  for (size_t k = 0; k < count; ++k) {
    const uint32_t sum = inner[k] * ((xInner[k] * yInner) >> 7) + side[k] * ((xFirst[k] * yInner) >> 7) +
                         side[k + 3] * ((xLast[k] * yInner) >> 7) + topMeans[k] * ((xInner[k] * yFirst) >> 7) +
                         topSide[k] * ((xFirst[k] * yFirst) >> 7) + topSide[k + 3] * ((xLast[k] * yFirst) >> 7) +
                         bottomMeans[k] * ((xInner[k] * yLast) >> 7) + bottomSide[k] * ((xFirst[k] * yLast) >> 7) +
                         bottomSide[k + 3] * ((xLast[k] * yLast) >> 7);
    const uint64_t by = xWide[k] ? byLong : byShort;
    const uint32_t quotient = uint32_t((uint64_t(sum) * by) >> shift);
    out[k] = static_cast<unsigned char>(quotient < 255 ? quotient : 255);
  }
}

#if QUORVEL_AVX2_KERNELS
[[gnu::target("avx2")]] inline __m256i eightAt(const uint32_t* v) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(v));
}

// Eight lanes of combineFastRow's quotients, before the clamp. The parts of
// whole pixels are multiples of 128 (xInner = 128 cx, yInner = 128 cy), so
// that five of the nine weights need no shift: (xInner yInner) >> 7 is
// xInner cy, (xFirst yInner) >> 7 is xFirst cy, (xInner yFirst) >> 7 is
// cx yFirst, and so on. The sum is then
//   cy (xInner inner + xFirst side + xLast side') + cx (yFirst top + yLast bottom)
// plus the four corners, whose weights and levels (at most 128 and 255) go
// in 16-bit halves to _mm256_madd_epi16, each pair of corners in one step.
// Every term is one of the nine products, so the sum is the same.
[[gnu::target("avx2")]] inline __m256i combineEight(const FastRow& row, size_t k, __m256i byShort, __m256i byLong,
                                                   __m128i shift) {
  // The footprints' parts from one word each: combining is bound by what it
  // reads, not by what it computes.
  const __m256i packed = eightAt(row.xPacked + k), bytes = _mm256_set1_epi32(0xFF);
  const __m256i xFirst = _mm256_and_si256(packed, bytes);
  const __m256i xLast = _mm256_and_si256(_mm256_srli_epi32(packed, 16), bytes);
  const __m256i wholes = _mm256_srli_epi32(packed, 24), xInner = _mm256_slli_epi32(wholes, 7);
  const __m256i cy = _mm256_set1_epi32(int(row.yInner >> 7));
  const __m256i yFirst = _mm256_set1_epi32(int(row.yFirst)), yLast = _mm256_set1_epi32(int(row.yLast));
  const __m256i across = _mm256_add_epi32(
      _mm256_add_epi32(_mm256_mullo_epi32(eightAt(row.inner + k), xInner),
                       _mm256_mullo_epi32(eightAt(row.side + k), xFirst)),
      _mm256_mullo_epi32(eightAt(row.side + k + 3), xLast));
  const __m256i down = _mm256_add_epi32(_mm256_mullo_epi32(eightAt(row.topMeans + k), yFirst),
                                        _mm256_mullo_epi32(eightAt(row.bottomMeans + k), yLast));
  __m256i sum = _mm256_add_epi32(_mm256_mullo_epi32(across, cy), _mm256_mullo_epi32(down, wholes));
  const __m256i corners = _mm256_and_si256(packed, _mm256_set1_epi32(0x00FF00FF));
  const __m256i topWeights = _mm256_srli_epi16(_mm256_mullo_epi16(corners, _mm256_set1_epi16(short(row.yFirst))), 7);
  const __m256i bottomWeights = _mm256_srli_epi16(_mm256_mullo_epi16(corners, _mm256_set1_epi16(short(row.yLast))), 7);
  const __m256i top = _mm256_or_si256(eightAt(row.topSide + k), _mm256_slli_epi32(eightAt(row.topSide + k + 3), 16));
  const __m256i bottom =
      _mm256_or_si256(eightAt(row.bottomSide + k), _mm256_slli_epi32(eightAt(row.bottomSide + k + 3), 16));
  sum = _mm256_add_epi32(sum, _mm256_add_epi32(_mm256_madd_epi16(top, topWeights), _mm256_madd_epi16(bottom, bottomWeights)));
  const __m256i narrow = _mm256_cmpeq_epi32(_mm256_and_si256(packed, _mm256_set1_epi32(0x100)), _mm256_setzero_si256());
  const __m256i by = _mm256_blendv_epi8(byLong, byShort, narrow);
  // (sum * by) >> shift in 64 bits, the even and the odd lanes apart; every
  // quotient is at most 255, so it fits its lane.
  const __m256i even = _mm256_srl_epi64(_mm256_mul_epu32(sum, by), shift);
  const __m256i odd = _mm256_srl_epi64(_mm256_mul_epu32(_mm256_srli_epi64(sum, 32), _mm256_srli_epi64(by, 32)), shift);
  return _mm256_blend_epi32(even, _mm256_slli_epi64(odd, 32), 0xAA);
}

// combineFastRow in AVX2: 32 lanes at a time, packed to bytes.
[[gnu::target("avx2")]] void combineFastRowAvx2(const FastRow& row, size_t count, unsigned char* __restrict out) {
  const __m256i byShort = _mm256_set1_epi32(int(row.byShort)), byLong = _mm256_set1_epi32(int(row.byLong));
  const __m128i shift = _mm_cvtsi32_si128(int(row.shift));
  const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
  size_t k = 0;
  for (; k + 32 <= count; k += 32) {
    // Quotients of at most 255 pack without saturating; the packs interleave
    // 128-bit lanes, which the permutation puts back in order.
    const __m256i low = _mm256_packus_epi32(combineEight(row, k, byShort, byLong, shift),
                                            combineEight(row, k + 8, byShort, byLong, shift));
    const __m256i high = _mm256_packus_epi32(combineEight(row, k + 16, byShort, byLong, shift),
                                             combineEight(row, k + 24, byShort, byLong, shift));
    const __m256i bytes = _mm256_permutevar8x32_epi32(_mm256_packus_epi16(low, high), order);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + k), bytes);
  }
  FastRow rest = row;
  for (const uint32_t** v : {&rest.inner, &rest.side, &rest.topMeans, &rest.topSide, &rest.bottomMeans,
                             &rest.bottomSide, &rest.xFirst, &rest.xInner, &rest.xLast, &rest.xWide, &rest.xPacked})
    *v += k;
  combineFastRow(rest, count - k, out + k);
}
#endif

// Reciprocals m = floor(2^s / d) + 1 of a row's two areas, with 2^s above
// the largest sum times the larger area: for every sum n, n * m >> s is then
// floor(n / d) (m d = 2^s + e with 0 < e <= d, so n m / 2^s = n / d +
// n e / (d 2^s) and n e < 2^s). False when a reciprocal needs more than
// 32 bits.
bool fastDivisors(int64_t shortArea, int64_t longArea, FastRow* row) {
  const uint64_t dShort = uint64_t(std::max<int64_t>(shortArea, 1)), dLong = uint64_t(std::max<int64_t>(longArea, 1));
  const uint64_t dMax = std::max(dShort, dLong), dMin = std::min(dShort, dLong);
  if (dMax >= 65536) return false;
  const unsigned shift = unsigned(std::bit_width(255 * dMax * dMax));
  if ((uint64_t(1) << shift) / dMin + 1 > UINT32_MAX) return false;
  row->shift = shift;
  row->byShort = uint32_t((uint64_t(1) << shift) / dShort + 1);
  row->byLong = uint32_t((uint64_t(1) << shift) / dLong + 1);
  return true;
}

// The band's column totals: a first line, then each further one.
template <typename BandTotal>
QUORVEL_AVX2_CLONES void startBand(BandTotal* __restrict acc, const unsigned char* __restrict line,
                                                         size_t n) {
  for (size_t k = 0; k < n; ++k) acc[k] = line[k];
}
template <typename BandTotal>
QUORVEL_AVX2_CLONES void addToBand(BandTotal* __restrict acc, const unsigned char* __restrict line,
                                                         size_t n) {
  for (size_t k = 0; k < n; ++k) acc[k] = BandTotal(acc[k] + line[k]);
}
// Two lines at once: the band is read and written once for both.
template <typename BandTotal>
QUORVEL_AVX2_CLONES void startBandPair(BandTotal* __restrict acc, const unsigned char* __restrict first,
                                       const unsigned char* __restrict second, size_t n) {
  for (size_t k = 0; k < n; ++k) acc[k] = BandTotal(first[k] + second[k]);
}
template <typename BandTotal>
QUORVEL_AVX2_CLONES void addPairToBand(BandTotal* __restrict acc, const unsigned char* __restrict first,
                                       const unsigned char* __restrict second, size_t n) {
  for (size_t k = 0; k < n; ++k) acc[k] = BandTotal(acc[k] + first[k] + second[k]);
}

}  // namespace imgreduce
