#include "util/str_list.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

using testsupport::readNames;

// Owns a list made the way the walk makes it.
struct ListFixture {
  StrList* list = strListNew(malloc);
  ListFixture() { strListInit(list); }
  ~ListFixture() {
    strListRelease(free, list);
    free(list);
  }
};

TEST(StrList, EmptyListReadsEmptyAndPacksToOneByte) {
  ListFixture f;
  EXPECT_STREQ(strListNames(f.list), "");
  strListPack(f.list);
  EXPECT_EQ(f.list->capacity, 1);
  EXPECT_EQ(f.list->used, 0);
  ASSERT_NE(strListData(f.list), nullptr);
  EXPECT_EQ(strListData(f.list)[0], '\0');
}

TEST(StrList, GrowsOnlyWhenNameAndEndingNulDoNotFit) {
  ListFixture fits;
  strListAdd(fits.list, std::string(62, 'a').c_str());
  EXPECT_EQ(fits.list->capacity, 64);
  EXPECT_EQ(fits.list->used, 63);

  ListFixture grows;
  strListAdd(grows.list, std::string(63, 'a').c_str());
  EXPECT_EQ(grows.list->capacity, 128);

  ListFixture doublesTwice;
  strListAdd(doublesTwice.list, std::string(200, 'a').c_str());
  EXPECT_EQ(doublesTwice.list->capacity, 256);
  EXPECT_EQ(readNames(strListNames(doublesTwice.list)), std::vector<std::string>{std::string(200, 'a')});
}

TEST(StrList, KeepsNamesInOrderAcrossGrowthAndPacking) {
  ListFixture f;
  std::vector<std::string> expected;
  for (int i = 0; i < 40; ++i) {
    expected.push_back("name" + std::to_string(i));
    strListAdd(f.list, expected.back().c_str());
  }
  strListPack(f.list);
  EXPECT_EQ(f.list->capacity, f.list->used + 1);
  EXPECT_EQ(readNames(strListNames(f.list)), expected);
}

TEST(StrList, GrowthAfterPackDoublesFromPackedSize) {
  ListFixture f;
  strListAdd(f.list, "abc");
  strListPack(f.list);
  EXPECT_EQ(f.list->capacity, 5);
  strListAdd(f.list, "de");  // needs 4, has 1: 5 -> 10
  EXPECT_EQ(f.list->capacity, 10);
  EXPECT_EQ(readNames(strListNames(f.list)), (std::vector<std::string>{"abc", "de"}));
}

TEST(StrList, EmptyNameEndsTheListForReaders) {
  ListFixture f;
  strListAdd(f.list, "a");
  strListAdd(f.list, "");
  strListAdd(f.list, "b");
  EXPECT_EQ(f.list->used, 5);
  EXPECT_EQ(readNames(strListNames(f.list)), std::vector<std::string>{"a"});
}

TEST(StrList, AbsentListOrStorageIsHarmless) {
  EXPECT_EQ(strListNew([](size_t) -> void* { return nullptr; }), nullptr);
  strListInit(nullptr);
  strListAdd(nullptr, "a");
  strListPack(nullptr);
  strListRelease(free, nullptr);
  EXPECT_EQ(strListData(nullptr), nullptr);
  EXPECT_STREQ(strListNames(nullptr), "");

  ListFixture f;
  strListAdd(f.list, nullptr);
  EXPECT_EQ(f.list->used, 0);
  strListRelease(free, f.list);
  EXPECT_EQ(strListData(f.list), nullptr);
  strListAdd(f.list, "a");  // dead: stays dead
  EXPECT_EQ(strListData(f.list), nullptr);
  EXPECT_STREQ(strListNames(f.list), "");
}

TEST(StrList, CapacityBeyondIntRangeKillsList) {
  StrList list;
  list.storage = static_cast<char*>(malloc(4));
  list.capacity = INT_MAX / 2 + 1;
  list.used = list.capacity - 1;
  strListAdd(&list, "ab");
  EXPECT_EQ(strListData(&list), nullptr);
}

struct SplitCase {
  const char* text;
  char sep;
  std::vector<std::string> pieces;
};

TEST(StrSplit, KeepsEmptyPieces) {
  const SplitCase cases[] = {
      {"/a/b", '/', {"", "a", "b"}},
      {"", '/', {""}},
      {"a//b/", '/', {"a", "", "b", ""}},
      {"abc", ',', {"abc"}},
  };
  for (const SplitCase& c : cases) {
    std::string text = c.text;
    char** pieces = strSplit(malloc, text.data(), c.sep);
    ASSERT_NE(pieces, nullptr);
    std::vector<std::string> got;
    for (char** p = pieces; *p; ++p) got.emplace_back(*p);
    EXPECT_EQ(got, c.pieces) << "text '" << c.text << "'";
    EXPECT_EQ(strSplitCount(pieces), static_cast<int>(c.pieces.size()));
    free(pieces);
  }
}

TEST(StrSplit, AbsentTextOrFailedAllocationGivesNull) {
  EXPECT_EQ(strSplit(malloc, nullptr, '/'), nullptr);
  char text[] = "a/b";
  EXPECT_EQ(strSplit([](size_t) -> void* { return nullptr; }, text, '/'), nullptr);
  EXPECT_EQ(strSplitCount(nullptr), 0);
  char* onlyNull[] = {nullptr};
  EXPECT_EQ(strSplitCount(onlyNull), 0);
}

}  // namespace
