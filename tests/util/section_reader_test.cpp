#include "util/section_reader.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "support/test_support.h"
#include "util/file_handle.h"

namespace {

// Every section of name in text, read into buffers of size bytes.
std::vector<std::string> sections(const char* text, const char* name, bool plain = false,
                                  int size = 200) {
  UxmlCursor cursor;
  uxmlInit(&cursor, text, name);
  std::vector<std::string> found;
  std::vector<char> dest(size);
  while (uxmlNext(&cursor, dest.data(), size, plain)) {
    found.emplace_back(dest.data());
    if (found.size() > 20) break;  // a cursor that never ends
  }
  return found;
}

std::string plainCopy(const char* src) {
  char dest[200];
  uxmlCopy(dest, sizeof dest, src, static_cast<int>(strlen(src)), true);
  return dest;
}

std::string join(const char* text, const char* name, int size, bool plain = false) {
  UxmlCursor cursor;
  std::vector<char> dest(size + 2, '#');
  dest[size + 1] = '\0';
  uxmlJoin(&cursor, dest.data(), size, text, name, " - ", plain);
  EXPECT_EQ(dest[size], '#') << "wrote past the destination";
  return dest.data();
}

using Sections = std::vector<std::string>;

}  // namespace

TEST(UxmlNext, EmptyNameGivesWholeTextOnce) {
  EXPECT_EQ(sections("a<t>b</t>", ""), Sections{"a<t>b</t>"});
  EXPECT_EQ(sections("a<t>b</t>", nullptr, true), Sections{"ab"});
}

TEST(UxmlNext, NameOf29CharactersIsRefused) {
  std::string name28(28, 'n');
  std::string text28 = "<" + name28 + ">x</" + name28 + ">";
  EXPECT_EQ(sections(text28.c_str(), name28.c_str()), Sections{"x"});

  std::string name29(29, 'n');
  std::string text29 = "<" + name29 + ">x</" + name29 + ">";
  EXPECT_EQ(sections(text29.c_str(), name29.c_str()), Sections{});
}

TEST(UxmlNext, MatchesTagsExactlyAndNeedsTheCloseTag) {
  EXPECT_EQ(sections("<a>x</a>", "a"), Sections{"x"});
  EXPECT_EQ(sections("<A>x</A>", "a"), Sections{});
  EXPECT_EQ(sections("<a>x", "a"), Sections{});
  EXPECT_EQ(sections("<a>x</a", "a"), Sections{});  // close tag cut by the end
  EXPECT_EQ(sections("<ab>x</ab><a></a>", "a"), Sections{""});
  EXPECT_EQ(sections("<a>1</a> <a>2</a>", "a"), (Sections{"1", "2"}));
}

TEST(UxmlNext, NestedSectionsComeOutInOrderOfTheirOpenTags) {
  EXPECT_EQ(sections("<a>1<a>2</a>3</a>", "a"), (Sections{"1<a>2</a>3", "2"}));
  EXPECT_EQ(sections("<a>1<a>2</a>3</a>", "a", true), (Sections{"123", "2"}));
  EXPECT_EQ(sections("<t>a<t>b</t>c</t><t>d</t>", "t"), (Sections{"a<t>b</t>c", "b", "d"}));
}

TEST(UxmlNext, CutsToDestinationSize) {
  EXPECT_EQ(sections("<a>abcdefgh</a>", "a", false, 5), Sections{"abcd"});
  EXPECT_EQ(sections("<a>abcdefgh</a>", "a", true, 5), Sections{"abcd"});
  EXPECT_EQ(sections("<a>abc</a>", "a", false, 1), Sections{""});
}

TEST(UxmlCopy, PlainDropsTagsAndDecodesThreeEntities) {
  EXPECT_EQ(plainCopy("&lt;b&gt; &amp;amp; &eacute;"), "<b> &amp; &eacute;");
  EXPECT_EQ(plainCopy("a<b>c</b>d"), "acd");
  EXPECT_EQ(plainCopy("a > b"), "a > b");
  EXPECT_EQ(plainCopy("a<!-- 1 > 2 -->b"), "a 2 -->b");  // a comment ends at its first '>'
  EXPECT_EQ(plainCopy("a<b c"), "a");               // an open tag swallows the rest
  EXPECT_EQ(plainCopy("&lt"), "&lt");
}

TEST(UxmlCopy, PlainStopsAtTheGivenLength) {
  char dest[20];
  uxmlCopy(dest, sizeof dest, "ab&amp;cd", 4, true);  // the entity crosses the end
  EXPECT_STREQ(dest, "ab&a");
}

TEST(UxmlCopy, NotPlainStopsAtLengthSizeOrZeroByte) {
  char dest[5];
  uxmlCopy(dest, sizeof dest, "abcdefgh", 8, false);
  EXPECT_STREQ(dest, "abcd");
  uxmlCopy(dest, sizeof dest, "abcdefgh", 2, false);
  EXPECT_STREQ(dest, "ab");
  uxmlCopy(dest, sizeof dest, "a\0bcd", 5, false);
  EXPECT_STREQ(dest, "a");
}

TEST(UxmlCopy, SizeZeroWritesNothing) {
  char dest[2] = {'#', '#'};
  uxmlCopy(dest, 0, "abc", 3, false);
  EXPECT_EQ(dest[0], '#');
  uxmlCopy(dest, 1, "abc", 3, true);
  EXPECT_EQ(dest[0], '\0');
  EXPECT_EQ(dest[1], '#');
}

TEST(UxmlJoin, JoinsWithSeparatorAndCutsAtRoom) {
  const char* text = "<t>ab</t><t>cd</t><t>ef</t>";
  EXPECT_EQ(join(text, "t", 200), "ab - cd - ef");
  EXPECT_EQ(join(text, "t", 10), "ab - cd");
  EXPECT_EQ(join(text, "t", 6), "ab - ");  // room 1 after the separator: an empty copy
  EXPECT_EQ(join(text, "t", 5), "ab");
  EXPECT_EQ(join(text, "t", 2), "a");
  EXPECT_EQ(join(text, "x", 200), "");
  EXPECT_EQ(join("<t>a<b>c</b></t> <t>d</t>", "t", 200, true), "ac - d");
  EXPECT_EQ(join("title", "", 200, true), "title");
}

TEST(UxmlJoin, SizeZeroWritesNothing) {
  EXPECT_EQ(join("<t>ab</t>", "t", 0), "#");  // the helper's guard byte, untouched
}
