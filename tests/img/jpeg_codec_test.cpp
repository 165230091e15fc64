#include "img/exif.h"
#include "img/jpeg_codec.h"
#include "util/file_handle.h"

#include <gtest/gtest.h>
#include <jpeglib.h>

#include <algorithm>
#include <array>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/limits.h"
#include "img/resize.h"
#include "support/test_support.h"

namespace {

using testsupport::TempDir;
using Rgb = std::array<int, 3>;
using Bytes = std::vector<unsigned char>;

constexpr Rgb kRed{255, 0, 0}, kGreen{0, 255, 0}, kBlue{0, 0, 255}, kWhite{255, 255, 255};

// What the header reads (upright, or as stored), and its status.
struct Header {
  ImgStatus status;
  ImgHeaderInfo info;
  std::string lines;  // the library's
};
Header readHeader(const std::string& path, bool upright = true) {
  Header h{};
  ImgDecoded out;
  h.status = upright ? imgJpegReadHeader(path.c_str(), &h.info, &out) : imgJpegReadStoredHeader(path.c_str(), &h.info, &out);
  h.lines = out.libraryText;
  return h;
}

// Decodes path into img as target asks; the library's lines into lines.
ImgStatus decode(OwnedImg& img, const std::string& path, const ImgDecodeTarget& target = {},
                 std::string* lines = nullptr) {
  ImgDecoded out;
  const ImgStatus status = imgJpegDecode(&img.img, path.c_str(), target, &out);
  if (lines) *lines = out.libraryText;
  return status;
}

// The medium view's decode: fitted into the box, enlarged if need be.
ImgDecodeTarget fitted(int width, int height) { return {true, width, height, true}; }

Rgb pixel(const Img& img, int x, int y) {
  const unsigned char* p = img.rows[y] + x * 3;
  return {p[0], p[1], p[2]};
}

::testing::AssertionResult near(const Rgb& got, const Rgb& want, int tolerance = 24) {
  for (int c = 0; c < 3; ++c)
    if (std::abs(got[c] - want[c]) > tolerance)
      return ::testing::AssertionFailure() << "got " << got[0] << "," << got[1] << "," << got[2] << " want "
                                           << want[0] << "," << want[1] << "," << want[2];
  return ::testing::AssertionSuccess();
}

// 64 x 32, quadrants red | green over blue | white; app1, when given, goes
// in right after the library's own markers.
void writeQuadrants(const std::string& path, const Bytes& app1 = {}) {
  const auto quadrants = [](int x, int y, int k) {
    const Rgb& q = y < 16 ? (x < 32 ? kRed : kGreen) : (x < 32 ? kBlue : kWhite);
    return q[k];
  };
  testsupport::writeJpeg(path, {.width = 64,
                                .height = 32,
                                .quality = 95,
                                .sample = quadrants,
                                .app1 = std::string(app1.begin(), app1.end())});
}

void put16(Bytes& b, unsigned v, bool mm) {
  if (mm) b.insert(b.end(), {static_cast<unsigned char>(v >> 8), static_cast<unsigned char>(v)});
  else b.insert(b.end(), {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8)});
}
void put32(Bytes& b, unsigned v, bool mm) {
  put16(b, mm ? v >> 16 : v & 0xFFFF, mm);
  put16(b, mm ? v & 0xFFFF : v >> 16, mm);
}

// "Exif\0\0" + TIFF header + IFD0 of two entries: an image width, then the
// orientation as a SHORT with the given type and count.
Bytes exifSegment(unsigned orientation, bool mm, unsigned type = 3, unsigned count = 1) {
  Bytes b = {'E', 'x', 'i', 'f', 0, 0};
  const unsigned char order = mm ? 'M' : 'I';
  b.insert(b.end(), {order, order});
  put16(b, 42, mm);
  put32(b, 8, mm);
  put16(b, 2, mm);
  put16(b, 0x0100, mm), put16(b, 3, mm), put32(b, 1, mm), put16(b, 32, mm), put16(b, 0, mm);
  put16(b, 0x0112, mm), put16(b, type, mm), put32(b, count, mm), put16(b, orientation, mm), put16(b, 0, mm);
  put32(b, 0, mm);
  return b;
}

