// The photo's own metadata as the added formats' header reads hand it back
// when asked: the facts a JPEG's would give, from files tagged by exiftool;
// what lies past the read limit or past the file's end left out, the rest
// read; the header itself the same as without the request.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "img/photo_meta.h"
#include "img/picture_formats.h"
#include "support/test_support.h"

namespace {

using testsupport::readFile;
using testsupport::TempDir;
using testsupport::writeFile;

void sh(const std::string& command) { ASSERT_EQ(std::system(command.c_str()), 0) << command; }

constexpr const char* kNames[] = {"p.png", "w.webp", "h.heic", "a.avif"};

// One picture of each format, tagged as a camera and a photo manager would
// tag it, a location included; extra tags go to every file.
struct Tagged {
  TempDir t;
  explicit Tagged(const std::string& extra = "") {
    sh("cd " + t.path() + " && convert -size 64x48 gradient:red-blue p.png && cwebp -quiet p.png -o w.webp"
       " && heif-enc -q 50 p.png -o h.heic >/dev/null && avifenc -s 8 p.png a.avif >/dev/null"
       " && exiftool -q -q -overwrite_original -XMP-dc:Title='Le phare' -XMP-dc:Description='aube'"
       " -Make=Canon -Model='Canon EOS 5D' -DateTimeOriginal='2026:07:14 19:02:33' -FNumber=2.8 -ISO=100"
       " -GPSLatitude=43.4832 -GPSLatitudeRef=N " + extra + " p.png w.webp h.heic a.avif");
  }
};

ImgPhotoMeta metaOf(const std::string& path, ImgHeaderInfo* header = nullptr) {
  ImgFormat format;
  EXPECT_TRUE(imgFormatOfFile(path.c_str(), &format));
  ImgHeaderInfo info;
  ImgDecoded out;
  ImgPhotoMeta meta;
  EXPECT_EQ(imgFormatReadHeader(path.c_str(), format, &info, &out, &meta), IMG_OK) << path << out.why;
  if (header) *header = info;
  return meta;
}

TEST(FormatMeta, EachFormatGivesTheFactsAndCaptionOfAJpegAndTheSameHeader) {
  Tagged s;
  for (const char* name : kNames) {
    const std::string path = s.t / name;
    ImgHeaderInfo asked, plain;
    const ImgPhotoMeta meta = metaOf(path, &asked);
    EXPECT_EQ(meta.xmpTitle, "Le phare") << name;
    EXPECT_EQ(meta.xmpDescription, "aube") << name;
    EXPECT_EQ(meta.exif.make, "Canon") << name;
    EXPECT_EQ(meta.exif.model, "Canon EOS 5D") << name;
    EXPECT_EQ(meta.exif.dateTaken, "2026:07:14 19:02:33") << name;
    EXPECT_EQ(meta.exif.fNumber.num * 10, meta.exif.fNumber.den * 28) << name;
    EXPECT_EQ(meta.exif.iso, 100u) << name;
    ImgFormat format;
    ASSERT_TRUE(imgFormatOfFile(path.c_str(), &format));
    ImgDecoded out;
    ASSERT_EQ(imgFormatReadHeader(path.c_str(), format, &plain, &out), IMG_OK);
    EXPECT_EQ(asked.width, plain.width) << name;
    EXPECT_EQ(asked.height, plain.height) << name;
    EXPECT_EQ(asked.held, plain.held) << name;
  }
}

// Adds n to the little-endian 32-bit number at bytes[at].
void addLittle(std::string* bytes, size_t at, unsigned n) {
  unsigned value = 0;
  for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<unsigned char>((*bytes)[at + i]);
  value += n;
  for (int i = 0; i < 4; ++i) (*bytes)[at + i] = static_cast<char>(value >> (8 * i));
}

// A WebP writer may put "Exif\0\0" before the TIFF structure, as in a JPEG.
TEST(FormatMeta, WebpExifAfterAJpegsSignatureIsReadToo) {
  Tagged s;
  std::string bytes = readFile(s.t / "w.webp");
  const size_t chunk = bytes.find("EXIF");
  ASSERT_NE(chunk, std::string::npos);
  bytes.insert(chunk + 8, std::string("Exif\0\0", 6));
  addLittle(&bytes, chunk + 4, 6);  // the chunk's size
  addLittle(&bytes, 4, 6);          // the RIFF size
  writeFile(s.t / "headed.webp", bytes);
  EXPECT_EQ(metaOf(s.t / "headed.webp").exif.model, "Canon EOS 5D");
}

// An XMP packet larger than kImgMetaReadLimit is left out whole; the Exif
// block beside it is still read, wherever the format keeps it.
TEST(FormatMeta, APacketPastTheReadLimitIsLeftOutAndTheRestRead) {
  TempDir big;
  writeFile(big / "description.txt", std::string(kImgMetaReadLimit + 1000, 'x'));
  Tagged s("'-XMP-dc:Description<=" + big.path() + "/description.txt'");
  for (const char* name : kNames) {
    const ImgPhotoMeta meta = metaOf(s.t / name);
    EXPECT_EQ(meta.xmpTitle, "") << name;
    EXPECT_EQ(meta.xmpDescription, "") << name;
    EXPECT_EQ(meta.exif.make, "Canon") << name;
  }
}

// Cut inside its XMP packet, a file still gives its header and the Exif
// block that stands whole before the cut (PNG: exiftool writes the XMP
// iTXt before the eXIf); a block claiming bytes past the end is refused.
TEST(FormatMeta, AFileCutInItsXmpKeepsItsHeaderAndWhatStandsBefore) {
  Tagged s;
  for (const char* name : kNames) {
    const std::string bytes = readFile(s.t / name);
    const size_t packet = bytes.find("<x:xmpmeta");
    ASSERT_NE(packet, std::string::npos) << name;
    const std::string cut = s.t / (std::string("cut-") + name);
    writeFile(cut, bytes.substr(0, packet + 100));
    const ImgPhotoMeta meta = metaOf(cut);
    EXPECT_EQ(meta.xmpTitle, "") << name;
    EXPECT_EQ(meta.exif.make, std::string(name) == "p.png" ? "" : "Canon") << name;
  }
}

}  // namespace
