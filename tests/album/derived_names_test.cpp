#include "album/derived_names.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(DerivedNames, BuildersReplaceTheExtension) {
  const PictureNames names = pictureNames("./trip/pic.JPG");
  EXPECT_EQ(names.micro, "./trip/pic.vi.jpg");
  EXPECT_EQ(names.rollover, "./trip/pic.vr.jpg");
  EXPECT_EQ(names.medium, "./trip/pic.md.jpg");
  EXPECT_EQ(picturePageName("./trip/pic.gif"), "./trip/pic.html");
  EXPECT_EQ(picturePageName("./trip/pic.md.jpg"), "./trip/pic.md.html");
  // Only the file name's last dot counts.
  EXPECT_EQ(pictureNames("a.b/c").micro, "a.b/c.vi.jpg");
  EXPECT_EQ(pictureNames("x.tar.jpg").micro, "x.tar.vi.jpg");
  // A ':' belongs to the file name on this system.
  EXPECT_EQ(pictureNames("d/10:30.jpg").micro, "d/10:30.vi.jpg");
}

// Paths of 300 characters or more keep their extension (pathWithoutExt hands
// them back whole), which lets a test reach the 400-character limit.
TEST(DerivedNames, NameOf399CharactersIsBuiltAnd400IsNot) {
  const std::string fits(392, 'a');
  EXPECT_EQ(pictureNames(fits.c_str()).micro, fits + ".vi.jpg");
  const std::string over(393, 'a');
  PictureNames names;
  EXPECT_FALSE(pictureNamesBuild(over.c_str(), &names));
  EXPECT_EQ(names.micro, "");
}

TEST(DerivedNamesDeathTest, NameOf400CharactersEndsTheRun) {
  const std::string path(393, 'a');
  EXPECT_EXIT(pictureNames(path.c_str()), testing::ExitedWithCode(1),
              "\\*\\*\\*\\* ERROR quorvel : path too long \"a+\"");
  const std::string htmlPath(395, 'a');
  EXPECT_EXIT(picturePageName(htmlPath.c_str()), testing::ExitedWithCode(1), "path too long");
}

}  // namespace
