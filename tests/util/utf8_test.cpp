#include "util/utf8.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(Utf8, OnlyWellFormedTextWithAMultiByteCharacterCounts) {
  EXPECT_TRUE(utf8HasMultibyte("caf\xc3\xa9 \xe2\x82\xac \xf4\x8f\xbf\xbf"));
  // ASCII, ISO-8859-1, then after an 'é': a Latin-1 byte, a cut sequence, a
  // stray continuation, overlong forms, a surrogate; and a code above U+10FFFF.
  for (const char* text : {"ascii", "caf\xe9", "\xc3\xa9\xe9", "\xc3\xa9\xc3", "\xc3\xa9\xa9",
                           "\xc3\xa9\xc0\xa9", "\xc3\xa9\xe0\x9f\xbf", "\xc3\xa9\xed\xa0\x80",
                           "\xf4\x90\x80\x80"})
    EXPECT_FALSE(utf8HasMultibyte(text)) << text;
}

TEST(Utf8, ACutDropsOnlyALastSequenceItsLimitEndedTooEarly) {
  const struct {
    const char* text;
    size_t whole;
  } cases[] = {
      {"ab\xc3\xa9", 4},          // complete
      {"ab\xc3", 2},              // two-byte form, lead only
      {"ab\xe2\x82", 2},          // three-byte form, one byte short
      {"ab\xf0\x9f\x98", 2},      // four-byte form, one byte short
      {"caf\xe9", 3},             // an ISO-8859-1 letter reads as a cut lead too
      {"ab\x80\x80", 4},          // stray continuation bytes stay
      {"\xa9\xa9", 2},            // nothing but continuation bytes
  };
  for (const auto& c : cases) EXPECT_EQ(utf8WholeLength(c.text, strlen(c.text)), c.whole) << c.text;
  // A caption file's text is cut only when the rest reads as UTF-8.
  char utf8[] = "\xc3\xa9t\xc3";
  utf8DropCutSequence(utf8);
  EXPECT_STREQ(utf8, "\xc3\xa9t");
  char latin1[] = "caf\xe9";
  utf8DropCutSequence(latin1);
  EXPECT_STREQ(latin1, "caf\xe9");
}
