// What a WebP may claim for the bytes it has, and which of its bytes a
// decode reads.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <utility>

#include "img/picture_formats.h"
#include "support/test_support.h"

namespace {

using testsupport::TempDir;

std::string little(uint32_t value, int bytes) {
  std::string out;
  for (int i = 0; i < bytes; ++i) out += static_cast<char>(value >> (8 * i));
  return out;
}

std::string riffChunk(const std::string& fourcc, const std::string& data) {
  return fourcc + little(data.size(), 4) + data + (data.size() % 2 ? std::string(1, '\0') : "");
}

std::string riff(const std::string& chunks) { return "RIFF" + little(4 + chunks.size(), 4) + "WEBP" + chunks; }

// A lossless bitstream of width x height in one colour: no transform, no
// colour cache, five prefix codes of one symbol each, which code every
// pixel in no bit at all.
std::string lossless(uint32_t width, uint32_t height) {
  uint64_t bits = (width - 1) | static_cast<uint64_t>(height - 1) << 14;  // then alpha, version, 3 flags: 0
  for (int code = 0; code < 5; ++code) bits |= uint64_t{1} << (35 + 4 * code);  // simple, 1 symbol, 1 bit: 0
  std::string out = "\x2f";
  for (int i = 0; i < 7; ++i) out += static_cast<char>(bits >> (8 * i));
  return out + std::string(10, '\0');
}

// A canvas of width x height whose one frame is a single pixel.
std::string animated(uint32_t width, uint32_t height) {
  const std::string canvas = std::string("\x02\0\0\0", 4) + little(width - 1, 3) + little(height - 1, 3);
  const std::string frame = std::string(12, '\0') + little(100, 3) + '\0' + riffChunk("VP8L", lossless(1, 1));
  return riff(riffChunk("VP8X", canvas) + riffChunk("ANIM", std::string(6, '\0')) + riffChunk("ANMF", frame));
}

}  // namespace

// The library decodes whole: a picture or a canvas far beyond what its
// bytes code is refused as damaged from its header, before any decode; a
// file is read to its RIFF size alone, and one larger than a picture needs
// is said to be.
TEST(WebpLimits, ClaimsPastTheBytesAreRefusedAndFilesReadToTheirRiffSize) {
  TempDir t;
  for (const auto& [name, bytes] : {std::pair{"lossless.webp", riff(riffChunk("VP8L", lossless(15000, 15000)))},
                                    std::pair{"canvas.webp", animated(15000, 15000)}}) {
    const std::string path = t / name;
    testsupport::writeFile(path, bytes);
    ImgHeaderInfo info;
    ImgDecoded said, out;
    EXPECT_EQ(imgFormatReadHeader(path.c_str(), ImgFormat::Webp, &info, &said), IMG_DECODE_DAMAGED) << name;
    EXPECT_EQ(said.why, "too few bytes for the size it claims") << name;
    OwnedImg img;
    EXPECT_EQ(imgFormatDecode(&img.img, path.c_str(), ImgFormat::Webp, {}, &out), IMG_DATA_SHORT) << name;
  }
  // 64 x 48 in a file padded past 1 GiB (sparse: no disk spent).
  const std::string padded = t / "padded.webp";
  testsupport::writeFile(padded, riff(riffChunk("VP8L", lossless(64, 48))));
  ASSERT_EQ(truncate(padded.c_str(), (1LL << 30) + 4096), 0);
  ImgHeaderInfo info;
  ImgDecoded said;
  ASSERT_EQ(imgFormatReadHeader(padded.c_str(), ImgFormat::Webp, &info, &said), IMG_OK);
  EXPECT_LT(info.held, 64 * 48 * 4 + 100);
  OwnedImg img;
  ASSERT_EQ(imgFormatDecode(&img.img, padded.c_str(), ImgFormat::Webp, {}, &said), IMG_OK) << said.why;
  EXPECT_EQ(img.img.width, 64);
  // Its RIFF size made to claim the whole file too.
  std::fstream(padded, std::ios::in | std::ios::out | std::ios::binary) << "RIFF" + little(0x7ffffff0, 4);
  EXPECT_EQ(imgFormatReadHeader(padded.c_str(), ImgFormat::Webp, &info, &said), IMG_DECODE_DAMAGED);
  EXPECT_EQ(said.why, "more than 1 GiB of data");
  OwnedImg refused;
  EXPECT_EQ(imgFormatDecode(&refused.img, padded.c_str(), ImgFormat::Webp, {}, &said), IMG_DECODE_DAMAGED);
  // A RIFF size that ends inside its own header (found by the fuzzer: the
  // header was copied past the buffer sized by it).
  const std::string tiny = t / "tiny.webp";
  testsupport::writeFile(tiny, "RIFF" + little(3, 4) + riff(riffChunk("VP8L", lossless(64, 48))).substr(8));
  EXPECT_EQ(imgFormatDecode(&refused.img, tiny.c_str(), ImgFormat::Webp, {}, &said), IMG_DECODE_DAMAGED);
}

