#include "util/str_list.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

using testsupport::TempDir;
using testsupport::makeDirs;
using testsupport::writeFile;

std::vector<std::string> readNames(NameList names) {
  std::vector<std::string> out;
  for (const char* p = names; *p; p += strlen(p) + 1) out.emplace_back(p);
  return out;
}

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

// A tree with every kind of entry the listing must sort or leave out.
struct ListingTree {
  TempDir tmp;
  std::string dir = tmp / "album";
  ListingTree() {
    makeDirs(dir + "/a");
    makeDirs(dir + "/B");
    makeDirs(dir + "/.hiddendir");
    writeFile(dir + "/b.txt", "x");
    writeFile(dir + "/Z.txt", "x");
    writeFile(dir + "/Abc.txt", "x");
    writeFile(dir + "/.hidden", "x");
    writeFile(dir + "/\xE9t\xE9.txt", "x");
    writeFile(dir + "/~tilde", "x");
    EXPECT_EQ(symlink("a", (dir + "/linkdir").c_str()), 0);
    EXPECT_EQ(symlink("b.txt", (dir + "/linkfile").c_str()), 0);
    EXPECT_EQ(symlink("missing", (dir + "/dangling").c_str()), 0);
    EXPECT_EQ(mkfifo((dir + "/fifo").c_str(), 0644), 0);
  }
};

std::vector<std::string> listNames(const std::string& dir, DirListMode mode) {
  char* block = dirList(dir.c_str(), mode);
  EXPECT_NE(block, nullptr);
  if (!block) return {};
  std::vector<std::string> names = readNames(block);
  size_t end = 0;
  for (const std::string& n : names) end += n.size() + 1;
  EXPECT_EQ(block[end + 1], '\0') << "second NUL after the ending empty name";
  free(block);
  return names;
}

TEST(DirList, SubdirectoriesInByteOrderWithoutLinks) {
  ListingTree t;
  const std::vector<std::string> expected = {".", "..", ".hiddendir", "B", "a"};
  EXPECT_EQ(listNames(t.dir, DirListMode::Subdirectories), expected);
}

TEST(DirList, RegularFilesInByteOrderWithoutLinksOrFifos) {
  ListingTree t;
  const std::vector<std::string> expected = {".hidden", "Abc.txt", "Z.txt", "b.txt", "~tilde",
                                             "\xE9t\xE9.txt"};
  EXPECT_EQ(listNames(t.dir, DirListMode::RegularFiles), expected);
}

TEST(DirList, WalkFormAndTrailingSlashListTheSame) {
  ListingTree t;
  const std::vector<std::string> expected = {".hidden", "Abc.txt", "Z.txt", "b.txt", "~tilde",
                                             "\xE9t\xE9.txt"};
  EXPECT_EQ(listNames(t.dir + "/.", DirListMode::RegularFiles), expected);
  EXPECT_EQ(listNames(t.dir + "/./.", DirListMode::RegularFiles), expected);
  EXPECT_EQ(listNames(t.dir + "/", DirListMode::RegularFiles), expected);
}

TEST(DirList, JoinedPathMustLeaveRoomForNulAndDotSuffix) {
  TempDir tmp;
  std::string dir = tmp / std::string(60, 'd');
  makeDirs(dir);
  std::string walkDir = dir + "/.";
  size_t fits = 300 - 3 - walkDir.size();  // name + dir + 3 == 300
  ASSERT_LT(fits, 255u);
  std::string accepted(fits, 'a');
  std::string rejected(fits + 1, 'b');
  writeFile(dir + "/" + accepted, "x");
  writeFile(dir + "/" + rejected, "x");
  EXPECT_EQ(listNames(walkDir, DirListMode::RegularFiles), std::vector<std::string>{accepted});
}

TEST(DirList, UnopenableDirectoryIsReportedAndEmpty) {
  TempDir tmp;
  std::string dir = tmp / "missing/.";
  testing::internal::CaptureStdout();
  char* block = dirList(dir.c_str(), DirListMode::Subdirectories);
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out, "pb scandir " + dir + "\n");
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(block[0], '\0');
  EXPECT_EQ(block[1], '\0');
  free(block);

  std::string file = tmp / "file";
  writeFile(file, "x");
  testing::internal::CaptureStdout();
  EXPECT_TRUE(listNames(file, DirListMode::RegularFiles).empty());
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "pb scandir " + file + "\n");
}

TEST(DirList, UnreadableDirectoryIsReported) {
  if (geteuid() == 0) GTEST_SKIP() << "root reads every directory";
  TempDir tmp;
  std::string dir = tmp / "locked";
  makeDirs(dir);
  chmod(dir.c_str(), 0);
  testing::internal::CaptureStdout();
  EXPECT_TRUE(listNames(dir, DirListMode::RegularFiles).empty());
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "pb scandir " + dir + "\n");
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
