// The navigation of a whole album through the real binary: tree pages at
// every depth, tree pages standing in for a Frameset, the one-level pages of
// -notree, and which directories and files the -filter: walk lets in.
// Directories are made albums with small MP3 files, which need no pictures.
#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "pages/expected_pages.h"
#include "support/link_check.h"
#include "support/photos_album.h"

namespace {

using testsupport::fileExists;
using testsupport::runQuorvel;
using testsupport::RunResult;
using testsupport::writeFile;

using expected::kMp3Link;
using expected::mp3Page;

const std::string kNotice =
    "quorvel " QUORVEL_VERSION " - static photo albums\n"
    "thumbnails, rollover lenses and frameset pages beside your pictures\n"
    "cv.html in the current directory tells more\n"
    "\n";

// page with the style-sheet line before its first "</head>".
std::string withCss(const std::string& page, const std::string& climb) {
  std::string out = page;
  out.insert(out.find("</head>"), expected::cssLink(climb));
  return out;
}

// The built-in frameset pages with the default left width.
std::string framesetDefault() {
  std::string page = expected::kFramesetDefault150;
  page.replace(page.find("150,*"), 5, "128,*");
  return page;
}
std::string framesetNotree() {
  std::string page = expected::kFramesetNotree150;
  page.replace(page.find("150,*"), 5, "128,*");
  return page;
}

// A tree page: topBegin (given, for -css:), the body, topEnd.
std::string treePage(const std::string& body, const std::string& begin = expected::kTopBegin) {
  return begin + body + expected::kEnd;
}

// The Left page of a directory whose only files are MP3 files.
std::string mp3OnlyLeft(const std::string& begin = expected::kLeftBegin) {
  return begin + "<center>\n" + kMp3Link +
         "</center>\n<script language=\"JavaScript\"><!--\n//--></script>\n" + expected::kEnd;
}

// True when a browser would read link as absolute with a scheme of its own
// ("Paris: day 1/x.html" is scheme "paris"), not as a relative path.
bool readAsScheme(const std::string& link) {
  if (link.empty() || !isalpha(static_cast<unsigned char>(link[0]))) return false;
  for (char c : link) {
    if (c == ':') return true;
    if (!isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.') return false;
  }
  return false;
}

class NavigationAlbum : public testsupport::PhotosAlbum {
 protected:
  void mp3(const std::string& relative) { writeFile(at(relative), "ID3 not really music"); }

  // photos/song.mp3, a/x.mp3, a/b/y.mp3, a/b/c/z.mp3, d/w.mp3, and two
  // directories that make no album: a/b/empty and a/b/notes (no MP3 inside).
  void makeDeepTree() {
    mp3("song.mp3");
    mp3("a/x.mp3");
    mp3("a/b/y.mp3");
    mp3("a/b/c/z.mp3");
    mp3("d/w.mp3");
    testsupport::makeDirs(at("a/b/empty"));
    writeFile(at("a/b/notes/readme.txt"), "not an album");
  }

};

TEST_F(NavigationAlbum, TreePagesClimbToEveryAncestorAndListCountingSubAlbums) {
  makeDeepTree();
  RunResult r = run({"-mp3"});
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.out, kNotice +
                       "######## photos ########\n"
                       "*** . ***\n*** a ***\n*** a/b ***\n*** a/b/c ***\n"
                       "*** a/b/empty ***\n*** a/b/notes ***\n*** d ***\n");

  EXPECT_EQ(page("quorvelTop.html"),
            treePage("<!----><pre><font color=\"#ff0000\">racine</font>\n"
                     " <a href=\"a/quorvelFrameset.html\" target=\"_top\">a</a>\n"
                     " <a href=\"d/quorvelFrameset.html\" target=\"_top\">d</a>\n"
                     "</pre>\n"));
  EXPECT_EQ(page("a/b/quorvelTop.html"),
            treePage("<!--a/b/--><pre>"
                     "<a href=\"../../quorvelFrameset.html\" target=\"_top\">racine</a>\n"
                     " <a href=\"../quorvelFrameset.html\" target=\"_top\">a</a>\n"
                     "  <font color=\"#ff0000\">b</font>\n"
                     "   <a href=\"c/quorvelFrameset.html\" target=\"_top\">c</a>\n"
                     "</pre>\n"));
  EXPECT_EQ(page("a/b/c/quorvelTop.html"),
            treePage("<!--a/b/c/--><pre>"
                     "<a href=\"../../../quorvelFrameset.html\" target=\"_top\">racine</a>\n"
                     " <a href=\"../../quorvelFrameset.html\" target=\"_top\">a</a>\n"
                     "  <a href=\"../quorvelFrameset.html\" target=\"_top\">b</a>\n"
                     "   <font color=\"#ff0000\">c</font>\n"
                     "</pre>\n"));
  EXPECT_EQ(page("a/b/quorvelFrameset.html"), framesetDefault());
  EXPECT_EQ(page("a/b/quorvelLeft.html"), mp3OnlyLeft());
  EXPECT_EQ(page("a/b/quorvelRight.html"), mp3Page("<li> <a href=\"y.mp3\">y.mp3</a>\n"));

  for (const char* dir : {"a/b/empty/", "a/b/notes/"}) {
    for (const char* name : {"quorvelFrameset.html", "quorvelTop.html", "quorvelLeft.html"})
      EXPECT_FALSE(fileExists(at(std::string(dir) + name))) << dir << name;
  }
  expectLinksResolve();
}

TEST_F(NavigationAlbum, DirectoryWithOnlySubAlbumsGetsTheTreeAsItsFrameset) {
  writeFile(at("trip/title.txt"), "<t>Trip</t> in May");
  mp3("trip/day1/a.mp3");
  mp3("trip/day2/b.mp3");
  RunResult r = run({"-mp3"});
  ASSERT_EQ(r.status, 0);

  EXPECT_EQ(page("trip/quorvelFrameset.html"),
            treePage("<!--trip/--><pre>"
                     "<a href=\"../quorvelFrameset.html\" target=\"_top\">racine</a>\n"
                     " <font color=\"#ff0000\">trip</font>\n"
                     "  <a href=\"day1/quorvelFrameset.html\" target=\"_top\">day1</a>\n"
                     "  <a href=\"day2/quorvelFrameset.html\" target=\"_top\">day2</a>\n"
                     "</pre>\n"
                     "<b>Trip</b><br>\n"
                     "<font size=\"-1\">Trip in May</font><br>\n"
                     "&nbsp;<br>\n"));
  for (const char* name : {"quorvelTop.html", "quorvelLeft.html", "quorvelRight.html"})
    EXPECT_FALSE(fileExists(at(std::string("trip/") + name))) << name;

  // The root has no files either, and no title.txt: no title block.
  EXPECT_EQ(page("quorvelFrameset.html"),
            treePage("<!----><pre><font color=\"#ff0000\">racine</font>\n"
                     " <a href=\"trip/quorvelFrameset.html\" target=\"_top\">trip</a>\n"
                     "</pre>\n"));
  EXPECT_FALSE(fileExists(at("quorvelTop.html")));

  EXPECT_EQ(page("trip/day1/quorvelTop.html"),
            treePage("<!--trip/day1/--><pre>"
                     "<a href=\"../../quorvelFrameset.html\" target=\"_top\">racine</a>\n"
                     " <a href=\"../quorvelFrameset.html\" target=\"_top\">trip</a>\n"
                     "  <font color=\"#ff0000\">day1</font>\n"
                     "</pre>\n"));
  expectLinksResolve();
}

TEST_F(NavigationAlbum, TopTargetNamesTheFrameOfEveryTreeLink) {
  makeDeepTree();
  ASSERT_EQ(run({"-mp3", "-top:main"}).status, 0);
  EXPECT_EQ(page("a/b/quorvelTop.html"),
            treePage("<!--a/b/--><pre>"
                     "<a href=\"../../quorvelFrameset.html\" target=\"main\">racine</a>\n"
                     " <a href=\"../quorvelFrameset.html\" target=\"main\">a</a>\n"
                     "  <font color=\"#ff0000\">b</font>\n"
                     "   <a href=\"c/quorvelFrameset.html\" target=\"main\">c</a>\n"
                     "</pre>\n"));
  expectLinksResolve();
}

TEST_F(NavigationAlbum, CssLinksTheSheetFromEveryDepthAndClassesTheTree) {
  makeDeepTree();
  writeFile(at("style.css"), "a { color: black }");
  ASSERT_EQ(run({"-mp3", "-css:style.css"}).status, 0);

  EXPECT_EQ(
      page("quorvelTop.html"),
      treePage("<!----><pre><font color=\"#ff0000\"><span class=\"lnk_here\">racine</span>"
               "</font>\n"
               " <a href=\"a/quorvelFrameset.html\" target=\"_top\" class=\"lnk_other\">a</a>\n"
               " <a href=\"d/quorvelFrameset.html\" target=\"_top\" class=\"lnk_other\">d</a>\n"
               "</pre>\n",
               withCss(expected::kTopBegin, "")));
  EXPECT_EQ(
      page("a/b/quorvelTop.html"),
      treePage("<!--a/b/--><pre>"
               "<a href=\"../../quorvelFrameset.html\" target=\"_top\" "
               "class=\"lnk_other\">racine</a>\n"
               " <a href=\"../quorvelFrameset.html\" target=\"_top\" class=\"lnk_other\">a</a>\n"
               "  <font color=\"#ff0000\"><span class=\"lnk_here\">b</span></font>\n"
               "   <a href=\"c/quorvelFrameset.html\" target=\"_top\" "
               "class=\"lnk_other\">c</a>\n"
               "</pre>\n",
               withCss(expected::kTopBegin, "../../")));
  // The other pages of the album climb as far; the built-in frameset gets no link.
  EXPECT_EQ(page("a/b/quorvelLeft.html"), mp3OnlyLeft(withCss(expected::kLeftBegin, "../../")));
  EXPECT_EQ(page("a/b/quorvelRight.html"),
            withCss(mp3Page("<li> <a href=\"y.mp3\">y.mp3</a>\n"), "../../"));
  EXPECT_EQ(page("a/b/quorvelFrameset.html"), framesetDefault());
  expectLinksResolve();
}

TEST_F(NavigationAlbum, DateLabelsShowDatesWhileLinksKeepTheNames) {
  mp3("20051225-Noel/a.mp3");
  mp3("200512_Dec/b.mp3");
  ASSERT_EQ(run({"-mp3", "-date"}).status, 0);
  EXPECT_EQ(
      page("quorvelFrameset.html"),
      treePage("<!----><pre><font color=\"#ff0000\">racine</font>\n"
               " <a href=\"20051225-Noel/quorvelFrameset.html\" target=\"_top\">"
               "25.12.2005 Noel</a>\n"
               " <a href=\"200512_Dec/quorvelFrameset.html\" target=\"_top\">12.2005 Dec</a>\n"
               "</pre>\n"));
  EXPECT_EQ(page("20051225-Noel/quorvelTop.html"),
            treePage("<!--20051225-Noel/--><pre>"
                     "<a href=\"../quorvelFrameset.html\" target=\"_top\">racine</a>\n"
                     " <font color=\"#ff0000\">25.12.2005 Noel</font>\n"
                     "</pre>\n"));
  expectLinksResolve();
}

// -notree: the root (with its own MP3 file) and albums a and b; c makes no album.
class OneLevelAlbum : public NavigationAlbum {
 protected:
  void SetUp() override {
    mp3("root.mp3");
    mp3("a/x.mp3");
    mp3("b/y.mp3");
    testsupport::makeDirs(at("c"));
  }
  static constexpr const char* kProgress =
      "######## photos ########\n"
      "*** . ***\n*** a ***\n*** b ***\n*** c ***\n"
      "path \"photos/\" :\n"
      "photos/quorvelTop.html\n"
      "   photos/a/quorvelTop.html\n"
      "   photos/b/quorvelTop.html\n";
};

TEST_F(OneLevelAlbum, PagesListTheFirstLevelAndMarkTheCurrentAlbum) {
  RunResult r = run({"-mp3", "-notree"});
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.out, kNotice + kProgress);