TEST(JpegCodec, WrittenRasterReadsBackWithItsSize) {
  TempDir dir;
  OwnedImg src;
  ASSERT_EQ(imgCreate(&src.img, 96, 73), 0);
  for (int y = 0; y < 73; ++y)
    for (int x = 0; x < 96; ++x) {
      unsigned char* p = src.img.rows[y] + x * 3;
      p[0] = static_cast<unsigned char>(x * 2), p[1] = static_cast<unsigned char>(y * 3), p[2] = 128;
    }
  const std::string path = dir / "out.jpg";
  ASSERT_EQ(imgJpegWriteFile(&src.img, path.c_str(), 85), 0);

  const Header stored = readHeader(path, false);
  ASSERT_EQ(stored.status, IMG_OK);
  EXPECT_EQ(stored.info.width, 96);
  EXPECT_EQ(stored.info.height, 73);
  EXPECT_EQ(stored.info.held, 0);  // a baseline JPEG streams
  OwnedImg back;
  ASSERT_EQ(decode(back, path), IMG_OK);
  EXPECT_EQ(back.img.status, 0);
  EXPECT_EQ(back.img.width, 96);
  EXPECT_EQ(back.img.height, 73);
  EXPECT_TRUE(near(pixel(back.img, 50, 40), {100, 120, 128}));
  // Derived pictures never carry Exif data.
  EXPECT_EQ(testsupport::readFile(path).find("Exif"), std::string::npos);
}

TEST(JpegCodec, GreyscaleDecodesToEqualChannels) {
  TempDir dir;
  testsupport::makeJpeg(dir / "g.jpg", 40, 30, 3, 1);
  OwnedImg img;
  ASSERT_EQ(decode(img, dir / "g.jpg"), IMG_OK);
  ASSERT_EQ(img.img.width, 40);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x) {
      const Rgb p = pixel(img.img, x, y);
      ASSERT_TRUE(p[0] == p[1] && p[1] == p[2]) << x << "," << y;
    }
}

// Four-component files become RGB: plain CMYK stores ink amounts, Adobe's
// CMYK and YCCK store them inverted.
TEST(JpegCodec, FourComponentPicturesBecomeRgb) {
  struct Case {
    const char* name;
    bool adobe;
    J_COLOR_SPACE stored;
  };
  const Case cases[] = {{"plain CMYK", false, JCS_CMYK}, {"Adobe CMYK", true, JCS_CMYK}, {"Adobe YCCK", true, JCS_YCCK}};
  // Left half full magenta + yellow ink (red), right half half black (grey).
  const std::array<int, 4> inkRed{0, 255, 255, 0}, inkGrey{0, 0, 0, 128};
  for (const Case& c : cases) {
    TempDir dir;
    const std::string path = dir / "cmyk.jpg";
    const auto inks = [&](int x, int, int k) {
      const int ink = (x < 8 ? inkRed : inkGrey)[k];
      return c.adobe ? 255 - ink : ink;
    };
    testsupport::writeJpeg(path, {.width = 16,
                                  .height = 8,
                                  .components = 4,
                                  .quality = 95,
                                  .sample = inks,
                                  .tune = [&](jpeg_compress_struct* cinfo) {
                                    jpeg_set_colorspace(cinfo, c.stored);
                                    cinfo->write_Adobe_marker = c.adobe;
                                  }});
    OwnedImg img;
    ASSERT_EQ(decode(img, path), IMG_OK) << c.name;
    EXPECT_TRUE(near(pixel(img.img, 2, 4), kRed)) << c.name;
    EXPECT_TRUE(near(pixel(img.img, 13, 4), {127, 127, 127})) << c.name;
  }
}

