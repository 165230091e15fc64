#include "util/utf8.h"

#include <gtest/gtest.h>

TEST(Utf8, OnlyWellFormedTextWithAMultiByteCharacterCounts) {
  const struct {
    const char* text;
    bool utf8;
  } cases[] = {
      {"caf\xc3\xa9", true},
      {"\xe2\x82\xac \xf4\x8f\xbf\xbf", true},  // U+20AC, U+10FFFF
      {"plain ascii", false},
      {"", false},
      {"caf\xe9", false},                // ISO-8859-1
      {"\xc3\xa9\xe9", false},           // one bad byte spoils the whole text
      {"\xc3\xa9\xc3", false},           // cut at the end
      {"\xc0\xa9 \xc3\xa9", false},      // overlong
      {"\xe0\x9f\xbf \xc3\xa9", false},  // overlong three-byte form
      {"\xed\xa0\x80 \xc3\xa9", false},  // surrogate
      {"\xf4\x90\x80\x80", false},       // above U+10FFFF
      {"\xc3\xa9\xa9", false},           // stray continuation byte
  };
  for (const auto& c : cases) EXPECT_EQ(utf8HasMultibyte(c.text), c.utf8) << c.text;
}