  EXPECT_EQ(page("quorvelTop.html"),
            treePage("<pre>"
                     " <a href=\"a/quorvelFrameset.html\" target=\"_top\">a</a>\n"
                     " <a href=\"b/quorvelFrameset.html\" target=\"_top\">b</a>\n"
                     "</pre>\n"));
  EXPECT_EQ(page("a/quorvelTop.html"),
            treePage("<pre>"
                     " <a href=\"../a/quorvelFrameset.html\" target=\"_top\" name=\"ici\">"
                     "<font color=\"#ff0000\">a</font></a>\n"
                     " <a href=\"../b/quorvelFrameset.html\" target=\"_top\">b</a>\n"
                     "</pre>\n"));
  EXPECT_EQ(page("b/quorvelTop.html"),
            treePage("<pre>"
                     " <a href=\"../a/quorvelFrameset.html\" target=\"_top\">a</a>\n"
                     " <a href=\"../b/quorvelFrameset.html\" target=\"_top\" name=\"ici\">"
                     "<font color=\"#ff0000\">b</font></a>\n"
                     "</pre>\n"));
  EXPECT_EQ(page("quorvelFrameset.html"), framesetNotree());
  EXPECT_EQ(page("a/quorvelFrameset.html"), framesetNotree());
  EXPECT_FALSE(fileExists(at("c/quorvelTop.html")));
  expectLinksResolve();
}