TEST(JpegCodec, ExifOrientationTurnsPictureUpright) {
  // Upright quadrants (top-left, top-right, bottom-left, bottom-right) of the
  // stored red | green over blue | white.
  const std::array<Rgb, 4> upright[9] = {
      {}, {kRed, kGreen, kBlue, kWhite}, {kGreen, kRed, kWhite, kBlue}, {kWhite, kBlue, kGreen, kRed},
      {kBlue, kWhite, kRed, kGreen}, {kRed, kBlue, kGreen, kWhite}, {kBlue, kRed, kWhite, kGreen},
      {kWhite, kGreen, kBlue, kRed}, {kGreen, kWhite, kRed, kBlue}};
  TempDir dir;
  for (bool mm : {false, true}) {
    for (unsigned o = 1; o <= 8; ++o) {
      SCOPED_TRACE(::testing::Message() << "orientation " << o << (mm ? " MM" : " II"));
      const std::string path = dir / std::string("o").append(std::to_string(o)).append(mm ? "m.jpg" : "i.jpg");
      writeQuadrants(path, exifSegment(o, mm));
      const int uw = o >= 5 ? 32 : 64, uh = o >= 5 ? 64 : 32;
      const Header stored = readHeader(path, false), turned = readHeader(path);
      ASSERT_EQ(stored.status, IMG_OK);
      EXPECT_EQ(stored.info.width, 64);
      EXPECT_EQ(stored.info.height, 32);
      ASSERT_EQ(turned.status, IMG_OK);
      EXPECT_EQ(turned.info.width, uw);
      EXPECT_EQ(turned.info.height, uh);
      OwnedImg img;
      ASSERT_EQ(decode(img, path), IMG_OK);
      ASSERT_EQ(img.img.width, uw);
      ASSERT_EQ(img.img.height, uh);
      const int qx[2] = {uw / 4, uw * 3 / 4}, qy[2] = {uh / 4, uh * 3 / 4};
      for (int q = 0; q < 4; ++q) EXPECT_TRUE(near(pixel(img.img, qx[q % 2], qy[q / 2]), upright[o][q])) << q;
      // Corner pixels land exactly: the transform is a permutation.
      EXPECT_TRUE(near(pixel(img.img, 0, 0), upright[o][0], 40));
      EXPECT_TRUE(near(pixel(img.img, uw - 1, uh - 1), upright[o][3], 40));
      // Reduced as it is decoded, in the file's order of lines (or enlarged
      // whole): the bytes of the whole upright picture resized, whichever box.
      for (auto [bw, bh] : {std::array{20, 20}, {63, 31}, {7, 50}, {64, 64}, {0, 9}}) {
        OwnedImg reduced, resized;
        ASSERT_EQ(decode(reduced, path, fitted(bw, bh)), IMG_OK);
        ASSERT_EQ(imgResize(&resized.img, bw, bh, &img.img, false), 0);
        ASSERT_EQ(reduced.img.width, resized.img.width);
        ASSERT_EQ(reduced.img.height, resized.img.height);
        for (int y = 0; y < reduced.img.height; ++y)
          ASSERT_TRUE(std::equal(reduced.img.rows[y], reduced.img.rows[y] + 3 * reduced.img.width, resized.img.rows[y]))
              << bw << "x" << bh << " row " << y;
      }
    }
  }
}

