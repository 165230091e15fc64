#include "album/derived_names.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(DerivedNames, BuildersReplaceTheExtension) {
  EXPECT_STREQ(pathMicroName("./trip/pic.jpg"), "./trip/pic.vi.jpg");
  EXPECT_STREQ(pathRolloverName("./trip/pic.jpg"), "./trip/pic.vr.jpg");
  EXPECT_STREQ(pathMediumName("./trip/pic.JPG"), "./trip/pic.md.jpg");
  EXPECT_STREQ(pathHtmlName("./trip/pic.gif"), "./trip/pic.html");
  // Only the file name's last dot counts.
  EXPECT_STREQ(pathMicroName("a.b/c"), "a.b/c.vi.jpg");
  EXPECT_STREQ(pathMicroName("x.tar.jpg"), "x.tar.vi.jpg");
  // A ':' belongs to the file name on this system.
  EXPECT_STREQ(pathMicroName("d/10:30.jpg"), "d/10:30.vi.jpg");
}

TEST(DerivedNames, EachBuilderKeepsItsOwnBuffer) {
  const char* micro = pathMicroName("d/p.jpg");
  const char* rollover = pathRolloverName("d/p.jpg");
  const char* medium = pathMediumName("d/p.jpg");
  const char* html = pathHtmlName("d/p.jpg");
  EXPECT_STREQ(micro, "d/p.vi.jpg");
  EXPECT_STREQ(rollover, "d/p.vr.jpg");
  EXPECT_STREQ(medium, "d/p.md.jpg");
  EXPECT_STREQ(html, "d/p.html");
}

// Paths of 300 characters or more keep their extension (pathWithoutExt hands
// them back whole), which lets a test reach the 400-character limit.
TEST(DerivedNames, NameOf399CharactersIsBuilt) {
  std::string path(392, 'a');
  EXPECT_EQ(std::string(pathMicroName(path.c_str())), path + ".vi.jpg");
}

TEST(DerivedNamesDeathTest, NameOf400CharactersEndsTheRun) {
  std::string path(393, 'a');
  EXPECT_EXIT(pathMicroName(path.c_str()), testing::ExitedWithCode(1),
              "\\*\\*\\*\\* ERROR quorvel : path too long \"a+\"");
  EXPECT_EXIT(pathRolloverName(path.c_str()), testing::ExitedWithCode(1), "path too long");
  EXPECT_EXIT(pathMediumName(path.c_str()), testing::ExitedWithCode(1), "path too long");
  std::string htmlPath(395, 'a');
  EXPECT_EXIT(pathHtmlName(htmlPath.c_str()), testing::ExitedWithCode(1), "path too long");
}

}  // namespace
