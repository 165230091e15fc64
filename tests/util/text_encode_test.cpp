#include "util/text_encode.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/test_support.h"

namespace {

// What urlEncodeM3u writes for text.
std::string m3uLine(const char* text) {
  return testsupport::streamText([&](FILE* out) { urlEncodeM3u(out, text); });
}

}  // namespace

TEST(DateLabel, RewritesLeadingDates) {
  const struct {
    const char* name;
    const char* label;
  } cases[] = {
      {"20051225-A", "25.12.2005 A"},
      {"20051225", "25.12.2005"},
      {"200512", "12.2005"},
      {"200512_Noel", "12.2005 Noel"},
      {"200512.x", "12.2005 x"},
      {"20051225 Noel", "25.12.2005  Noel"},  // a space is not left out
      {"200512251", "25.12.2005 1"},          // the ninth digit begins the rest
      {"20051225--", "25.12.2005 -"},         // only one separator is left out
      {"2005122", "2005122"},                 // seven digits
      {"20051", "20051"},
      {"racine", "racine"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_STREQ(dateLabel(c.name, true), c.label) << c.name;
}

TEST(DateLabel, LeavesNamesAloneWhenOff) {
  const char* name = "20051225-A";
  EXPECT_EQ(dateLabel(name, false), name);
}

// A long name keeps its date: only what the 199-character label can't hold
// is cut, never half a UTF-8 character.
TEST(DateLabel, LongNameIsTurnedAndCutToTheLabel) {
  std::string longest = "20051225" + std::string(188, 'x');
  EXPECT_EQ(std::string(dateLabel(longest.c_str(), true)), "25.12.2005 " + std::string(188, 'x'));
  std::string tooLong = "20051225-\xc3\xa9" + std::string(185, 'x') + "\xc3\xa9\xc3\xa9";
  EXPECT_EQ(std::string(dateLabel(tooLong.c_str(), true)), "25.12.2005 \xc3\xa9" + std::string(185, 'x'));
}

TEST(SizeText, KeepsThreeDigitsCutNotRounded) {
  const struct {
    long long size;
    const char* text;
  } cases[] = {
      {0, "0 o"},
      {1023, "1023 o"},
      {1024, "1,00 Ko"},
      {1536, "1,50 Ko"},
      {2047, "1,99 Ko"},
      {1034, "1,00 Ko"},  // 1.0097: cut, not rounded
      {10239, "9,99 Ko"},
      {10240, "10,0 Ko"},
      {10342, "10,0 Ko"},
      {102399, "99,9 Ko"},
      {102400, "100 Ko"},
      {1048575, "1023 Ko"},
      {1048576, "1,00 Mo"},
      {1572864, "1,50 Mo"},
      {1572863, "1,49 Mo"},  // decimals from the whole kilobytes
      {10485759, "9,99 Mo"},
      {10485760, "10,0 Mo"},
      {104857599, "99,9 Mo"},
      {104857600, "100 Mo"},
      {2147483647, "2047 Mo"},
      {3221225472, "3072 Mo"},  // past 32 bits
  };
  for (const auto& c : cases) EXPECT_STREQ(sizeText(c.size), c.text) << c.size;
}

TEST(UrlEncodeM3u, EscapesReservedControlAndUpperBytes) {
  EXPECT_EQ(m3uLine("a b&c#.mp3"), "a%20b%26c%23.mp3");
  EXPECT_EQ(m3uLine("rock/\xe9t\xe9.mp3"), "rock/%e9t%e9.mp3");
  EXPECT_EQ(m3uLine("x\\y"), "x%5cy");
  EXPECT_EQ(m3uLine("\"?=+%"), "%22%3f%3d%2b%25");
  EXPECT_EQ(m3uLine("\t\x1f\x80\xff"), "%09%1f%80%ff");
}

TEST(UrlEncodeM3u, LeavesSchemeSeparatorsAndDelete) {
  EXPECT_EQ(m3uLine("http://u@h/a'b<c>~\x7f"), "http://u@h/a'b<c>~\x7f");
}

TEST(LinkForm, EscapesWhatWouldBreakAnAttributeOrLink) {
  EXPECT_EQ(linkForm("a b.jpg"), "a b.jpg");
  EXPECT_EQ(linkForm("it's \"x\".jpg"), "it%27s %22x%22.jpg");
  EXPECT_EQ(linkForm("#%&?<>\\"), "%23%25%26%3f%3c%3e%5c");
  EXPECT_EQ(linkForm("\t\x7f\xe9/+=:"), "%09%7f%e9/+=%3a");
  EXPECT_EQ(linkForm(""), "");
}

// Browsers strip spaces at both ends of an href or src value.
TEST(LinkForm, SpaceAtEitherEndIsEscapedInnerSpacesStay) {
  EXPECT_EQ(linkForm(" beach .jpg"), "%20beach .jpg");
  EXPECT_EQ(linkForm("beach "), "beach%20");
  EXPECT_EQ(linkForm("  x  "), "%20 x %20");
  EXPECT_EQ(linkForm(" "), "%20");
}

TEST(TextForm, EscapesMarkupCharactersOnly) {
  EXPECT_EQ(textForm("a&b<c>\"d\" '\xe9'"), "a&amp;b&lt;c&gt;&quot;d&quot; '\xe9'");
  EXPECT_EQ(textForm(""), "");
}

// UTF-8 names show their characters; ISO-8859-1 and ill-formed names keep
// their bytes, as the page's charset reads them.
TEST(TextForm, Utf8NameShowsItsCharactersAsReferences) {
  EXPECT_EQ(textForm("Vacances d'\xc3\xa9t\xc3\xa9 & \xe2\x82\xac\xf0\x9f\x98\x80"),
            "Vacances d'&#233;t&#233; &amp; &#8364;&#128512;");
  EXPECT_EQ(textForm("Vacances d'\xe9t\xe9"), "Vacances d'\xe9t\xe9");
  EXPECT_EQ(textForm("\xc3\xa9t\xe9"), "\xc3\xa9t\xe9");
}

// A name can't reorder what follows it on the line.
TEST(TextForm, BidiControlsAreShownNotObeyed) {
  EXPECT_EQ(textForm("album\xe2\x80\xaeRTL \xe2\x81\xa9\xe2\x80\x8f"), "album[U+202E]RTL [U+2069]&#8207;");
}