TEST(JpegCodec, BrokenExifDecodesAsStored) {
  Bytes truncatedIfd = exifSegment(6, false);
  truncatedIfd.resize(6 + 8 + 2 + 12 + 6);  // the orientation entry cut off
  Bytes farOffset = exifSegment(6, true);
  farOffset[13] = 0xF0;  // IFD offset past the segment
  const Bytes cases[] = {truncatedIfd, farOffset, exifSegment(6, false, 3, 2), exifSegment(6, true, 4, 1),
                         exifSegment(9, false), exifSegment(0, true)};
  TempDir dir;
  for (const Bytes& segment : cases) {
    const std::string path = dir / "broken.jpg";
    writeQuadrants(path, segment);
    const Header upright = readHeader(path);
    ASSERT_EQ(upright.status, IMG_OK);
    EXPECT_EQ(upright.info.width, 64);
    OwnedImg img;
    ASSERT_EQ(decode(img, path), IMG_OK);
    ASSERT_EQ(img.img.width, 64);
    EXPECT_TRUE(near(pixel(img.img, 8, 8), kRed));
    EXPECT_TRUE(near(pixel(img.img, 56, 24), kWhite));
  }
}

// An APP1 segment (marker and length) of payload.
std::string app1Segment(const std::string& payload) {
  const size_t length = payload.size() + 2;
  return std::string{'\xFF', '\xE1', char(length >> 8), char(length & 0xFF)} + payload;
}

// Megabytes of extended XMP ahead of the Exif segment, and a second Exif
// segment after it: the orientation is still the first Exif segment's, the
// pixels those of the same file without them, whether the segments are read
// through or skipped. Cut inside the skipped segments, the file still fails
// as a cut header does.
TEST(JpegCodec, LargeSegmentsBeforeExifChangeNeitherOrientationNorPixels) {
  TempDir dir;
  const Bytes exif = exifSegment(6, true);
  writeQuadrants(dir / "plain.jpg", exif);
  const std::string plain = testsupport::readFile(dir / "plain.jpg");
  std::string xmp;
  for (int i = 0; i < 40; ++i)
    xmp += app1Segment(std::string("http://ns.adobe.com/xmp/extension/\0", 35) + std::string(65000, char('a' + i % 26)));
  xmp += app1Segment("Exif");  // too short to be the Exif segment
  const std::string second = app1Segment(std::string(reinterpret_cast<const char*>(exifSegment(3, false).data()),
                                                     exifSegment(3, false).size()));
  const size_t exifAt = plain.find("Exif\0\0") - 4;
  const size_t exifEnd = exifAt + 4 + exif.size();
  const std::string heavy = plain.substr(0, exifAt) + xmp + plain.substr(exifAt, exifEnd - exifAt) + xmp + second +
                            plain.substr(exifEnd);
  testsupport::writeFile(dir / "heavy.jpg", heavy);
  const Header h = readHeader(dir / "heavy.jpg");
  ASSERT_EQ(h.status, IMG_OK);
  EXPECT_EQ(h.info.width, 32);
  EXPECT_EQ(h.info.height, 64);
  EXPECT_EQ(h.lines, "");
  OwnedImg want, got;
  ASSERT_EQ(decode(want, dir / "plain.jpg"), IMG_OK);
  ASSERT_EQ(decode(got, dir / "heavy.jpg"), IMG_OK);
  ASSERT_EQ(got.img.width, 32);
  ASSERT_EQ(got.img.height, 64);
  for (int y = 0; y < 64; ++y) ASSERT_TRUE(std::equal(got.img.rows[y], got.img.rows[y] + 3 * 32, want.img.rows[y])) << y;

  testsupport::writeFile(dir / "cut.jpg", heavy.substr(0, exifAt + 20 * 65000));
  const Header cut = readHeader(dir / "cut.jpg");
  EXPECT_EQ(cut.status, IMG_DECODE_DAMAGED);
  EXPECT_NE(cut.lines.find("Premature end of JPEG file"), std::string::npos) << cut.lines;
}

