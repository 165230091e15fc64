#include "album/photo_facts.h"

#include <gtest/gtest.h>

#include <string>

namespace {

ImgPhotoMeta cameraMeta() {
  ImgPhotoMeta meta;
  meta.exif.dateTaken = "2026:07:14 19:02:33";
  meta.exif.make = "NIKON CORPORATION";
  meta.exif.model = "NIKON D750";
  meta.exif.lens = "24-70mm f/2.8";
  meta.exif.exposure = {1, 250};
  meta.exif.fNumber = {28, 10};
  meta.exif.iso = 100;
  meta.exif.focalLength = {35, 1};
  return meta;
}

TEST(PhotoFacts, LineHoldsDateCameraLensAndExposureInThatOrder) {
  EXPECT_EQ(photoFacts(cameraMeta()).line,
            "14.07.2026 19:02 &#183; NIKON D750 &#183; 24-70mm f/2.8 &#183; 1/250 s, f/2.8, ISO 100, 35 mm");
  ImgPhotoMeta meta;
  meta.exif.make = "Leica";
  meta.exif.model = "M11";
  meta.exif.exposure = {2, 1};
  meta.exif.fNumber = {8, 1};
  meta.exif.dateTaken = "0000:00:00 00:00:00";  // an unset clock is no date
  EXPECT_EQ(photoFacts(meta).line, "Leica M11 &#183; 2 s, f/8");
  EXPECT_EQ(photoFacts(ImgPhotoMeta{}).line, "");
}

// XMP, else IPTC, else Exif; boilerplate is no caption; what a source holds
// is text, never markup.
TEST(PhotoFacts, CaptionComesFromTheFirstSourceThatHoldsOne) {
  ImgPhotoMeta meta;
  meta.exif.description = "exif text";
  meta.iptcTitle = "iptc";
  meta.xmpTitle = "  SONY DSC ";
  meta.xmpDescription = "";
  PhotoFacts facts = photoFacts(meta);
  EXPECT_EQ(facts.title, "iptc");
  EXPECT_EQ(facts.text, "iptc");
  meta.xmpDescription = "<script>alert(1)</script> &lt;b&gt; \"q\"";
  facts = photoFacts(meta);
  EXPECT_EQ(facts.title, "");
  EXPECT_EQ(facts.text, "&lt;script&gt;alert(1)&lt;/script&gt; &amp;lt;b&amp;gt; &quot;q&quot;");
  meta = {};
  meta.exif.description = "OLYMPUS DIGITAL CAMERA";
  EXPECT_EQ(photoFacts(meta).text, "");
  meta.exif.description = "Le phare";
  EXPECT_EQ(photoFacts(meta).text, "Le phare");
}

TEST(PhotoFacts, IptcInIso88591BecomesUtf8AndLongTextsFitTheCaptionBuffers) {
  ImgPhotoMeta meta;
  meta.iptcTitle = "\xc9t\xe9";
  meta.iptcCaption = "Plage";
  PhotoFacts facts = photoFacts(meta);
  EXPECT_EQ(facts.title, "\xc3\x89t\xc3\xa9");
  EXPECT_EQ(facts.text, "\xc3\x89t\xc3\xa9 - Plage");
  // 148 bytes, then a two-byte character the 149-byte limit would cut.
  meta = {};
  meta.xmpTitle = std::string(148, 'a') + "\xc3\xa9" + "tail";
  EXPECT_EQ(photoFacts(meta).title, std::string(148, 'a'));
}

// Only a stamp a calendar and a clock hold is a date.
TEST(PhotoFacts, DateIsShownOnlyWhenItCanBe) {
  const std::pair<const char*, const char*> cases[] = {
      {"2024:02:29 23:59:00", "29.02.2024 23:59"}, {"2000:02:29 00:00:00", "29.02.2000 00:00"},
      {"1900:02:29 10:00:00", ""},                 {"2026:04:31 10:00:00", ""},
      {"2026:07:14 24:00:00", ""}};
  for (const auto& [stamp, line] : cases) {
    ImgPhotoMeta meta;
    meta.exif.dateTaken = stamp;
    EXPECT_EQ(photoFacts(meta).line, line) << stamp;
  }
}

}  // namespace
