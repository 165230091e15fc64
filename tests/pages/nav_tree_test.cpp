#include "pages/nav_tree.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/settings.h"
#include "pages/expected_pages.h"
#include "pages/templates.h"
#include "support/test_support.h"

using testsupport::fileExists;
using testsupport::readFile;
using testsupport::TempDir;
using testsupport::writeFile;

namespace {

// A packed sub-album list from names joined by '|'.
std::string names(const std::string& joined) {
  std::string packed = joined;
  for (char& c : packed) {
    if (c == '|') c = '\0';
  }
  if (!packed.empty()) packed += '\0';
  return packed + '\0';
}

class NavTree : public ::testing::Test {
 protected:
  void SetUp() override {
    resetPageState();
    testsupport::makeDirs(root_);
  }
  void TearDown() override { resetPageState(); }

  // htmlWriteTop for the directory rel ("" for the root, else "a/b/").
  std::string top(const std::string& rel, const std::string& subAlbums,
                  const char* pageName = "quorvelTop.html", bool titleBlock = false) {
    const std::string dir = root_ + "/" + rel;
    testsupport::makeDirs(dir);
    htmlWriteTop(dir.c_str(), subAlbums.data(), pageName, rootOffset(), titleBlock);
    return readFile(dir + pageName);
  }

  // htmlWriteTopLevel for the root (current "") or a first-level album.
  std::string topLevel(const std::string& subAlbums, const std::string& current) {
    const char* entry = nullptr;
    for (const char* n : strListEach(subAlbums.data())) {
      if (current == n) entry = n;
    }
    std::string dir = root_ + "/" + (entry ? current + "/" : "");
    testsupport::makeDirs(dir);
    std::string pagePath = dir + "quorvelTop.html";
    htmlWriteTopLevel(pagePath.data(), static_cast<int>(dir.size()), subAlbums.data(),
                      rootOffset(), entry, false);
    EXPECT_EQ(dir, pagePath.c_str());
    return readFile(dir + "quorvelTop.html");
  }

  int rootOffset() const { return static_cast<int>(root_.size()) + 1; }