TEST(ExifOrientation, ReadsOnlyWellFormedTags) {
  const Bytes good = exifSegment(3, true);
  EXPECT_EQ(imgExifOrientation(good.data(), static_cast<unsigned>(good.size())), 3);
  EXPECT_EQ(imgExifOrientation(nullptr, 0), 1);
  Bytes badOrder = exifSegment(3, false);
  badOrder[6] = 'X';
  EXPECT_EQ(imgExifOrientation(badOrder.data(), static_cast<unsigned>(badOrder.size())), 1);
  Bytes bigCount = exifSegment(3, false);
  bigCount[14] = 0xFF;  // IFD claims 255 entries
  EXPECT_EQ(imgExifOrientation(bigCount.data(), static_cast<unsigned>(bigCount.size())), 1);
  // Every cut of a valid segment stays inside it (checked under ASan) and
  // gives the tag only once the whole IFD is there.
  const Bytes full = exifSegment(8, false);
  for (size_t n = 0; n <= full.size(); ++n) {
    Bytes cut(full.begin(), full.begin() + static_cast<long>(n));
    EXPECT_EQ(imgExifOrientation(cut.data(), static_cast<unsigned>(n)), n >= 6 + 8 + 2 + 24 ? 8 : 1) << n;
  }
}

// The library's line is handed back, never written.
TEST(JpegCodec, NotAJpegHandsBackLibraryMessageAfterThePath) {
  TempDir dir;
  const std::string path = dir / "fake.jpg";
  const std::string message = path + ": Not a JPEG file: starts with 0x47 0x49\n";
  testsupport::writeFile(path, "GIF89a not a jpeg at all");
  ::testing::internal::CaptureStderr();
  const Header h = readHeader(path);
  EXPECT_EQ(h.status, IMG_DECODE_DAMAGED);
  EXPECT_EQ(h.lines, message);
  EXPECT_EQ(h.info.width, 0);
  OwnedImg img;
  std::string lines;
  EXPECT_EQ(decode(img, path, {}, &lines), IMG_DECODE_DAMAGED);
  EXPECT_EQ(lines, message);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(img.img.status, IMG_DECODE_DAMAGED);
  EXPECT_EQ(img.img.rows, nullptr);
}

TEST(JpegCodec, MissingFileCannotBeOpened) {
  OwnedImg img;
  EXPECT_EQ(readHeader("/nonexistent/x.jpg").status, IMG_DECODE_OPEN);
  EXPECT_EQ(decode(img, "/nonexistent/x.jpg"), IMG_DECODE_OPEN);
  EXPECT_EQ(img.img.status, IMG_DECODE_OPEN);
}

TEST(JpegCodec, TruncatedFiles) {
  TempDir dir;
  testsupport::makeJpeg(dir / "full.jpg", 64, 64);
  const std::string bytes = testsupport::readFile(dir / "full.jpg");
  // Cut in the header: a library error, and no raster is kept.
  testsupport::writeFile(dir / "head.jpg", bytes.substr(0, 30));
  OwnedImg head;
  const Header h = readHeader(dir / "head.jpg");
  EXPECT_EQ(h.status, IMG_DECODE_DAMAGED);
  EXPECT_FALSE(h.lines.empty());
  std::string lines;
  EXPECT_EQ(decode(head, dir / "head.jpg", {}, &lines), IMG_DECODE_DAMAGED);
  EXPECT_EQ(lines, h.lines);
  EXPECT_EQ(head.img.rows, nullptr);
  // Cut in the picture data: a warning, and the picture decodes.
  testsupport::writeFile(dir / "data.jpg", bytes.substr(0, bytes.size() / 2));
  OwnedImg data;
  EXPECT_EQ(decode(data, dir / "data.jpg", {}, &lines), IMG_OK);
  EXPECT_EQ(lines, dir / "data.jpg: Premature end of JPEG file\n");
  EXPECT_EQ(data.img.width, 64);
  EXPECT_EQ(data.img.height, 64);
}

