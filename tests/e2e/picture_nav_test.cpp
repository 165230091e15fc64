// -nav: every picture has a page of its own that steps to its neighbours,
// in the Left page's order, and the album's frameset can show any of them.
#include <gtest/gtest.h>

#include <string>

#include "support/link_check.h"
#include "support/test_support.h"

namespace {

using testsupport::makeJpeg;
using testsupport::readFile;
using testsupport::runQuorvel;
using testsupport::TempDir;

TEST(PictureNav, EveryPicturePageStepsToItsNeighboursInLeftOrder) {
  TempDir t;
  makeJpeg(t / "a/b.jpg", 800, 640);  // a medium view: b.md.html
  makeJpeg(t / "a/c.jpg", 300, 300, 1);  // none, no caption: c.html all the same
  makeJpeg(t / "a/d.jpg", 800, 640, 2);
  testsupport::writeFile(t / "a/d.txt", "<t>Dune</t> at dawn");
  testsupport::writeFile(t / "a/title.txt", "<t>Coast</t> in May");
  auto r = runQuorvel({"a", "-nav"}, t.path());
  ASSERT_EQ(r.status, 0) << r.err;

  const std::string b = readFile(t / "a/b.md.html"), c = readFile(t / "a/c.html"), d = readFile(t / "a/d.md.html");
  EXPECT_EQ(b.find("rel=\"prev\""), std::string::npos);
  EXPECT_NE(b.find("1 / 3 <a href=\"c.html\" rel=\"next\""), std::string::npos);
  EXPECT_NE(c.find("<a href=\"b.md.html\" rel=\"prev\" title=\"previous\">&larr;</a> 2 / 3 <a href=\"d.md.html\""),
            std::string::npos);
  EXPECT_NE(c.find("href=\"quorvelFrameset.html#c.html\" target=\"_top\""), std::string::npos);
  EXPECT_EQ(d.find("rel=\"next\""), std::string::npos);
  EXPECT_NE(d.find("<title>Dune</title>"), std::string::npos);
  EXPECT_NE(d.find("<a href=\"d.jpg\" target=\"_top\"><img src=\"d.md.jpg\" width=\"600\" height=\"480\" alt=\"Dune\""),
            std::string::npos);
  EXPECT_NE(c.find("<title>c.jpg</title>"), std::string::npos);
  // A caption's title and an album's stand once, above their text.
  EXPECT_NE(d.find("<b>Dune</b><br>\nat dawn<br>"), std::string::npos);

  const std::string left = readFile(t / "a/quorvelLeft.html");
  EXPECT_NE(left.find("<a href=\"c.html\" target=\"right\""), std::string::npos);
  EXPECT_NE(left.find("alt=\"c.jpg\""), std::string::npos);
  EXPECT_NE(left.find("<b>Coast</b><br>\n<font size=\"-1\">in May</font>"), std::string::npos);
  const std::string frameset = readFile(t / "a/quorvelFrameset.html");
  EXPECT_NE(frameset.find("<title>Coast</title>"), std::string::npos);
  EXPECT_LT(frameset.find("<script>"), frameset.find("</head>"));
  // The album opens on its pictures, each tile opening its page in the frame.
  const std::string sheet = readFile(t / "a/quorvelRight.html");
  const size_t tiles = sheet.find("<div class=\"quorvel-sheet\">\n<a href=\"b.md.html\">");
  EXPECT_LT(tiles, sheet.find("<a href=\"c.html\">"));
  EXPECT_LT(sheet.find("<a href=\"c.html\">"), sheet.find("<a href=\"d.md.html\">"));
  EXPECT_EQ(testsupport::describe(testsupport::findBrokenLinks(t / "a")), "");
}

}  // namespace