  TempDir dir_;
  const std::string root_ = dir_ / "photos";
};

TEST_F(NavTree, RootPageShowsRacineAndItsSubAlbums) {
  EXPECT_EQ(expected::kTopBegin + "<!----><pre><font color=\"#ff0000\">racine</font>\n" +
                " <a href=\"a/quorvelFrameset.html\" target=\"_top\">a</a>\n" +
                " <a href=\"b c/quorvelFrameset.html\" target=\"_top\">b c</a>\n" + "</pre>\n" +
                expected::kEnd,
            top("", names("a|b c")));
}

TEST_F(NavTree, PageTwoLevelsDownClimbsToEachAncestor) {
  gTemplates.topBegin = "[$rootdir$]";
  EXPECT_EQ("[../../]<!--a/b/--><pre>"
            "<a href=\"../../quorvelFrameset.html\" target=\"_top\">racine</a>\n"
            " <a href=\"../quorvelFrameset.html\" target=\"_top\">a</a>\n"
            "  <font color=\"#ff0000\">b</font>\n"
            "   <a href=\"c/quorvelFrameset.html\" target=\"_top\">c</a>\n"
            "</pre>\n" +
                expected::kEnd,
            top("a/b/", names("c")));
}

TEST_F(NavTree, StyleSheetAddsClassesAndLink) {
  gSettings.css = "style.css";
  std::string begin = expected::kTopBegin;
  begin.insert(begin.find("</head>"), expected::cssLink("../"));
  EXPECT_EQ(begin + "<!--a/--><pre>" +
                "<a href=\"../quorvelFrameset.html\" target=\"_top\" class=\"lnk_other\">racine</a>\n" +
                " <font color=\"#ff0000\"><span class=\"lnk_here\">a</span></font>\n" +
                "  <a href=\"x/quorvelFrameset.html\" target=\"_top\" class=\"lnk_other\">x</a>\n" +
                "</pre>\n" + expected::kEnd,
            top("a/", names("x")));
}

TEST_F(NavTree, DateLabelsShowButLinksKeepTheName) {
  gSettings.date = true;
  gSettings.top = "main";
  gTemplates.topBegin = "";
  EXPECT_EQ("<!--20051225-Noel/--><pre>"
            "<a href=\"../quorvelFrameset.html\" target=\"main\">racine</a>\n"
            " <font color=\"#ff0000\">25.12.2005 Noel</font>\n"
            "  <a href=\"200601/quorvelFrameset.html\" target=\"main\">01.2006</a>\n"
            "</pre>\n" +
                expected::kEnd,
            top("20051225-Noel/", names("200601")));
}

TEST_F(NavTree, DirectoryWithOnlySubAlbumsGetsTreeAsFramesetWithTitle) {
  gTemplates.topBegin = "";
  writeFile(root_ + "/trips/title.txt", "<t>Trips</t>");
  EXPECT_EQ("<!--trips/--><pre>"
            "<a href=\"../quorvelFrameset.html\" target=\"_top\">racine</a>\n"
            " <font color=\"#ff0000\">trips</font>\n"
            "  <a href=\"one/quorvelFrameset.html\" target=\"_top\">one</a>\n"
            "  <a href=\"two/quorvelFrameset.html\" target=\"_top\">two</a>\n"
            "</pre>\n"
            "<b>Trips</b><br>\n<font size=\"-1\">Trips</font><br>\n&nbsp;<br>\n" +
                expected::kEnd,
            top("trips/", names("one|two"), "quorvelFrameset.html", true));
  EXPECT_FALSE(fileExists(root_ + "/trips/quorvelTop.html"));
}

TEST_F(NavTree, NamesAreEscapedInLinksAndText) {
  gTemplates.topBegin = "";
  EXPECT_EQ("<!--a&amp;b/--><pre>"
            "<a href=\"../quorvelFrameset.html\" target=\"_top\">racine</a>\n"
            " <font color=\"#ff0000\">a&amp;b</font>\n"
            "  <a href=\"it%27s %231%25%e9/quorvelFrameset.html\" target=\"_top\">"
            "it's #1%\xe9</a>\n"
            "  <a href=\"x%3c%22%3e/quorvelFrameset.html\" target=\"_top\">x&lt;&quot;&gt;</a>\n"
            "</pre>\n" +
                expected::kEnd,
            top("a&b/", names("it's #1%\xe9|x<\">")));
}

TEST_F(NavTree, NotreeWritesNoTreePage) {
  gSettings.notree = true;
  top("a/", names("x"));
  EXPECT_FALSE(fileExists(root_ + "/a/quorvelTop.html"));
}

TEST_F(NavTree, OneLevelRootPageListsAlbumsUnmarked) {
  gTemplates.topBegin = "[$rootdir$]";
  EXPECT_EQ("[]<pre>"
            " <a href=\"a/quorvelFrameset.html\" target=\"_top\">a</a>\n"
            " <a href=\"b/quorvelFrameset.html\" target=\"_top\">b</a>\n"
            "</pre>\n" +
                expected::kEnd,
            topLevel(names("a|b"), ""));
}

TEST_F(NavTree, OneLevelAlbumPageMarksItselfWithTheAnchor) {
  gTemplates.topBegin = "[$rootdir$]";
  EXPECT_EQ("[../]<pre>"
            " <a href=\"../a/quorvelFrameset.html\" target=\"_top\">a</a>\n"
            " <a href=\"../b/quorvelFrameset.html\" target=\"_top\" name=\"ici\">"
            "<font color=\"#ff0000\">b</font></a>\n"
            "</pre>\n" +
                expected::kEnd,
            topLevel(names("a|b"), "b"));
}

TEST_F(NavTree, OneLevelAlbumPageWithStyleSheetMakesTheCurrentAnAnchorOnly) {
  gSettings.css = "style.css";
  gSettings.date = true;
  std::string begin = expected::kTopBegin;
  begin.insert(begin.find("</head>"), expected::cssLink("../"));
  EXPECT_EQ(begin + "<pre>" +
                " <a name=\"ici\"><font color=\"#ff0000\"><span class=\"lnk_here\">"
                "25.12.2005 Noel</span></font></a>\n" +
                " <a href=\"../b%26c/quorvelFrameset.html\" target=\"_top\" class=\"lnk_other\">"
                "b&amp;c</a>\n" +
                "</pre>\n" + expected::kEnd,
            topLevel(names("20051225-Noel|b&c"), "20051225-Noel"));
}

TEST_F(NavTree, OneLevelPageThatCannotBeCreatedIsSkipped) {
  std::string pagePath = dir_ / "missing/quorvelTop.html";
  const std::string list = names("a");
  htmlWriteTopLevel(pagePath.data(), static_cast<int>(pagePath.size()) - 15, list.data(),
                    rootOffset(), nullptr, false);
  EXPECT_FALSE(fileExists(pagePath));
}

TEST_F(NavTree, TreePageThatCannotBeCreatedEndsTheRun) {
  const std::string dir = dir_ / "missing/";
  const std::string list = names("");
  EXPECT_EXIT(htmlWriteTop(dir.c_str(), list.data(), "quorvelTop.html",
                           static_cast<int>(dir.size()), false),
              ::testing::ExitedWithCode(1), "can't create \"" + dir + "quorvelTop.html\"");
}

}  // namespace