// The first line libjpeg says on path through its own stdio source, with
// the path before it as quorvel writes it.
std::string stdioFirstLine(const std::string& path) {
  struct Said {
    jpeg_error_mgr pub;
    std::string first;
    jmp_buf jump;
  } said{};
  jpeg_decompress_struct d{};
  d.err = jpeg_std_error(&said.pub);
  said.pub.output_message = [](j_common_ptr c) {
    auto* s = reinterpret_cast<Said*>(c->err);
    char text[JMSG_LENGTH_MAX];
    (*c->err->format_message)(c, text);
    if (s->first.empty()) s->first = text;
  };
  said.pub.error_exit = [](j_common_ptr c) {
    (*c->err->output_message)(c);
    longjmp(reinterpret_cast<Said*>(c->err)->jump, 1);
  };
  FILE* f = fopen(path.c_str(), "rb");
  jpeg_create_decompress(&d);
  if (!setjmp(said.jump)) {
    jpeg_stdio_src(&d, f);
    jpeg_read_header(&d, TRUE);
    jpeg_start_decompress(&d);
    std::vector<JSAMPLE> row(d.output_width * d.output_components);
    JSAMPROW rows[] = {row.data()};
    while (d.output_scanline < d.output_height) jpeg_read_scanlines(&d, rows, 1);
    jpeg_finish_decompress(&d);
  }
  jpeg_destroy_decompress(&d);
  fclose(f);
  return said.first.empty() ? "" : path + ": " + said.first + "\n";
}

// On damaged data what the library says follows how far it has read ahead:
// the decode's wider buffer must not change a word of it, nor a pixel.
TEST(JpegCodec, DamagedDataSaysWhatTheLibrarysOwnSourceMakesItSay) {
  TempDir dir;
  // Noise, so that the data runs over several of the wide buffers.
  testsupport::writeJpeg(dir / "noisy.jpg", {.width = 1200, .height = 900, .quality = 95, .sample = [](int x, int y, int k) {
                           return static_cast<int>((x * 7919u + y * 104729u + k * 31u) * 2654435761u >> 24);
                         }});
  const std::string bytes = testsupport::readFile(dir / "noisy.jpg");
  ASSERT_GT(bytes.size(), 200000u);
  std::string junk = bytes;  // bytes between the last scan's data and its end marker
  junk.insert(junk.size() - 2, std::string(3001, '\x5a'));
  std::string flipped = bytes;  // a few bytes of the data spoilt
  for (size_t at : {bytes.size() / 3, bytes.size() / 2 + 77, bytes.size() - 5000})
    flipped[at] = static_cast<char>(flipped[at] == '\x3c' ? 0x3d : 0x3c);
  for (const auto& [name, content] : {std::pair{"junk.jpg", junk}, {"flipped.jpg", flipped}}) {
    SCOPED_TRACE(name);
    const std::string path = dir / name;
    testsupport::writeFile(path, content);
    std::string lines;
    OwnedImg img;
    ASSERT_EQ(decode(img, path, {}, &lines), IMG_OK);
    EXPECT_EQ(lines, stdioFirstLine(path));
    EXPECT_FALSE(lines.empty());
    int width, height;
    const std::vector<unsigned char> pixels = testsupport::decodeJpeg(path, &width, &height);
    bool same = img.img.width == width && img.img.height == height;
    for (int y = 0; same && y < height; ++y)
      same = std::equal(img.img.rows[y], img.img.rows[y] + 3 * width, pixels.data() + size_t(y) * width * 3);
    EXPECT_TRUE(same);
  }
}

TEST(JpegCodec, HeaderClaimingMoreThanThePixelLimitIsRefusedUnallocated) {
  TempDir dir;
  testsupport::makeJpeg(dir / "small.jpg", 16, 16);
  std::string bytes = testsupport::readFile(dir / "small.jpg");
  const size_t sof = bytes.find("\xFF\xC0");
  ASSERT_NE(sof, std::string::npos);
  bytes.replace(sof + 5, 4, "\x65\x90\x65\x90");  // 26000 x 26000
  testsupport::writeFile(dir / "huge.jpg", bytes);
  OwnedImg img;
  EXPECT_EQ(decode(img, dir / "huge.jpg"), IMG_DECODE_TOO_LARGE);
  EXPECT_EQ(img.img.status, IMG_DECODE_TOO_LARGE);
  EXPECT_EQ(img.img.rows, nullptr);
}