TEST_F(OneLevelAlbum, CssMakesTheCurrentAlbumAnAnchorInsteadOfALink) {
  writeFile(at("style.css"), "");
  RunResult r = run({"-mp3", "-notree", "-css:style.css"});
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.out, kNotice + kProgress);

  EXPECT_EQ(
      page("quorvelTop.html"),
      treePage("<pre>"
               " <a href=\"a/quorvelFrameset.html\" target=\"_top\" class=\"lnk_other\">a</a>\n"
               " <a href=\"b/quorvelFrameset.html\" target=\"_top\" class=\"lnk_other\">b</a>\n"
               "</pre>\n",
               withCss(expected::kTopBegin, "")));
  EXPECT_EQ(page("a/quorvelTop.html"),
            treePage("<pre>"
                     " <a name=\"ici\"><font color=\"#ff0000\"><span class=\"lnk_here\">a</span>"
                     "</font></a>\n"
                     " <a href=\"../b/quorvelFrameset.html\" target=\"_top\" "
                     "class=\"lnk_other\">b</a>\n"
                     "</pre>\n",
                     withCss(expected::kTopBegin, "../")));
  expectLinksResolve();
}

// Below the first level every album still finds its one-level page, and a
// directory without files of its own, the root too, gets one as its frameset.
TEST_F(NavigationAlbum, NotreeGivesEveryDepthItsOneLevelPages) {
  writeFile(at("trip/title.txt"), "<t>Trip</t> in May");
  mp3("trip/day1/a.mp3");
  mp3("trip/day2/b.mp3");
  RunResult r = run({"-mp3", "-notree"});
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.out, kNotice +
                       "######## photos ########\n"
                       "*** . ***\n*** trip ***\n*** trip/day1 ***\n*** trip/day2 ***\n"
                       "path \"photos/trip/\" :\n"
                       "   photos/trip/day1/quorvelTop.html\n"
                       "   photos/trip/day2/quorvelTop.html\n"
                       "photos/trip/quorvelFrameset.html\n"
                       "path \"photos/\" :\n"
                       "photos/quorvelTop.html\n"
                       "   photos/trip/quorvelTop.html\n"
                       "photos/quorvelFrameset.html\n");

  EXPECT_EQ(page("trip/day1/quorvelTop.html"),
            treePage("<pre>"
                     " <a href=\"../day1/quorvelFrameset.html\" target=\"_top\" name=\"ici\">"
                     "<font color=\"#ff0000\">day1</font></a>\n"
                     " <a href=\"../day2/quorvelFrameset.html\" target=\"_top\">day2</a>\n"
                     "</pre>\n"));
  EXPECT_EQ(page("trip/quorvelFrameset.html"),
            treePage("<pre>"
                     " <a href=\"day1/quorvelFrameset.html\" target=\"_top\">day1</a>\n"
                     " <a href=\"day2/quorvelFrameset.html\" target=\"_top\">day2</a>\n"
                     "</pre>\n"
                     "<b>Trip</b><br>\n"
                     "<font size=\"-1\">Trip in May</font><br>\n"
                     "&nbsp;<br>\n"));
  expectLinksResolve();
}

