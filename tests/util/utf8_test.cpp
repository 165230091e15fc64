#include "util/utf8.h"

#include <gtest/gtest.h>

TEST(Utf8, OnlyWellFormedTextWithAMultiByteCharacterCounts) {
  EXPECT_TRUE(utf8HasMultibyte("caf\xc3\xa9 \xe2\x82\xac \xf4\x8f\xbf\xbf"));
  // ASCII, ISO-8859-1, then after an 'é': a Latin-1 byte, a cut sequence, a
  // stray continuation, overlong forms, a surrogate; and a code above U+10FFFF.
  for (const char* text : {"ascii", "caf\xe9", "\xc3\xa9\xe9", "\xc3\xa9\xc3", "\xc3\xa9\xa9",
                           "\xc3\xa9\xc0\xa9", "\xc3\xa9\xe0\x9f\xbf", "\xc3\xa9\xed\xa0\x80",
                           "\xf4\x90\x80\x80"})
    EXPECT_FALSE(utf8HasMultibyte(text)) << text;
}
