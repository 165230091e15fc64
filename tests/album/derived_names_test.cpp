#include "album/derived_names.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <utime.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "support/test_support.h"

namespace {

using testsupport::TempDir;

TEST(DerivedNames, BuildersReplaceTheExtension) {
  EXPECT_STREQ(pathMicroName("./trip/pic.jpg"), "./trip/pic.vi.jpg");
  EXPECT_STREQ(pathRolloverName("./trip/pic.jpg"), "./trip/pic.vr.jpg");
  EXPECT_STREQ(pathMediumName("./trip/pic.JPG"), "./trip/pic.md.jpg");
  EXPECT_STREQ(pathHtmlName("./trip/pic.gif"), "./trip/pic.html");
  // Only the file name's last dot counts.
  EXPECT_STREQ(pathMicroName("a.b/c"), "a.b/c.vi.jpg");
  EXPECT_STREQ(pathMicroName("x.tar.jpg"), "x.tar.vi.jpg");
}

TEST(DerivedNames, SiblingIsInTheSameDirectory) {
  EXPECT_STREQ(pathSiblingName("./trip/pic.jpg", "quorvelLeft.html"), "./trip/quorvelLeft.html");
  EXPECT_STREQ(pathSiblingName("pic.jpg", "liste.m3u"), "liste.m3u");
}

TEST(DerivedNames, EachBuilderKeepsItsOwnBuffer) {
  const char* micro = pathMicroName("d/p.jpg");
  const char* rollover = pathRolloverName("d/p.jpg");
  const char* medium = pathMediumName("d/p.jpg");
  const char* html = pathHtmlName("d/p.jpg");
  const char* sibling = pathSiblingName("d/p.jpg", "x");
  EXPECT_STREQ(micro, "d/p.vi.jpg");
  EXPECT_STREQ(rollover, "d/p.vr.jpg");
  EXPECT_STREQ(medium, "d/p.md.jpg");
  EXPECT_STREQ(html, "d/p.html");
  EXPECT_STREQ(sibling, "d/x");
}

// Paths of 300 characters or more keep their extension (pathWithoutExt hands
// them back whole), which lets a test reach the 400-character limit.
TEST(DerivedNames, NameOf399CharactersIsBuilt) {
  std::string path(392, 'a');
  EXPECT_EQ(std::string(pathMicroName(path.c_str())), path + ".vi.jpg");
  std::string dir(290, 'd');
  std::string name(108, 'n');
  EXPECT_EQ(std::string(pathSiblingName((dir + "/p.jpg").c_str(), name.c_str())),
            dir + "/" + name);
}

TEST(DerivedNamesDeathTest, NameOf400CharactersEndsTheRun) {
  std::string path(393, 'a');
  EXPECT_EXIT(pathMicroName(path.c_str()), testing::ExitedWithCode(1),
              "\\*\\*\\*\\* ERROR quorvel : path too long \"a+\"");
  EXPECT_EXIT(pathRolloverName(path.c_str()), testing::ExitedWithCode(1), "path too long");
  EXPECT_EXIT(pathMediumName(path.c_str()), testing::ExitedWithCode(1), "path too long");
  std::string htmlPath(395, 'a');
  EXPECT_EXIT(pathHtmlName(htmlPath.c_str()), testing::ExitedWithCode(1), "path too long");
  std::string dir(290, 'd');
  std::string name(109, 'n');
  EXPECT_EXIT(pathSiblingName((dir + "/p.jpg").c_str(), name.c_str()),
              testing::ExitedWithCode(1), "path too long \"d+/p.jpg\"");
}

TEST(DerivedNames, SiblingSplitsAtSlashOnlyAsTheWalkJoinsWithSlash) {
  EXPECT_STREQ(pathSiblingName("d/10:30.jpg", "x.html"), "d/x.html");
  EXPECT_STREQ(pathSiblingName("d/a\\b.jpg", "x.html"), "d/x.html");
  EXPECT_STREQ(pathSiblingName("p.jpg", "x.html"), "x.html");
  EXPECT_STREQ(pathMicroName("d/10:30.jpg"), "d/10:30.vi.jpg");
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

}  // namespace