// A sub-album name with ':' must not be read as a URL scheme by the browser.
TEST_F(NavigationAlbum, SubAlbumNameWithColonIsNotReadAsAScheme) {
  mp3("Paris: day 1/s.mp3");
  ASSERT_EQ(run({"-mp3"}).status, 0);
  const std::string tree = page("quorvelFrameset.html");
  ASSERT_NE(tree.find(">Paris: day 1</a>"), std::string::npos);
  for (const std::string& link : testsupport::pageLinks(tree))
    EXPECT_FALSE(readAsScheme(link)) << link;
}

TEST_F(NavigationAlbum, FilterLeavesRejectedFilesOutAndSkipsRejectedDirectoriesWhole) {
  for (const char* name :
       {"a.mp3", "b.mp3", "old.mp3", "tmp/c.mp3", "tmp/deep/d.mp3", "live/e.mp3", "live/old.mp3"})
    mp3(name);
  RunResult r = run({"-mp3", "-filter:!*/tmp&!*/old.mp3"});
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.out, kNotice + "######## photos ########\n*** . ***\n*** live ***\n");

  EXPECT_EQ(page("quorvelRight.html"),
            mp3Page("<li> <a href=\"a.mp3\">a.mp3</a>\n<li> <a href=\"b.mp3\">b.mp3</a>\n"));
  EXPECT_EQ(page("liste.m3u"), "#EXTM3U\na.mp3\nb.mp3\n");
  EXPECT_EQ(page("live/quorvelRight.html"), mp3Page("<li> <a href=\"e.mp3\">e.mp3</a>\n"));
  EXPECT_EQ(page("quorvelTop.html"),
            treePage("<!----><pre><font color=\"#ff0000\">racine</font>\n"
                     " <a href=\"live/quorvelFrameset.html\" target=\"_top\">live</a>\n"
                     "</pre>\n"));
  EXPECT_FALSE(fileExists(at("tmp/quorvelFrameset.html")));
  EXPECT_FALSE(fileExists(at("tmp/deep/quorvelFrameset.html")));
  expectLinksResolve();
}

