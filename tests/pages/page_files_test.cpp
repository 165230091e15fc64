#include "pages/page_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "support/test_support.h"

namespace {

TEST(PageFilesDeathTest, NameOf400CharactersEndsTheRun) {
  std::string dir(290, 'd');
  EXPECT_EQ(pageSiblingName((dir + "/p.jpg").c_str(), std::string(108, 'n').c_str()),
            dir + "/" + std::string(108, 'n'));
  EXPECT_EXIT(pageSiblingName((dir + "/p.jpg").c_str(), std::string(109, 'n').c_str()),
              testing::ExitedWithCode(1),
              "\\*\\*\\*\\* ERROR quorvel : path too long \"d+/p.jpg\"");
}

ino_t inodeOf(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

// A page already holding the bytes is left as it is; other bytes, and a link
// that leads to the same bytes, are replaced by a new file.
TEST(PageFiles, PageThatHoldsTheBytesAlreadyIsLeftAsItIs) {
  testsupport::TempDir t;
  const std::string page = t / "p.html", elsewhere = t / "elsewhere";
  pageWriteUnlessSame(page, "one");
  const ino_t first = inodeOf(page);
  pageWriteUnlessSame(page, "one");
  EXPECT_EQ(inodeOf(page), first);
  pageWriteUnlessSame(page, "two");
  EXPECT_NE(inodeOf(page), first);
  EXPECT_EQ(testsupport::readFile(page), "two");
  testsupport::writeFile(elsewhere, "three");
  ASSERT_EQ(unlink(page.c_str()), 0);
  ASSERT_EQ(symlink("elsewhere", page.c_str()), 0);
  pageWriteUnlessSame(page, "three");
  struct stat st;
  ASSERT_EQ(lstat(page.c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
  EXPECT_EQ(testsupport::readFile(elsewhere), "three");
}

}  // namespace
