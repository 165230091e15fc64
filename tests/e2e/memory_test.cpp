// Memory follows the pictures' real needs and one budget: not a header's
// claims, nor the number of threads.
#include <gtest/gtest.h>
#include <jpeglib.h>
#include <stdlib.h>
#include <sys/resource.h>

#include <string>

#include "support/test_support.h"

namespace {

using testsupport::RunResult;
using testsupport::TempDir;

// The peaks come from the kernel's count of the child's resident pages; a
// sanitizer's shadow memory and quarantine would swamp them.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kMeasurable = false;
#else
constexpr bool kMeasurable = true;
#endif

RunResult runWith(const std::string& cwd, const char* jobs, const char* memoryMiB) {
  return testsupport::runQuorvelPrepared({"x"}, cwd, [=] {
    setenv("QUORVEL_JOBS", jobs, 1);
    if (memoryMiB) setenv("QUORVEL_MEMORY", memoryMiB, 1);
  });
}

void progressive(const std::string& path, int width, int height, int seed) {
  testsupport::JpegParams p;
  p.width = width;
  p.height = height;
  p.seed = seed;
  p.tune = [](jpeg_compress_struct* c) { jpeg_simple_progression(c); };
  testsupport::writeJpeg(path, p);
}

// A few bytes claiming 15000 x 15000 (a GIF of 35, a progressive JPEG cut to
// its headers) are left out as damaged before any raster is allocated.
TEST(Memory, ClaimsBeyondTheFilesBytesAreRefusedBeforeAllocating) {
  TempDir t;
  const std::string gif = std::string("GIF89a\x98\x3a\x98\x3a\x80\0\0", 13) + std::string(6, '\0') +
                          std::string("\x2c\0\0\0\0\x98\x3a\x98\x3a\0\x02\x02\x44\x01\0\x3b", 16);
  ASSERT_EQ(gif.size(), 35u);
  testsupport::writeFile(t / "x/bomb.gif", gif);
  progressive(t / "x/small.jpg", 64, 64, 1);
  std::string jpeg = testsupport::readFile(t / "x/small.jpg");
  const size_t sof = jpeg.find("\xff\xc2");
  ASSERT_NE(sof, std::string::npos);
  jpeg.replace(sof + 5, 4, std::string("\x3a\x98\x3a\x98", 4));
  const size_t sos = jpeg.find("\xff\xda");
  jpeg.resize(sos + 2 + (static_cast<unsigned char>(jpeg[sos + 2]) << 8 | static_cast<unsigned char>(jpeg[sos + 3])) + 8);
  testsupport::writeFile(t / "x/bomb.jpg", jpeg);
  std::remove((t / "x/small.jpg").c_str());

  RunResult r = runWith(t.path(), "1", nullptr);
  EXPECT_EQ(r.status, 1);
  for (const char* name : {"bomb.gif", "bomb.jpg"})
    EXPECT_NE(r.err.find(std::string("(\"x/") + name + "\"): too few bytes for the size it claims"),
              std::string::npos)
        << r.err;
  if (kMeasurable) {
    EXPECT_LT(r.peakKiB, 64 << 10);
  }
}

// Four progressive photos on four threads with a budget that holds one: no
// more than one picture's coefficients are held at a time.
TEST(Memory, PicturesInFlightShareOneBudget) {
  if (!kMeasurable) GTEST_SKIP() << "resident pages are not the program's under a sanitizer";
  TempDir t;
  for (int i = 0; i < 4; ++i) progressive(t / ("x/p" + std::to_string(i) + ".jpg"), 3000, 3000, i);
  RunResult r = runWith(t.path(), "4", "48");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(testsupport::microLines(r.out).size(), 4u);
  RecordProperty("peak_kib", std::to_string(r.peakKiB));
  EXPECT_LT(r.peakKiB, 80 << 10);
}

// Under an address-space limit a HEIC the codecs can't allocate for is out
// of memory, not damaged, and ends neither the run nor with a temporary left.
TEST(Memory, ACodecOutOfMemoryIsToldAsMemory) {
  if (!kMeasurable) GTEST_SKIP() << "a sanitizer reserves more address space than the limit";
  TempDir t;
  ASSERT_EQ(std::system(("cd " + t.path() + " && mkdir x && convert -size 3000x3000 gradient:red-blue g.png" +
                         " && heif-enc -q 30 -o x/g.heic g.png >/dev/null && rm g.png").c_str()),
            0);
  RunResult r = testsupport::runQuorvelPrepared({"x", "-allpics"}, t.path(), [] {
    setenv("QUORVEL_JOBS", "1", 1);
    const rlimit limit{160 << 20, 160 << 20};
    setrlimit(RLIMIT_AS, &limit);
  });
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("imgHeifReadFile(\"x/g.heic\"): out of memory"), std::string::npos) << r.err;
  EXPECT_EQ(testsupport::countTemporaries(t.path()), 0);
}

}  // namespace
