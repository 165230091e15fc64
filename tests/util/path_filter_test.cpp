#include "util/path_filter.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct FilterCase {
  const char* expr;
  const char* path;
  bool matches;
};

void expectTable(const FilterCase* cases, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    EXPECT_EQ(pathExprMatch(cases[i].expr, cases[i].path), cases[i].matches)
        << "expr '" << cases[i].expr << "' path '" << cases[i].path << "'";
  }
}

TEST(PathFilter, OperatorsAndPrecedence) {
  const FilterCase cases[] = {
      {"(*.zip|*.tgz)&!tmp/*", "a.zip", true},
      {"(*.zip|*.tgz)&!tmp/*", "x/b.tgz", true},
      {"(*.zip|*.tgz)&!tmp/*", "tmp/a.zip", false},
      {"(*.zip|*.tgz)&!tmp/*", "b.tgz/c", false},
      {"!!x", "x", true},
      {"!!x", "y", false},
      {"!!!x", "x", false},
      {"!a&b", "b", true},   // (not a) and b
      {"!a&b", "a", false},
      {"!(a&b)", "a", true},
      {"a|b&c", "a", true},  // a or (b and c)
      {"a|b&c", "b", false},
      {"(a|b)&c", "a", false},
      {"a&a|b", "b", true},
      {"*", "any/path", true},
      {"*", "", true},
      {"", "root", false},
      {"", "", true},
      {"(", "root", false},
      {"!", "root", true},
      {"!", "", false},
      {"((a))", "a", true},
  };
  expectTable(cases, std::size(cases));
}

TEST(PathFilter, BlanksBelongToPatterns) {
  const FilterCase cases[] = {
      {"a | b", "a ", true},
      {"a | b", " b", true},
      {"a | b", "a", false},
      {"a | b", "b", false},
  };
  expectTable(cases, std::size(cases));
}

TEST(PathFilter, MalformedExpressionsAnswerWithoutError) {
  const FilterCase cases[] = {
      {"x|(y", "x", true},   // the open group is false, x alone decides
      {"x|(y", "y", false},
      {"(x)y", "x", false},  // leftovers
      {"(x)y", "xy", false},
      {"x)", "x", false},
      {"x)", "x)", false},
      {"x&", "x", false},    // empty pattern after '&' matches only ""
      {"x|", "x", true},
      {"|", "", true},
      {")", "", false},
  };
  expectTable(cases, std::size(cases));
}

TEST(PathFilter, EscapesKeepOperatorsInPatternButNeverMatchNormalisedPaths) {
  const FilterCase cases[] = {
      {"a\\(b", "a(b", false},    // the pair stays literal, backslash included
      {"a\\(b", "a\\(b", true},
      {"a\\tb", "a\tb", true},    // decodes to a tab
      {"a\\tb", "a*b", false},
      {"a\\x41b", "aAb", true},
      {"a\\\\b", "a\\b", true},
      {"a\\|b", "a\\|b", true},   // escaped '|' is not an operator
      {"ab\\", "ab", true},       // a trailing lone backslash is dropped
      {"\\", "", true},
  };
  expectTable(cases, std::size(cases));
}

TEST(PathFilter, PatternIsCutTo299Characters) {
  std::string path299(299, 'p');
  std::string expr(400, 'p');
  EXPECT_TRUE(pathExprMatch(expr.c_str(), path299.c_str()));
  EXPECT_FALSE(pathExprMatch(expr.c_str(), (path299 + "p").c_str()));
  // The cut applies to each pattern: the one after '|' is read afresh.
  EXPECT_TRUE(pathExprMatch((expr + "|q").c_str(), "q"));
}

TEST(PathFilter, EscapePairIsStoredWholeOrNotAtAll) {
  // 298 characters leave one place: the pair is dropped, the 'z' fills it.
  std::string expr = std::string(298, 'p') + "\\tz";
  EXPECT_TRUE(pathExprMatch(expr.c_str(), (std::string(298, 'p') + "z").c_str()));
  // 297 leave two: the pair fits, 'z' is dropped.
  expr = std::string(297, 'p') + "\\\\z";
  EXPECT_TRUE(pathExprMatch(expr.c_str(), (std::string(297, 'p') + "\\").c_str()));
}

TEST(PathFilter, DeepNestingIsFalseNotACrash) {
  std::string deep = std::string(100000, '(') + "a" + std::string(100000, ')');
  EXPECT_FALSE(pathExprMatch(deep.c_str(), "a"));
  std::string shallow = std::string(100, '(') + "a" + std::string(100, ')');
  EXPECT_TRUE(pathExprMatch(shallow.c_str(), "a"));
  std::string nots = std::string(100000, '!') + "a";
  EXPECT_TRUE(pathExprMatch(nots.c_str(), "a"));
}

TEST(StrUnescape, DecodesKnownPairsInPlace) {
  char text[] = "\\\\\\a\\b\\t\\n\\v\\r\\x4a\\x4B|";
  EXPECT_EQ(strUnescape(text), text);
  EXPECT_STREQ(text, "\\\a\b\t\n\v\rJK|");
}

TEST(StrUnescape, LeavesUnknownAndShortPairsAlone) {
  char unknown[] = "\\q\\(";
  EXPECT_STREQ(strUnescape(unknown), "\\q\\(");
  char shortHex[] = "\\x4";
  EXPECT_STREQ(strUnescape(shortHex), "\\x4");
  char notHex[] = "\\xg1\\x";
  EXPECT_STREQ(strUnescape(notHex), "\\xg1\\x");
  // A decoded backslash does not pair with the character after it.
  char resumed[] = "\\y\\\\t";
  EXPECT_STREQ(strUnescape(resumed), "\\y\\t");
  char lone[] = "a\\";
  EXPECT_STREQ(strUnescape(lone), "a\\");
}

}  // namespace
