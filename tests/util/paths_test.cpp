#include "util/paths.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

namespace {

TEST(PathFileName, TakesTextAfterLastSeparatorOfAnyKind) {
  EXPECT_STREQ(pathFileName("dir/sub/"), "");
  EXPECT_STREQ(pathFileName("C:pic.jpg"), "pic.jpg");
  EXPECT_STREQ(pathFileName("pic.jpg"), "pic.jpg");
  EXPECT_STREQ(pathFileName("a\\b/c\\d.gif"), "d.gif");
  EXPECT_STREQ(pathFileName(""), "");
  const char* path = "x/y";
  EXPECT_EQ(pathFileName(path), path + 2);  // points into the argument
}

TEST(PathWithoutExt, CutsAtLastDotOfFileNameOnly) {
  EXPECT_STREQ(pathWithoutExt("x.tar.gz"), "x.tar");
  EXPECT_STREQ(pathWithoutExt("a.b/c"), "a.b/c");
  EXPECT_STREQ(pathWithoutExt("a/.hidden"), "a/");
  EXPECT_STREQ(pathWithoutExt("d:e.f\\g.jpg"), "d:e.f\\g");
  EXPECT_STREQ(pathWithoutExt("a.b\\c"), "a.b\\c");
}

TEST(PathWithoutExt, OverlongPathIsReturnedItself) {
  std::string longest(299, 'a');
  longest[295] = '.';
  EXPECT_EQ(std::string(pathWithoutExt(longest.c_str())), std::string(295, 'a'));

  std::string overlong(300, 'a');
  overlong[296] = '.';
  EXPECT_EQ(pathWithoutExt(overlong.c_str()), overlong.c_str());
}

TEST(PathWithoutFile, KeepsDirectoryWithItsSeparator) {
  EXPECT_STREQ(pathWithoutFile("pic.jpg"), "");
  EXPECT_STREQ(pathWithoutFile("a/b/c.jpg"), "a/b/");
  EXPECT_STREQ(pathWithoutFile("C:pic.jpg"), "C:");
  EXPECT_STREQ(pathWithoutFile("a\\b"), "a\\");
}

TEST(PathWithoutFile, OverlongPathGivesNull) {
  std::string longest = std::string(290, 'd') + "/file.jpg";  // 299
  EXPECT_EQ(std::string(pathWithoutFile(longest.c_str())), std::string(290, 'd') + "/");
  EXPECT_EQ(pathWithoutFile((longest + "x").c_str()), nullptr);
}

TEST(StrAffix, PrefixAndSuffixRules) {
  EXPECT_TRUE(strStartsWith("-mw:200", "-mw:"));
  EXPECT_FALSE(strStartsWith("-m", "-mw:"));
  EXPECT_TRUE(strStartsWith("", ""));
  EXPECT_FALSE(strStartsWith(nullptr, ""));
  EXPECT_TRUE(strEndsWith("a.md.jpg", ".md.jpg"));
  EXPECT_FALSE(strEndsWith("PIC.JPG", ".jpg"));
  EXPECT_FALSE(strEndsWith("jpg", ".jpg"));
  EXPECT_TRUE(strEndsWith("x", ""));
  EXPECT_FALSE(strEndsWith(nullptr, ""));
  EXPECT_TRUE(strEndsWithNoCase("PIC.JPG", ".jpg"));
  EXPECT_TRUE(strEndsWithNoCase("a.Mp3", ".MP3"));
  EXPECT_FALSE(strEndsWithNoCase("pg", ".jpg"));
  EXPECT_FALSE(strEndsWithNoCase(nullptr, ".jpg"));
  // Only ASCII letters fold: bytes from 0xC0 are distinct.
  EXPECT_FALSE(strEndsWithNoCase("x\xC9", "\xE9"));
}

struct MatchCase {
  const char* pattern;
  const char* name;
  bool matches;
};

TEST(PathMatch, WildcardTable) {
  const MatchCase cases[] = {
      {"*", "", true},
      {"*", "anything/at/all", true},
      {"", "", true},
      {"", "a", false},
      {"a*", "a", true},
      {"a?", "a", false},
      {"a?", "ab", true},
      {"x**", "x", false},
      {"x**", "xy", true},
      {"**", "", false},
      {"x***", "xy", true},
      {"*.JPG", "p.jpg", false},
      {"*.jpg", "p.jpg", true},
      {"*.jpg", "p.jpg.txt", false},
      {"tmp/*", "tmp/a.zip", true},
      {"tmp/*", "a/tmp/x", false},
      {"*b*", "abc", true},
      {"*b", "abcb", true},
      {"a*b*c", "aXbYbZc", true},
      {"a*b*c", "aXbYbZ", false},
      {"*a*a", "aa", true},
      {"*a*a", "a", false},
      {"*a**", "a", false},
      {"*a**", "ab", true},
      {"?", "", false},
      {"???", "abc", true},
      {"\xE9*", "\xE9t\xE9", true},
  };
  for (const MatchCase& c : cases) {
    EXPECT_EQ(pathMatch(c.pattern, c.name), c.matches)
        << "pattern '" << c.pattern << "' name '" << c.name << "'";
  }
}

// The rule as a plain recursion, for comparison on every short input.
bool referenceMatch(const char* p, const char* n) {
  while (*p && *p != '*') {
    if (!*n || (*p != '?' && *p != *n)) return false;
    ++p;
    ++n;
  }
  if (!*p) return !*n;
  ++p;
  if (!*p) return true;
  for (; *n; ++n) {
    if (referenceMatch(p, n)) return true;
  }
  return false;
}

void forEachString(const std::string& alphabet, size_t maxLen, std::string& s,
                   const std::function<void(const std::string&)>& visit) {
  visit(s);
  if (s.size() == maxLen) return;
  for (char c : alphabet) {
    s.push_back(c);
    forEachString(alphabet, maxLen, s, visit);
    s.pop_back();
  }
}

TEST(PathMatch, AgreesWithPlainRecursionOnAllShortInputs) {
  std::string pattern, name;
  int mismatches = 0;
  forEachString("ab*?", 6, pattern, [&](const std::string& p) {
    forEachString("ab", 5, name, [&](const std::string& n) {
      if (pathMatch(p.c_str(), n.c_str()) != referenceMatch(p.c_str(), n.c_str()) &&
          ++mismatches <= 5) {
        ADD_FAILURE() << "pattern '" << p << "' name '" << n << "'";
      }
    });
  });
  EXPECT_EQ(mismatches, 0);
}

TEST(PathMatch, ManyStarsStayFast) {
  std::string pattern;
  for (int i = 0; i < 60; ++i) pattern += "*a";
  pattern += "*b";
  EXPECT_FALSE(pathMatch(pattern.c_str(), std::string(299, 'a').c_str()));
}

TEST(PathFilterForm, TurnsBackslashesAndControlBytes) {
  EXPECT_STREQ(pathFilterForm("a\\b\\c.jpg"), "a/b/c.jpg");
  EXPECT_STREQ(pathFilterForm("a\tb\x1f" "c"), "a*b*c");
  EXPECT_STREQ(pathFilterForm("\x7f\xe9"), "\x7f\xe9");
}

TEST(PathFilterForm, LongPathIsGivenBackItself) {
  std::string fits = std::string(298, 'a') + "\\";  // 299 characters
  EXPECT_EQ(std::string(pathFilterForm(fits.c_str())), std::string(298, 'a') + "/");

  std::string tooLong = std::string(299, 'a') + "\\";  // 300 characters
  EXPECT_EQ(pathFilterForm(tooLong.c_str()), tooLong.c_str());
}

TEST(PathDepth, CountsBothSeparators) {
  EXPECT_EQ(pathDepth("pic.jpg"), 0);
  EXPECT_EQ(pathDepth("a/b\\c"), 2);
  EXPECT_EQ(pathDepth("sub/"), 1);
  EXPECT_EQ(pathDepth(""), 0);
}

TEST(StrConcatBounded, JoinsIntoSeparateBuffer) {
  char buf[400] = "old";
  EXPECT_EQ(strConcatBounded(buf, "pic", ".vi.jpg"), buf);
  EXPECT_STREQ(buf, "pic.vi.jpg");
  EXPECT_EQ(strConcatBounded(buf, "", ""), buf);
  EXPECT_STREQ(buf, "");
}

TEST(StrConcatBounded, BufferAsSecondTextGetsFirstInFront) {
  char buf[400] = "world";
  EXPECT_STREQ(strConcatBounded(buf, "hello ", buf), "hello world");
  EXPECT_STREQ(buf, "hello world");
}

TEST(StrConcatBounded, BufferAsBothTextsIsDoubled) {
  char buf[400] = "abc";
  EXPECT_STREQ(strConcatBounded(buf, buf, buf), "abcabc");
}

TEST(StrConcatBounded, BufferAsFirstTextGetsSecondAppended) {
  char buf[400] = "pic";
  EXPECT_STREQ(strConcatBounded(buf, buf, ".html"), "pic.html");
}

TEST(StrConcatBounded, LimitIs399Characters) {
  char buf[400];
  std::string first(200, 'f');
  std::string second(199, 's');
  ASSERT_EQ(strConcatBounded(buf, first.c_str(), second.c_str()), buf);
  EXPECT_EQ(strlen(buf), 399u);

  strcpy(buf, "keep");
  std::string longer(200, 's');
  char* result = strConcatBounded(buf, first.c_str(), longer.c_str());
  EXPECT_NE(result, buf);
  EXPECT_STREQ(result, "");
  EXPECT_STREQ(buf, "keep");

  // The aliased forms refuse the same way, leaving the text whole.
  std::string half(200, 'h');
  strcpy(buf, half.c_str());
  EXPECT_STREQ(strConcatBounded(buf, buf, buf), "");
  EXPECT_EQ(std::string(buf), half);
}

TEST(PathSiblingName, IsInTheSameDirectory) {
  EXPECT_STREQ(pathSiblingName("./trip/pic.jpg", "quorvelLeft.html"), "./trip/quorvelLeft.html");
  EXPECT_STREQ(pathSiblingName("pic.jpg", "liste.m3u"), "liste.m3u");
}

TEST(PathSiblingName, SplitsAtSlashOnlyAsTheWalkJoinsWithSlash) {
  EXPECT_STREQ(pathSiblingName("d/10:30.jpg", "x.html"), "d/x.html");
  EXPECT_STREQ(pathSiblingName("d/a\\b.jpg", "x.html"), "d/x.html");
  EXPECT_STREQ(pathSiblingName("p.jpg", "x.html"), "x.html");
}

TEST(PathSiblingName, NameOf400CharactersGivesNull) {
  std::string dir(290, 'd');
  EXPECT_EQ(std::string(pathSiblingName((dir + "/p.jpg").c_str(), std::string(108, 'n').c_str())),
            dir + "/" + std::string(108, 'n'));
  EXPECT_EQ(pathSiblingName((dir + "/p.jpg").c_str(), std::string(109, 'n').c_str()), nullptr);
}

TEST(PathSlashes, TurnsBackslashesIntoSlashes) {
  EXPECT_STREQ("a/b/c/", pathSlashes("a\\b/c\\"));
  EXPECT_STREQ("", pathSlashes(""));
  const std::string longest(399, '\\');
  EXPECT_EQ(std::string(399, '/'), pathSlashes(longest.c_str()));
  const std::string tooLong(400, '\\');
  EXPECT_EQ(tooLong.c_str(), pathSlashes(tooLong.c_str()));
}

}  // namespace
