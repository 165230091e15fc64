#include "img/header_probe.h"

#include <gtest/gtest.h>

#include <climits>

#include <random>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

using testsupport::TempDir;

std::vector<std::string> reported;
void record(const char* format, const char* name) {
  char buf[512];
  snprintf(buf, sizeof buf, format, name);
  reported.push_back(buf);
}

struct Probe {
  int code, width = -1, height = -1, kind = -1, size = -1;
};

Probe probe(const std::string& name, const char* prefix = nullptr) {
  reported.clear();
  Probe p{0};
  p.code = imgsizeGetSize(name.c_str(), prefix, record, &p.width, &p.height, &p.kind, &p.size);
  return p;
}

// GIF header with a logical screen of 40 x 30 and an image descriptor of 7 x 5.
const std::string kGif = std::string("GIF89a\x28\x00\x1e\x00\x80\x00\x00", 13) + std::string(6, '\0') +
                         std::string("\x2c\x00\x00\x00\x00\x07\x00\x05\x00\x00", 10);

// A JFIF file with its frame header (type frameType) declaring 300 x 200.
std::string jfif(unsigned char frameType = 0xC0) {
  std::string s("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00", 20);
  s += std::string("\xFF\xDB\x00\x04\x00\x00", 6);
  s += std::string("\xFF\xC0\x00\x11\x08\x00\xC8\x01\x2C\x03", 10) + std::string(9, '\x01');
  s[27] = static_cast<char>(frameType);
  return s + "\xFF\xD9";
}

TEST(HeaderProbe, GifGivesLogicalScreenSize) {
  TempDir dir;
  testsupport::writeFile(dir / "x.gif", kGif);
  const Probe p = probe(dir / "x.gif");
  EXPECT_EQ(p.code, 0);
  EXPECT_EQ(p.width, 40);
  EXPECT_EQ(p.height, 30);
  EXPECT_EQ(p.kind, 1);
  EXPECT_EQ(p.size, static_cast<int>(kGif.size()));
  EXPECT_TRUE(reported.empty());
}

TEST(HeaderProbe, JpegFramesAndSignatures) {
  TempDir dir;
  std::string exif = jfif();
  exif[3] = '\xE1';
  exif.replace(6, 5, std::string("Exif\0", 5));
  const std::string bare = std::string("\xFF\xD8", 2) + jfif().substr(20);
  struct Case {
    const char* what;
    std::string bytes;
    int code;
  } cases[] = {{"baseline", jfif(), 0},        {"progressive", jfif(0xC2), 0}, {"Exif", exif, 0},
               {"bare", bare, 0},              {"extended C1", jfif(0xC1), 9}, {"GIF named jpg", kGif, 9},
               {"fill byte", jfif().substr(0, 20).append("\xFF").append(jfif().substr(20)), 9}};
  for (const Case& c : cases) {
    testsupport::writeFile(dir / "p.jpg", c.bytes);
    const Probe p = probe(dir / "p.jpg");
    EXPECT_EQ(p.code, c.code) << c.what;
    if (c.code == 0) {
      EXPECT_EQ(p.width, 300) << c.what;
      EXPECT_EQ(p.height, 200) << c.what;
      EXPECT_EQ(p.kind, 0) << c.what;
    } else {
      EXPECT_EQ(p.width, -1) << "out-parameter touched: " << c.what;
      EXPECT_EQ(reported, std::vector<std::string>{"imgsizeGetJpgSize \"" + (dir / "p.jpg") + "\""});
    }
  }
}

TEST(HeaderProbe, RealFilesFromTheLibraries) {
  TempDir dir;
  testsupport::makeJpeg(dir / "r.jpg", 123, 45);
  testsupport::makeGif(dir / "r.gif", 17, 9);
  const Probe j = probe(dir / "r.jpg"), g = probe(dir / "r.gif");
  EXPECT_EQ(j.code, 0);
  EXPECT_EQ(j.width, 123);
  EXPECT_EQ(j.height, 45);
  EXPECT_EQ(g.code, 0);
  EXPECT_EQ(g.width, 17);
  EXPECT_EQ(g.height, 9);
}