// A progressive file of `scans` scans: the last scan of a small one repeated
// before its end marker (the decoder warns of the odd progression, once).
std::string progressiveWithScans(const std::string& path, int scans) {
  testsupport::JpegParams params{.width = 16, .height = 16, .components = 1};
  params.tune = [](jpeg_compress_struct* c) { jpeg_simple_progression(c); };
  testsupport::writeJpeg(path, params);
  std::string bytes = testsupport::readFile(path);
  const size_t last = bytes.rfind("\xFF\xDA");
  const size_t end = bytes.rfind("\xFF\xD9");
  int have = 0;
  for (size_t at = 0; (at = bytes.find("\xFF\xDA", at)) != std::string::npos; at += 2) ++have;
  std::string repeated;
  for (int i = have; i < scans; ++i) repeated += bytes.substr(last, end - last);
  bytes.insert(end, repeated);
  testsupport::writeFile(path, bytes);
  return path;
}

TEST(JpegCodec, ProgressiveFileOfTooManyScansFailsLikeADamagedOne) {
  TempDir dir;
  const std::string most = progressiveWithScans(dir / "a.jpg", kMaxJpegScans);
  const std::string tooMany = progressiveWithScans(dir / "b.jpg", kMaxJpegScans + 1);
  EXPECT_GT(readHeader(most).info.held, 0);  // every scan's coefficients
  OwnedImg img;
  EXPECT_EQ(decode(img, most), IMG_OK);
  OwnedImg over;
  EXPECT_EQ(decode(over, tooMany), IMG_DECODE_SCANS);
  EXPECT_EQ(over.img.rows, nullptr);
  // Also once the reduction it streams into has begun.
  OwnedImg reduced;
  EXPECT_EQ(decode(reduced, tooMany, fitted(4, 4)), IMG_DECODE_SCANS);
  EXPECT_EQ(reduced.img.rows, nullptr);
}

TEST(JpegCodec, WriteRefusals) {
  TempDir dir;
  Img invalid{1, 10, 10, nullptr};
  EXPECT_EQ(imgJpegWriteFile(&invalid, (dir / "a.jpg").c_str(), 85), IMG_JPEG_WRITE_SOURCE);
  EXPECT_EQ(invalid.status, IMG_JPEG_WRITE_SOURCE | 1);
  EXPECT_FALSE(testsupport::fileExists(dir / "a.jpg"));

  OwnedImg src;
  ASSERT_EQ(imgCreate(&src.img, 8, 8), 0);
  EXPECT_EQ(imgJpegWriteFile(&src.img, (dir / "missing/dir/b.jpg").c_str(), 85), IMG_JPEG_WRITE_CREATE);
  EXPECT_EQ(src.img.status, IMG_JPEG_WRITE_CREATE);
  src.img.status = 0;  // so that the raster is released
}

// The message names the file the written one stands for, and goes to the
// caller's messages when it gives them, not to standard error.
TEST(JpegCodec, LibraryErrorWhileEncodingComesBackAsACode) {
  TempDir dir;
  OwnedImg empty;
  ASSERT_EQ(imgCreate(&empty.img, 0, 5), 0);
  FileHandle file = fileCreateNew((dir / "empty.jpg.part").c_str());
  ASSERT_TRUE(file);
  std::string messages;
  testing::internal::CaptureStderr();
  EXPECT_EQ(imgJpegWrite(&empty.img, file.get(), 85, "shown/empty.jpg", &messages), IMG_JPEG_WRITE_LIBRARY);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(messages.rfind("shown/empty.jpg: Empty JPEG image", 0), 0u);
  EXPECT_EQ(empty.img.status, IMG_JPEG_WRITE_LIBRARY);
  empty.img.status = 0;  // so that the raster is released
}

}  // namespace
