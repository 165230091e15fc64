// What libpng is allowed to keep of a PNG besides its pixels, what a PNG
// may claim for the bytes it has, and which of its profiles is carried.
#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdint>
#include <fstream>
#include <string>

#include "img/icc_profile.h"
#include "img/picture_formats.h"
#include "support/test_support.h"

namespace {

using testsupport::TempDir;

std::string bigEndian(uint32_t value) {
  return {static_cast<char>(value >> 24), static_cast<char>(value >> 16), static_cast<char>(value >> 8),
          static_cast<char>(value)};
}

std::string chunk(const std::string& type, const std::string& data) {
  const std::string body = type + data;
  const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(body.data()), body.size());
  return bigEndian(data.size()) + body + bigEndian(crc);
}

std::string deflated(const std::string& bytes) {
  uLongf length = compressBound(bytes.size());
  std::string out(length, '\0');
  compress2(reinterpret_cast<Bytef*>(out.data()), &length, reinterpret_cast<const Bytef*>(bytes.data()),
            bytes.size(), 9);
  out.resize(length);
  return out;
}

std::string pngHead(uint32_t width, uint32_t height, char depth, char colourType, char interlace) {
  return "\x89PNG\r\n\x1a\n" +
         chunk("IHDR", bigEndian(width) + bigEndian(height) + depth + colourType + std::string(2, '\0') + interlace);
}

// An 8 x 8 grey picture after 32 zTXt chunks of 8 kB, each inflating to 8 MB.
std::string pngWithCompressedTexts() {
  std::string png = "\x89PNG\r\n\x1a\n";
  png += chunk("IHDR", bigEndian(8) + bigEndian(8) + std::string("\x08\x02\0\0\0", 5));
  const std::string text = deflated(std::string(8000000, 'a'));
  for (int i = 0; i < 32; ++i) png += chunk("zTXt", "Comment" + std::to_string(i) + std::string(2, '\0') + text);
  std::string rows;
  for (int y = 0; y < 8; ++y) rows += '\0' + std::string(24, '\x80');
  return png + chunk("IDAT", deflated(rows)) + chunk("IEND", "");
}

long peakKilobytes() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  return -1;
}

// In a child, from a reset peak: the decode succeeds within 64 MB more.
[[noreturn]] void decodeWithinPeak(const std::string& path) {
  std::ofstream("/proc/self/clear_refs") << "5";
  const long before = peakKilobytes();
  OwnedImg img;
  ImgDecoded out;
  const bool decoded = imgFormatDecode(&img.img, path.c_str(), ImgFormat::Png, {}, &out) == IMG_OK;
  _exit(decoded && peakKilobytes() - before < 64 * 1024 ? 0 : 1);
}

}  // namespace

// A few kilobytes of text chunks, which quorvel never reads, must not make
// the decode hold a quarter of a gigabyte.
TEST(PngChunkLimits, CompressedTextsAreNotInflatedAndKept) {
  TempDir t;
  testsupport::writeFile(t / "texts.png", pngWithCompressedTexts());
  EXPECT_EXIT(decodeWithinPeak(t / "texts.png"), testing::ExitedWithCode(0), "");
}

// A few bytes claiming what libpng would allocate in full: a chunk it
// buffers at its claimed length, an interlaced picture it holds whole. Each
// is refused before anything is allocated, as a damaged picture.
TEST(PngChunkLimits, ClaimsPastTheFilesBytesAreRefusedBeforeAnyAllocation) {
  TempDir t;
  for (const char* type : {"tEXt", "pCAL", "sCAL"}) {
    const std::string path = t / (std::string(type) + ".png");
    testsupport::writeFile(path, pngHead(800, 600, 8, 2, 0) + bigEndian(0x7fffffff) + type + "Comment");
    OwnedImg img;
    ImgDecoded out;
    EXPECT_EQ(imgFormatDecode(&img.img, path.c_str(), ImgFormat::Png, {}, &out), IMG_DECODE_DAMAGED) << type;
    EXPECT_EQ(out.why, "a chunk runs past the end of the file") << type;
  }
  // 15000 x 15000 at 1 bit in 27 kB: 900 MB once held at 8 bits a sample.
  const std::string interlaced = t / "interlaced.png";
  testsupport::writeFile(interlaced, pngHead(15000, 15000, 1, 0, 1) +
                                         chunk("IDAT", deflated(std::string(28'200'000, '\0'))) + chunk("IEND", ""));
  ImgHeaderInfo info;
  ImgDecoded said;
  EXPECT_EQ(imgFormatReadHeader(interlaced.c_str(), ImgFormat::Png, &info, &said), IMG_DECODE_DAMAGED);
  EXPECT_EQ(said.why, "too few bytes for the size it claims");
  OwnedImg img;
  ImgDecoded out;
  EXPECT_EQ(imgFormatDecode(&img.img, interlaced.c_str(), ImgFormat::Png, {}, &out), IMG_DATA_SHORT);
}

// The profile libpng hands over goes through the one rule for every format;
// the one it refuses (here, past what it inflates) is named too.
TEST(PngChunkLimits, AProfileIsCarriedWhenSoundAndADroppedOneNamesThePicture) {
  TempDir t;
  std::string icc = imgIccFromPrimaries({0.680, 0.320, 0.265, 0.690, 0.150, 0.060, 0.3127, 0.3290}, 13);
  std::string grey = icc, large = icc;
  grey.replace(16, 4, "GRAY");
  large.resize(300000);
  large.replace(0, 4, bigEndian(large.size()));
  const auto withProfile = [&](const std::string& profile, char colourType, int samples) {
    std::string rows;
    for (int y = 0; y < 8; ++y) rows += '\0' + std::string(8 * samples, '\x80');
    return pngHead(8, 8, 8, colourType, 0) + chunk("iCCP", std::string("p\0\0", 3) + deflated(profile)) +
           chunk("IDAT", deflated(rows)) + chunk("IEND", "");
  };
  const std::string dropped = "*** quorvel: colour profile dropped \"" + t / "a.png" + "\" (";
  const struct {
    std::string png, icc, line;
  } kCases[] = {{withProfile(icc, 2, 3), icc, ""},
                {withProfile(grey, 0, 1), "", dropped + "a profile of GRAY colours, not RGB)\n"},
                {withProfile(large, 2, 3), "", dropped + "profile 'p': 493E0h: exceeds application limits)\n"}};
  for (const auto& c : kCases) {
    testsupport::writeFile(t / "a.png", c.png);
    OwnedImg img;
    ImgDecoded out;
    ASSERT_EQ(imgFormatDecode(&img.img, (t / "a.png").c_str(), ImgFormat::Png, {}, &out), IMG_OK) << out.why;
    EXPECT_TRUE(out.icc == c.icc) << out.icc.size() << " bytes of profile";
    EXPECT_EQ(out.libraryText, c.line);
  }
}