TEST(HeaderProbe, NameWithoutKnownExtensionTriesGifThenJpgThenItself) {
  TempDir dir;
  testsupport::writeFile(dir / "photo", kGif);
  EXPECT_EQ(probe("photo", (dir.path() + "/").c_str()).kind, 1);  // content decides
  testsupport::writeFile(dir / "photo.jpg", jfif());
  EXPECT_EQ(probe(dir / "photo").kind, 0);
  testsupport::writeFile(dir / "photo.gif", kGif);
  EXPECT_EQ(probe(dir / "photo").kind, 1);

  // Extensions are matched in any case: x.GIF is read itself, as a GIF, and
  // a sibling x.GIF.gif is never looked at.
  testsupport::writeFile(dir / "x.GIF.gif", kGif);
  testsupport::writeFile(dir / "x.GIF", jfif());
  EXPECT_EQ(probe(dir / "x.GIF").code, 8);
  EXPECT_EQ(reported, std::vector<std::string>{"imgsizeGetGifSize \"" + (dir / "x.GIF") + "\""});
  testsupport::writeFile(dir / "x.Jpg", jfif());
  EXPECT_EQ(probe(dir / "x.Jpg").width, 300);
}

TEST(HeaderProbe, FailureCodes) {
  TempDir dir;
  EXPECT_EQ(probe(dir / "none.gif").code, 2);
  EXPECT_TRUE(reported.empty());
  testsupport::writeFile(dir / "short.gif", "GIF89a\x01");
  EXPECT_EQ(probe(dir / "short.gif").code, 8);
  testsupport::writeFile(dir / "empty.jpg", "");
  EXPECT_EQ(probe(dir / "empty.jpg").code, 9);

  // Any path the system takes is probed: PATH_MAX - 5 characters, room for ".gif".
  const std::string prefix(PATH_MAX - 100, 'd');
  EXPECT_EQ(probe(std::string(95, 'n'), prefix.c_str()).code, 2);
  const Probe tooLong = probe(std::string(96, 'n'), prefix.c_str());
  EXPECT_EQ(tooLong.code, 1);
  EXPECT_EQ(tooLong.width, -1);
  EXPECT_EQ(reported, std::vector<std::string>{"image imgName \"" + std::string(96, 'n') + "\" too long"});
}

TEST(HeaderProbe, GifSignature) {
  const auto isGif = [](const std::string& s) {
    return imgsizeIsGif(reinterpret_cast<const unsigned char*>(s.data()), static_cast<long>(s.size()));
  };
  EXPECT_TRUE(isGif("GIF87a"));
  EXPECT_TRUE(isGif("GIF89a"));
  EXPECT_FALSE(isGif("GIF88a"));
  EXPECT_FALSE(isGif("gif89a"));
  EXPECT_FALSE(isGif("GIF89"));
  int w = 0, h = 0;
  EXPECT_FALSE(imgsizeGetGifSize(reinterpret_cast<const unsigned char*>(kGif.data()), 9, &w, &h));
}

// Every prefix and many mutations of a header: the JPEG's through a file,
// whose frame counts only once its header is whole; the GIF's in a heap
// block of exactly its length, so that a read past the end shows under ASan.
TEST(HeaderProbe, NeverReadsOutsideTheBytes) {
  TempDir dir;
  int w = 0, h = 0;
  const std::string j = jfif();
  for (size_t n = 0; n <= j.size(); ++n) {
    testsupport::writeFile(dir / "cut.jpg", j.substr(0, n));
    EXPECT_EQ(probe(dir / "cut.jpg").code == 0, n > 26 + 8) << n;  // the frame header at 26 needs 9 bytes
    std::vector<unsigned char> buf(j.begin(), j.begin() + static_cast<long>(n));
    imgsizeGetGifSize(buf.data(), static_cast<long>(n), &w, &h);
  }
  std::mt19937 rng(7);
  for (int i = 0; i < 300; ++i) {
    std::string s = j.substr(0, rng() % (j.size() + 1));
    for (int k = rng() % 4; k > 0 && s.size() > 11; --k) s[11 + rng() % (s.size() - 11)] = static_cast<char>(rng());
    testsupport::writeFile(dir / "mutated.jpg", s);
    (void)probe(dir / "mutated.jpg");
  }
}

}  // namespace
