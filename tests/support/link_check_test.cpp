#include "support/link_check.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace {

using testsupport::findBrokenLinks;
using testsupport::TempDir;
using testsupport::writeFile;

TEST(LinkCheck, FindsHrefSrcSrcsetAndMouseOverNames) {
  auto links = testsupport::pageLinks(
      "<a href=\"p.md.html\" target=\"right\" onMouseOver=\"return _1('i1','p.vr.jpg','p.vi.jpg',"
      "'zoom...');\"><IMG SRC=\"p.vi.jpg\" srcset=\"p.vi.jpg 1x, p%2c.vi2.jpg 2x,q.jpg\"></a>"
      "<script>(new Image()).src=\"p.vr.jpg\";</script>");
  EXPECT_EQ(links, (std::vector<std::string>{"p.md.html", "p.vi.jpg", "p.vr.jpg", "p.vi.jpg", "p%2c.vi2.jpg",
                                             "q.jpg", "p.vr.jpg", "p.vi.jpg"}));
}

TEST(LinkCheck, CompleteAlbumHasNoBrokenLink) {
  TempDir t;
  writeFile(t / "a/quorvelLeft.html",
            "<a href=\"caf%e9%20x.jpg\"><img src=\"caf%e9%20x.vi.jpg\"></a>"
            "<a href=\"../quorvelFrameset.html#ici\">up</a><a href=\"http://example.org/\">x</a>");
  writeFile(t / "a/caf\xe9 x.jpg", "j");
  writeFile(t / "a/caf\xe9 x.vi.jpg", "j");
  writeFile(t / "quorvelFrameset.html", "<frame src=\"a/quorvelLeft.html\">");
  writeFile(t / "a/liste.m3u", "#EXTM3U\nsong.mp3\n/srv/music/other.mp3\n");
  writeFile(t / "a/song.mp3", "m");
  EXPECT_EQ(testsupport::describe(findBrokenLinks(t.path())), "");
}

TEST(LinkCheck, ReportsABrokenLinkAndAMissingThumbnail) {
  TempDir t;
  writeFile(t / "quorvelLeft.html",
            "<a href=\"gone.html\" onMouseOver=\"return _1('i1','p.vr.jpg','p.vi.jpg','zoom...');\">"
            "<img src=\"p.vi.jpg\"></a><img src=\" lead.jpg\">");
  writeFile(t / "p.vr.jpg", "j");
  writeFile(t / " lead.jpg", "j");  // a browser asks for "lead.jpg"
  auto broken = findBrokenLinks(t.path());
  ASSERT_EQ(broken.size(), 4u) << testsupport::describe(broken);
  EXPECT_EQ(broken[0].target, "gone.html");
  EXPECT_EQ(broken[1].target, "p.vi.jpg");
  EXPECT_EQ(broken[2].target, " lead.jpg");
  EXPECT_EQ(broken[3].target, "p.vi.jpg");
}

}  // namespace
