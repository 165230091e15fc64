#include "img/photo_meta.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/test_support.h"
#include "util/file_handle.h"

namespace {

using testsupport::TempDir;

// A JPEG's leading bytes: SOI, the segments, then a scan header.
std::string jpegWith(const std::string& segments) { return "\xff\xd8" + segments + "\xff\xda\x00\x02"; }

std::string segment(unsigned char marker, const std::string& payload) {
  const size_t length = payload.size() + 2;
  return std::string{'\xff', char(marker), char(length >> 8), char(length & 0xff)} + payload;
}

ImgPhotoMeta parse(const std::string& bytes) {
  return imgPhotoMetaParse(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

// Every source as exiftool writes it, and the exposure fields of the Exif
// sub-directory.
TEST(PhotoMeta, ReadsExifXmpAndIptcAsExiftoolWritesThem) {
  TempDir t;
  const std::string photo = t / "p.jpg";
  testsupport::makeJpeg(photo, 40, 30);
  const std::string tag = "exiftool -q -overwrite_original -XMP-dc:Title='x t' -XMP-dc:Description='x d' "
                          "-IPTC:ObjectName='i t' -IPTC:Caption-Abstract='i d' -IPTC:CodedCharacterSet=UTF8 "
                          "-Exif:ImageDescription='e d' -Make=Canon -Model='Canon EOS 5D' -LensModel=L "
                          "-DateTimeOriginal='2026:07:14 19:02:33' -ExposureTime=0.004 -FNumber=2.8 -ISO=100 "
                          "-FocalLength=35 -GPSLatitude=43.48 '" + photo + "'";
  ASSERT_EQ(system(tag.c_str()), 0);
  const ImgPhotoMeta meta = imgPhotoMetaRead(photo.c_str());
  EXPECT_EQ(meta.xmpTitle, "x t");
  EXPECT_EQ(meta.xmpDescription, "x d");
  EXPECT_EQ(meta.iptcTitle, "i t");
  EXPECT_EQ(meta.iptcCaption, "i d");
  EXPECT_TRUE(meta.iptcUtf8);
  EXPECT_EQ(meta.exif.description, "e d");
  EXPECT_EQ(meta.exif.make, "Canon");
  EXPECT_EQ(meta.exif.model, "Canon EOS 5D");
  EXPECT_EQ(meta.exif.lens, "L");
  EXPECT_EQ(meta.exif.dateTaken, "2026:07:14 19:02:33");
  EXPECT_EQ(meta.exif.exposure.num * 250, meta.exif.exposure.den);
  EXPECT_EQ(meta.exif.fNumber.num * 10, meta.exif.fNumber.den * 28);
  EXPECT_EQ(meta.exif.iso, 100u);
  EXPECT_EQ(meta.exif.focalLength.num, meta.exif.focalLength.den * 35);
}

// Hostile bytes cost nothing but their own field: a segment longer than the
// file, an Exif value whose offset leaves the data, an XMP entity of the
// packet's own (never expanded) and a property that only starts like ours.
TEST(PhotoMeta, MalformedSourcesLeaveOnlyTheirOwnFieldsOut) {
  EXPECT_EQ(parse("\xff\xd8\xff\xe1\xff\xff" "Exif").exif.make, "");
  EXPECT_EQ(parse("not a jpeg").xmpTitle, "");
  // IFD0: one ASCII Make of 9 bytes at offset 0x1000, far past the end.
  const std::string exif = std::string("Exif\0\0II*\0\x08\0\0\0\x01\0\x0f\x01\x02\0\x09\0\0\0\0\x10\0\0", 26);
  EXPECT_EQ(parse(jpegWith(segment(0xe1, exif))).exif.make, "");
  const std::string xmp = std::string("http://ns.adobe.com/xap/1.0/\0", 29) +
                          "<dc:titles><rdf:Alt><rdf:li>no</rdf:li></rdf:Alt></dc:titles>"
                          "<dc:title><rdf:Alt><rdf:li xml:lang=\"fr\">fr</rdf:li>"
                          "<rdf:li xml:lang=\"x-default\">&lol; &amp;&#233;&#x263A;</rdf:li></rdf:Alt></dc:title>";
  EXPECT_EQ(parse(jpegWith(segment(0xe1, xmp))).xmpTitle, "&lol; &\xc3\xa9\xe2\x98\xba");
}

// Extended XMP passed over costs its size in the budget, read or not: the
// first packet and an Exif segment within the budget are read, one larger
// than what is left of it is not, and a second packet never counts. The
// same from a file as from memory.
TEST(PhotoMeta, SegmentsPassedOverStillSpendTheBudget) {
  // IFD0 of one Make, "K"; then padding, so that it no longer fits in what
  // is left of the budget after twelve extension segments.
  const std::string exif = std::string("Exif\0\0II*\0\x08\0\0\0\x01\0\x0f\x01\x02\0\x02\0\0\0K\0\0\0\0\0\0\0", 32) +
                           std::string(8000, '\0');
  const auto packet = [](const std::string& title) {
    return std::string("http://ns.adobe.com/xap/1.0/\0", 29) + "<dc:title><rdf:Alt><rdf:li>" + title +
           "</rdf:li></rdf:Alt></dc:title>";
  };
  std::string extension;
  for (int i = 0; i < 6; ++i)
    extension += segment(0xe1, std::string("http://ns.adobe.com/xmp/extension/\0", 35) + std::string(65000, 'x'));
  const std::string within = jpegWith(segment(0xe1, packet("first")) + extension + segment(0xe1, exif) +
                                      segment(0xe1, packet("second")));
  const std::string past = jpegWith(segment(0xe1, packet("first")) + extension + extension + segment(0xe1, exif));
  TempDir t;
  for (const auto& [bytes, make] : {std::pair{within, "K"}, std::pair{past, ""}}) {
    testsupport::writeFile(t / "p.jpg", bytes);
    for (const ImgPhotoMeta& meta : {parse(bytes), imgPhotoMetaRead((t / "p.jpg").c_str())}) {
      EXPECT_EQ(meta.xmpTitle, "first");
      EXPECT_EQ(meta.exif.make, make);
    }
  }
}

// What one file's metadata may cost: a claim past the file's end or past
// what is left of kImgMetaReadLimit is refused; what fits is read and
// charged.
TEST(PhotoMeta, BudgetRefusesClaimsPastTheFileOrTheLimit) {
  TempDir t;
  testsupport::writeFile(t / "f", std::string(100, 'm'));
  const FileHandle handle = fileOpenRead((t / "f").c_str());
  ASSERT_TRUE(handle);
  FILE* file = handle.get();
  ImgMetaBudget budget;
  std::vector<unsigned char> bytes;
  EXPECT_FALSE(budget.read(file, uint64_t{1} << 40, &bytes));
  EXPECT_FALSE(budget.read(file, 101, &bytes));
  EXPECT_TRUE(bytes.empty());
  ASSERT_EQ(fseek(file, 10, SEEK_SET), 0);
  EXPECT_FALSE(budget.read(file, 91, &bytes));
  EXPECT_TRUE(budget.read(file, 90, &bytes));
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), std::string(90, 'm'));
  EXPECT_FALSE(budget.take(kImgMetaReadLimit - 89));
  EXPECT_TRUE(budget.take(kImgMetaReadLimit - 90));
  EXPECT_FALSE(budget.take(1));
}

}  // namespace