// The usage text's shape of expression: every path, directory or file, is
// matched whole, so a directory may pass while its files fail.
TEST_F(NavigationAlbum, FilterExpressionIsTestedOnEveryDirectoryAndFilePath) {
  for (const char* name : {"a.mp3", "songs/s.mp3", "tmp/t.mp3", "tmp/olds/o.mp3", "video/v.mp3"})
    mp3(name);
  RunResult r = run({"-mp3", "-filter:(*s|*.mp3|*/tmp)&!*/tmp/*"});
  ASSERT_EQ(r.status, 0);
  // tmp passes as a directory, its file and its subdirectory fail; video
  // (no final 's') fails with everything below it.
  EXPECT_EQ(r.out, kNotice + "######## photos ########\n*** . ***\n*** songs ***\n*** tmp ***\n");
  EXPECT_EQ(page("quorvelRight.html"), mp3Page("<li> <a href=\"a.mp3\">a.mp3</a>\n"));
  EXPECT_EQ(page("quorvelTop.html"),
            treePage("<!----><pre><font color=\"#ff0000\">racine</font>\n"
                     " <a href=\"songs/quorvelFrameset.html\" target=\"_top\">songs</a>\n"
                     "</pre>\n"));
  EXPECT_FALSE(fileExists(at("tmp/quorvelFrameset.html")));
  expectLinksResolve();
}

TEST_F(NavigationAlbum, FilterSeesTheRootAsTypedFollowedByTheNames) {
  mp3("a.mp3");
  mp3("live/e.mp3");
  const std::string filter = "-filter:photos|photos/live|photos/live/*.mp3";
  struct Case {
    std::string root, cwd, progress;
  };
  const std::vector<Case> cases = {
      {"photos", dir_.path(), "######## photos ########\n*** . ***\n*** live ***\n"},
      {"./photos", dir_.path(), "######## ./photos ########\n"},
      {".", at(""), "######## . ########\n"},
      {"photos/", dir_.path(), "######## photos/ ########\n"},
  };
  for (const Case& c : cases) {
    RunResult r = runQuorvel({c.root, "-mp3", filter}, c.cwd);
    EXPECT_EQ(r.status, 0) << c.root;
    EXPECT_EQ(r.out, kNotice + c.progress) << c.root;
  }
  // From the first run: photos/a.mp3 failed, so the root only leads to live.
  EXPECT_EQ(page("live/quorvelRight.html"), mp3Page("<li> <a href=\"e.mp3\">e.mp3</a>\n"));
  EXPECT_FALSE(fileExists(at("quorvelLeft.html")));
  EXPECT_EQ(page("quorvelFrameset.html"),
            treePage("<!----><pre><font color=\"#ff0000\">racine</font>\n"
                     " <a href=\"live/quorvelFrameset.html\" target=\"_top\">live</a>\n"
                     "</pre>\n"));
  expectLinksResolve();
}

}  // namespace
