#include "util/files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/limits.h"
#include "support/test_support.h"
#include "util/file_handle.h"

namespace {

using testsupport::TempDir;
using testsupport::readNames;
using testsupport::makeDirs;
using testsupport::writeFile;

// Runs a test body with the local time zone set to UTC.
class FileDate : public testing::Test {
 protected:
  void SetUp() override {
    const char* tz = getenv("TZ");
    hadTz_ = tz != nullptr;
    if (hadTz_) oldTz_ = tz;
    setenv("TZ", "UTC", 1);
    tzset();
  }
  void TearDown() override {
    if (hadTz_)
      setenv("TZ", oldTz_.c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
  }
  TempDir dir_;

 private:
  bool hadTz_ = false;
  std::string oldTz_;
};

TEST_F(FileDate, MissingFileIsZeroAndLeavesOutParameters) {
  int year = -1, month = -1, day = -1, hour = -1, minute = -1, second = -1;
  long long size = -1;
  EXPECT_EQ(fileDate((dir_ / "none.jpg").c_str(), &year, &month, &day, &hour, &minute, &second,
                     &size),
            0);
  EXPECT_EQ(year, -1);
  EXPECT_EQ(month, -1);
  EXPECT_EQ(second, -1);
  EXPECT_EQ(size, -1);
}

TEST_F(FileDate, GivesModificationTimeAndItsLocalParts) {
  std::string path = dir_ / "p.jpg";
  testsupport::writeFile(path, "12345");
  struct utimbuf times;
  times.actime = times.modtime = 1118051435;  // 2005-06-06 09:50:35 UTC
  ASSERT_EQ(utime(path.c_str(), &times), 0);

  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  long long size = 0;
  EXPECT_EQ(fileDate(path.c_str(), &year, &month, &day, &hour, &minute, &second, &size),
            1118051435);
  EXPECT_EQ(year, 2005);
  EXPECT_EQ(month, 6);
  EXPECT_EQ(day, 6);
  EXPECT_EQ(hour, 9);
  EXPECT_EQ(minute, 50);
  EXPECT_EQ(second, 35);
  EXPECT_EQ(size, 5);
  EXPECT_EQ(fileDate(path.c_str()), 1118051435);
}

TEST_F(FileDate, FollowsSymbolicLinks) {
  std::string path = dir_ / "p.jpg";
  testsupport::writeFile(path, "x");
  struct utimbuf times;
  times.actime = times.modtime = 1000000000;
  ASSERT_EQ(utime(path.c_str(), &times), 0);
  ASSERT_EQ(symlink(path.c_str(), (dir_ / "link.jpg").c_str()), 0);
  ASSERT_EQ(symlink((dir_ / "gone").c_str(), (dir_ / "dangling.jpg").c_str()), 0);
  EXPECT_EQ(fileDate((dir_ / "link.jpg").c_str()), 1000000000);
  EXPECT_EQ(fileDate((dir_ / "dangling.jpg").c_str()), 0);
}

TEST(FileSize, ReportsBytesAndZeroWhenMissing) {
  testsupport::TempDir dir;
  testsupport::writeFile(dir / "f.mp3", std::string(1234, 'x'));
  EXPECT_EQ(fileSize((dir / "f.mp3").c_str()), 1234);
  EXPECT_EQ(fileSize((dir / "missing.mp3").c_str()), 0);

  // 3 GiB without writing it: a sparse file.
  const std::string big = dir / "big.mp3";
  const int fd = open(big.c_str(), O_CREAT | O_WRONLY, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(ftruncate(fd, 3221225472LL), 0);
  close(fd);
  EXPECT_EQ(fileSize(big.c_str()), 3221225472LL);
}

class FileLoad : public ::testing::Test {
 protected:
  testsupport::TempDir dir;
  std::string prefix() const { return dir.path() + "/"; }
};

TEST_F(FileLoad, LoadsWholeTextUpToCtrlZ) {
  testsupport::writeFile(dir / "a.txt", std::string("abc\x1a" "def", 7));
  char* text = fileLoadIn(malloc, prefix().c_str(), "a.txt");
  ASSERT_NE(text, nullptr);
  EXPECT_STREQ(text, "abc");
  free(text);

  testsupport::writeFile(dir / "b.txt", "<t>x</t>\n");
  text = fileLoad(malloc, (dir / "b.txt").c_str());
  ASSERT_NE(text, nullptr);
  EXPECT_STREQ(text, "<t>x</t>\n");
  free(text);
}

TEST_F(FileLoad, EmptyOrMissingFileGivesNone) {
  testsupport::writeFile(dir / "empty.txt", "");
  EXPECT_EQ(fileLoadIn(malloc, prefix().c_str(), "empty.txt"), nullptr);
  EXPECT_EQ(fileLoadIn(malloc, prefix().c_str(), "missing.txt"), nullptr);
}

TEST_F(FileLoad, FailedAllocationGivesNone) {
  testsupport::writeFile(dir / "a.txt", "abc");
  EXPECT_EQ(fileLoadIn(+[](size_t) -> void* { return nullptr; }, prefix().c_str(), "a.txt"),
            nullptr);
}

// A FIFO would block the open (and the run) for ever; a directory would
// measure as LLONG_MAX bytes.
TEST_F(FileLoad, NoRegularFileGivesNoneWithoutBlockingOrAllocating) {
  ASSERT_EQ(mkfifo((dir / "fifo.txt").c_str(), 0644), 0);
  makeDirs(dir / "dir.txt");
  static size_t asked;
  asked = 0;
  auto counting = +[](size_t n) -> void* {
    asked += n;
    return malloc(n);
  };
  EXPECT_EQ(fileLoadIn(counting, prefix().c_str(), "fifo.txt"), nullptr);
  EXPECT_EQ(fileLoadIn(counting, prefix().c_str(), "dir.txt"), nullptr);
  EXPECT_EQ(asked, 0u);
}

TEST_F(FileLoad, HugeFileLoadsOnlyItsFirstMebibyte) {
  const std::string huge = dir / "huge.txt";
  writeFile(huge, "<t>big</t>");
  ASSERT_EQ(truncate(huge.c_str(), 1LL << 30), 0);  // sparse: costs no disk
  static size_t asked;
  auto counting = +[](size_t n) -> void* {
    asked = n;
    return malloc(n);
  };
  char* text = fileLoad(counting, huge.c_str());
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(asked, kTextFileLimit + 1);
  EXPECT_STREQ(text, "<t>big</t>");  // the zero bytes after it end the text
  free(text);
}

TEST_F(FileLoad, OpensOnlyPathsUpTo299Characters) {
  // "./" steps and a doubled leading '/' pad the directory to exact lengths
  // while it still names the same place.
  const std::string name = "n.txt";
  testsupport::writeFile(prefix() + name, "x");
  std::string dir299 = prefix();
  while (dir299.size() + name.size() < 298) dir299 += "./";
  if (dir299.size() + name.size() == 298) dir299 = "/" + dir299;
  ASSERT_EQ(dir299.size() + name.size(), 299u);

  FileHandle f(fileOpenIn(dir299.c_str(), name.c_str(), "rt"));
  EXPECT_NE(f, nullptr);
  FileHandle g(fileOpenIn(("/" + dir299).c_str(), name.c_str(), "rt"));
  EXPECT_EQ(g, nullptr);
  FileHandle h(fileOpenIn(nullptr, (prefix() + name).c_str(), "rt"));
  EXPECT_NE(h, nullptr);
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

// What the walk can't take it says itself: the listing leaves nothing out.
TEST(DirList, ListsNamesPastThePathBuffer) {
  TempDir tmp;
  std::string dir = tmp / std::string(60, 'd');
  makeDirs(dir);
  std::string walkDir = dir + "/.";
  std::string longName(300 - walkDir.size(), 'b');
  writeFile(dir + "/" + longName, "x");
  writeFile(dir + "/a", "x");
  EXPECT_EQ(listNames(walkDir, DirListMode::RegularFiles), (std::vector<std::string>{"a", longName}));
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

}  // namespace
