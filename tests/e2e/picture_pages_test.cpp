// The pages of picture albums through the real binary, compared whole: the
// Frameset page under every frameset choice, the empty Right page, the Left
// column with its title block and preload script, each picture's own page,
// the style-sheet link at every depth and templates from a -conf: file.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pages/expected_pages.h"
#include "support/photos_album.h"

namespace {

using testsupport::fileExists;
using testsupport::RunResult;

using expected::kEnd;
using expected::kLeftBegin;
using expected::kRightBegin;
using expected::kRightEmpty;

// Size attributes of the thumbnails of a 300 x 300 and of an 800 x 600 picture.
const std::string kSquare = " width=\"96\" height=\"96\"";
const std::string kWide = " width=\"96\" height=\"72\"";

// The Left page entry of picture base, whose derived names follow it.
std::string thumb(const std::string& target, int index, const std::string& base,
                  const std::string& size) {
  return expected::leftEntry(target, index, base + ".vr.jpg", base + ".vi.jpg", size);
}

// The small-font caption line under a thumbnail.
std::string caption(const std::string& title) {
  return "<font size=\"-1\">" + title + "</font><br>&nbsp;<br>\n";
}

// A whole Left page: begin template, title block, entries, preload script and
// leftEnd.
std::string leftPage(const std::string& entries, const std::vector<std::string>& rollovers,
                     const std::string& begin = kLeftBegin, const std::string& titleBlock = "",
                     const std::string& end = kEnd) {
  return begin + titleBlock + "<center>\n" + entries + "</center>\n" +
         expected::preloadScript(rollovers) + end;
}

// The 640 x 480 medium view of an 800 x 600 picture, linked to the picture.
std::string mediumView(const std::string& base, const std::string& ext = ".jpg") {
  return "<a href=\"" + base + ext + "\"><img src=\"" + base +
         ".md.jpg\" width=\"640\" height=\"480\" border=\"0\" vspace=\"1\"></a>\n";
}

// page with the style-sheet line before its first "</head>".
std::string withCss(const std::string& page, const std::string& climb) {
  std::string out = page;
  out.insert(out.find("</head>"), expected::cssLink(climb));
  return out;
}

// A built-in frameset page (written out with width 150) at another width.
std::string framesetAt(const std::string& page150, int width) {
  std::string page = page150;
  page.replace(page.find("150,*"), 5, std::to_string(width) + ",*");
  return page;
}

const std::string kFramesetDefault = framesetAt(expected::kFramesetDefault150, 128);
const std::string kFramesetNotree = framesetAt(expected::kFramesetNotree150, 128);
const std::string kFramesetNotop = framesetAt(expected::kFramesetNotop150, 128);

class PicturePages : public testsupport::PhotosAlbum {
 protected:
  void jpeg(const std::string& relative, int width, int height) {
    testsupport::makeJpeg(at(relative), width, height);
  }
  void text(const std::string& relative, const std::string& bytes) {
    testsupport::writeFile(at(relative), bytes);
  }
  // Writes the configuration file beside the album; gives its option.
  std::string conf(const std::string& bytes) {
    const std::string path = dir_ / "conf.txt";
    testsupport::writeFile(path, bytes);
    return "-conf:" + path;
  }
};

TEST_F(PicturePages, FirstPictureOpensTheAlbumAndEachPictureAddsItsEntry) {
  jpeg("a.jpg", 300, 300);
  jpeg("b.jpg", 300, 300);
  text("b.txt", "<t>Beach</t> at noon");
  jpeg("c.jpg", 800, 600);
  RunResult r = run({});
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.out.substr(r.out.find("######## ")),
            "######## photos ########\n*** . ***\n"
            "photos/a.vi.jpg\nphotos/b.vi.jpg\nphotos/c.vi.jpg\n");

  EXPECT_EQ(page("quorvelFrameset.html"), kFramesetDefault);
  EXPECT_EQ(page("quorvelRight.html"), kRightEmpty);
  // The index counts every file of the listing, b.txt included.
  EXPECT_EQ(page("quorvelLeft.html"),
            leftPage(thumb("a.jpg", 1, "a", kSquare) + thumb("b.html", 2, "b", kSquare) +
                         caption("Beach") + thumb("c.md.html", 4, "c", kWide),
                     {"a.vr.jpg", "b.vr.jpg", "c.vr.jpg"}));
  EXPECT_EQ(page("b.html"), kRightBegin + "Beach at noon<br>\n<img src=\"b.jpg\">" + kEnd);
  EXPECT_EQ(page("c.md.html"), kRightBegin + mediumView("c") + kEnd);
  for (const char* none : {"a.html", "a.md.html", "b.md.html", "c.html"})
    EXPECT_FALSE(fileExists(at(none))) << none;
  expectLinksResolve();
}

TEST_F(PicturePages, GifPicturesGetTheirPagesUnderTheirOwnNames) {
  testsupport::makeGif(at("anim.gif"), 800, 600);
  testsupport::makeGif(at("still.gif"), 300, 300);
  ASSERT_EQ(run({}).status, 0);
  EXPECT_EQ(page("anim.md.html"), kRightBegin + mediumView("anim", ".gif") + kEnd);
  EXPECT_FALSE(fileExists(at("still.html")));
  EXPECT_EQ(page("quorvelLeft.html"),
            leftPage(thumb("anim.md.html", 1, "anim", kWide) +
                         thumb("still.gif", 2, "still", kSquare),
                     {"anim.vr.jpg", "still.vr.jpg"}));
  expectLinksResolve();
}

// A captioned picture named like an album page must not write its page over
// that page: it keeps its caption line and links to itself.
TEST_F(PicturePages, PictureNamedLikeAnAlbumPageLeavesThatPageAlone) {
  jpeg("quorvelFrameset.jpg", 300, 300);
  text("quorvelFrameset.txt", "<t>Frame</t>");
  jpeg("quorvelLeft.jpg", 300, 300);
  text("quorvelLeft.txt", "<t>Left</t>");
  ASSERT_EQ(run({}).status, 0);
  EXPECT_EQ(page("quorvelFrameset.html"), kFramesetDefault);
  EXPECT_EQ(page("quorvelLeft.html"),
            leftPage(thumb("quorvelFrameset.jpg", 1, "quorvelFrameset", kSquare) +
                         caption("Frame") + thumb("quorvelLeft.jpg", 3, "quorvelLeft", kSquare) +
                         caption("Left"),
                     {"quorvelFrameset.vr.jpg", "quorvelLeft.vr.jpg"}));
  expectLinksResolve();
}

TEST_F(PicturePages, FramesetPageFollowsTheChosenTemplateAndWidth) {
  jpeg("trip/a.jpg", 300, 300);
  const struct {
    std::vector<std::string> options;
    const std::string& page;
  } cases[] = {
      {{}, kFramesetDefault},
      {{"-lw:150"}, expected::kFramesetDefault150},
      {{"-notop"}, kFramesetNotop},
      {{"-notop", "-lw:150"}, expected::kFramesetNotop150},
      {{"-notree"}, kFramesetNotree},
      {{"-notree", "-lw:150"}, expected::kFramesetNotree150},
      {{"-notree", "-notop"}, kFramesetNotree},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(run(c.options).status, 0);
    EXPECT_EQ(page("trip/quorvelFrameset.html"), c.page) << testing::PrintToString(c.options);
  }
  expectLinksResolve();
}

// A frameset section is a template like the others: only its first "%d"
// becomes the width and "%%" is left as it is.
TEST_F(PicturePages, ConfiguredFramesetReplacesEveryBuiltInOne) {
  jpeg("a/b/p.jpg", 300, 300);
  const std::string option = conf(
      "<frameset><frameset cols=\"%d,*\" rows=\"40%%,*\"><!-- %d -->"
      "<frame src=\"$rootdir$quorvelTop.html\"></frameset>");
  const struct {
    std::vector<std::string> options;
    const char* width;
  } cases[] = {
      {{}, "128"}, {{"-notop"}, "128"}, {{"-notree"}, "128"}, {{"-lw:150", "-notree"}, "150"}};
  for (const auto& c : cases) {
    std::vector<std::string> options = c.options;
    options.push_back(option);
    ASSERT_EQ(run(options).status, 0);
    EXPECT_EQ(page("a/b/quorvelFrameset.html"),
              std::string("<frameset cols=\"") + c.width +
                  ",*\" rows=\"40%%,*\"><!-- %d --><frame src=\"../../quorvelTop.html\">")
        << testing::PrintToString(c.options);
  }
  expectLinksResolve();
}

TEST_F(PicturePages, PicturePageShowsCaptionThenInfoTextThenThePicture) {
  jpeg("big.jpg", 800, 600);
  text("big.txt", "<t>Beach</t> at noon");
  jpeg("cafe.jpg", 300, 300);
  text("cafe.txt", "<t>Caf\xe9</t> cr\xe8me");
  jpeg("plain.jpg", 300, 300);
  ASSERT_EQ(run({"-infoText:cliquer pour zoomer"}).status, 0);

  EXPECT_EQ(page("big.md.html"),
            kRightBegin + "Beach at noon<br>\ncliquer pour zoomer<br>\n" + mediumView("big") + kEnd);
  EXPECT_EQ(page("cafe.html"), kRightBegin +
                                   "Caf&eacute; cr&egrave;me<br>\ncliquer pour zoomer<br>\n"
                                   "<img src=\"cafe.jpg\">" +
                                   kEnd);
  // The info text alone makes no page.
  EXPECT_FALSE(fileExists(at("plain.html")));
  EXPECT_EQ(page("quorvelLeft.html"),
            leftPage(thumb("big.md.html", 1, "big", kWide) + caption("Beach") +
                         thumb("cafe.html", 3, "cafe", kSquare) + caption("Caf&eacute;") +
                         thumb("plain.jpg", 5, "plain", kSquare),
                     {"big.vr.jpg", "cafe.vr.jpg", "plain.vr.jpg"}));
  expectLinksResolve();
}

// Names and captions in UTF-8 show their characters in the ISO-8859-1 pages;
// links keep the name's bytes, with the spaces at its ends escaped, since a
// browser strips them.
TEST_F(PicturePages, Utf8NamesAndCaptionsShowTheirCharactersAndLinksWork) {
  const std::string dir = "Vacances d'\xc3\xa9t\xc3\xa9/";
  jpeg(dir + " plage .jpg", 300, 300);
  text(dir + " plage .txt", "<t>Journ\xc3\xa9" "e</t> \xc3\xa0 la mer, 5 \xe2\x82\xac");
  ASSERT_EQ(run({}).status, 0);

  const std::string label = "Vacances d'&#233;t&#233;";
  EXPECT_NE(page("quorvelFrameset.html")
                .find(expected::subAlbumLine(1, "Vacances d%27%c3%a9t%c3%a9", label)),
            std::string::npos);
  EXPECT_NE(page(dir + "quorvelTop.html").find(" <font color=\"#ff0000\">" + label + "</font>\n"),
            std::string::npos);
  EXPECT_NE(page(dir + "quorvelLeft.html")
                .find(thumb("%20plage .html", 1, "%20plage ", kSquare) + caption("Journ&eacute;e")),
            std::string::npos);
  EXPECT_NE(page(dir + " plage .html").find("Journ&eacute;e &agrave; la mer, 5 &#8364;<br>\n"),
            std::string::npos);
  expectLinksResolve();
}

TEST_F(PicturePages, EmptyInfoTextStillBreaksTheLineAndMediumNeedsNoCaption) {
  jpeg("big.jpg", 800, 600);
  jpeg("note.jpg", 300, 300);
  text("note.txt", "just words");
  jpeg("plain.jpg", 300, 300);
  ASSERT_EQ(run({"-infoText:"}).status, 0);

  EXPECT_EQ(page("big.md.html"), kRightBegin + "<br>\n" + mediumView("big") + kEnd);
  EXPECT_EQ(page("note.html"),
            kRightBegin + "just words<br>\n<br>\n<img src=\"note.jpg\">" + kEnd);
  EXPECT_FALSE(fileExists(at("plain.html")));
  // A caption without a title section still gets its (empty) caption line.
  EXPECT_EQ(page("quorvelLeft.html"),
            leftPage(thumb("big.md.html", 1, "big", kWide) + thumb("note.html", 2, "note", kSquare) +
                         caption("") + thumb("plain.jpg", 4, "plain", kSquare),
                     {"big.vr.jpg", "note.vr.jpg", "plain.vr.jpg"}));
  expectLinksResolve();
}

TEST_F(PicturePages, TitleTxtGivesTheLeftPageItsTitleBlock) {
  const struct {
    const char* dir;
    const char* titleTxt;  // nullptr: no title.txt
    const char* block;
  } cases[] = {
      {"full", "<t>\xc9t\xe9</t> \xe0 Nice",
       "<b>&Eacute;t&eacute;</b><br>\n"
       "<font size=\"-1\">&Eacute;t&eacute; &agrave; Nice</font><br>\n&nbsp;<br>\n"},
      {"words", "in May", "<font size=\"-1\">in May</font><br>\n&nbsp;<br>\n"},
      {"tags", "<t></t>", "&nbsp;<br>\n"},
      {"empty", "", ""},
      {"none", nullptr, ""},
  };
  for (const auto& c : cases) {
    jpeg(std::string(c.dir) + "/a.jpg", 300, 300);
    if (c.titleTxt) text(std::string(c.dir) + "/title.txt", c.titleTxt);
  }
  ASSERT_EQ(run({}).status, 0);
  for (const auto& c : cases) {
    EXPECT_EQ(page(std::string(c.dir) + "/quorvelLeft.html"),
              leftPage(thumb("a.jpg", 1, "a", kSquare), {"a.vr.jpg"}, kLeftBegin, c.block))
        << c.dir;
  }
  expectLinksResolve();
}

TEST_F(PicturePages, StyleSheetIsLinkedFromTheRootAndTwoLevelsDown) {
  text("style.css", "body { margin: 0 }\n");
  jpeg("a.jpg", 300, 300);
  text("a.txt", "root");
  jpeg("x/y/b.jpg", 800, 600);
  ASSERT_EQ(run({"-css:style.css"}).status, 0);

  // The default frameset is no template: it never gets the link.
  EXPECT_EQ(page("quorvelFrameset.html"), kFramesetDefault);
  EXPECT_EQ(page("quorvelRight.html"), withCss(kRightEmpty, ""));
  EXPECT_EQ(page("quorvelLeft.html"),
            leftPage(thumb("a.html", 1, "a", kSquare) + caption(""), {"a.vr.jpg"},
                     withCss(kLeftBegin, "")));
  EXPECT_EQ(page("a.html"), withCss(kRightBegin, "") + "root<br>\n<img src=\"a.jpg\">" + kEnd);

  EXPECT_EQ(page("x/y/quorvelFrameset.html"), kFramesetDefault);
  EXPECT_EQ(page("x/y/quorvelRight.html"), withCss(kRightEmpty, "../../"));
  EXPECT_EQ(page("x/y/quorvelLeft.html"),
            leftPage(thumb("b.md.html", 1, "b", kWide), {"b.vr.jpg"},
                     withCss(kLeftBegin, "../../")));
  EXPECT_EQ(page("x/y/b.md.html"), withCss(kRightBegin, "../../") + mediumView("b") + kEnd);
  expectLinksResolve();

  // The -notree frameset is a template and does get it.
  ASSERT_EQ(run({"-css:style.css", "-notree"}).status, 0);
  EXPECT_EQ(page("quorvelFrameset.html"), withCss(kFramesetNotree, ""));
  EXPECT_EQ(page("x/y/quorvelFrameset.html"), withCss(kFramesetNotree, "../../"));
  expectLinksResolve();
}

TEST_F(PicturePages, EmptyLeftEndSectionEndsTheLeftPageAtItsScript) {
  jpeg("a.jpg", 300, 300);
  text("a.txt", "<t>Sea</t>");
  ASSERT_EQ(run({conf("<leftEnd></leftEnd>")}).status, 0);

  EXPECT_EQ(page("quorvelLeft.html"),
            leftPage(thumb("a.html", 1, "a", kSquare) + caption("Sea"), {"a.vr.jpg"}, kLeftBegin,
                     "", ""));
  // Every other page keeps its built-in frame.
  EXPECT_EQ(page("quorvelFrameset.html"), kFramesetDefault);
  EXPECT_EQ(page("quorvelRight.html"), kRightEmpty);
  EXPECT_EQ(page("a.html"), kRightBegin + "Sea<br>\n<img src=\"a.jpg\">" + kEnd);
  EXPECT_EQ(page("quorvelTop.html"),
            expected::kTopBegin + "<!----><pre><font color=\"#ff0000\">racine</font>\n</pre>\n" +
                kEnd);
  expectLinksResolve();
}

TEST_F(PicturePages, NestedTopBeginSectionIsReadToItsMatchingClose) {
  jpeg("a/p.jpg", 300, 300);
  ASSERT_EQ(
      run({conf("before <topBegin><b>%d</b><topBegin>$rootdir$</topBegin> %d</topBegin> after")})
          .status,
      0);
  EXPECT_EQ(page("a/quorvelTop.html"),
            "<b>128</b><topBegin>../</topBegin> %d"
            "<!--a/--><pre><a href=\"../quorvelFrameset.html\" target=\"_top\">racine</a>\n"
            " <font color=\"#ff0000\">a</font>\n</pre>\n" +
                kEnd);
  expectLinksResolve();
}

TEST_F(PicturePages, ConfSectionOf1496CharactersIsTakenWordForWord) {
  jpeg("a.jpg", 300, 300);
  // End texts are not templates: "%d" and "$rootdir$" stay as written.
  std::string section = "%d $rootdir$\n";
  section += std::string(1496 - section.size(), 'x');
  ASSERT_EQ(run({conf("<leftEnd>" + section + "</leftEnd>")}).status, 0);
  EXPECT_EQ(page("quorvelLeft.html"),
            leftPage(thumb("a.jpg", 1, "a", kSquare), {"a.vr.jpg"}, kLeftBegin, "", section));
}

TEST_F(PicturePages, ConfSectionOf1497CharactersStopsTheRunBeforeTheWalk) {
  jpeg("a.jpg", 300, 300);
  const std::string option = conf("<leftEnd>" + std::string(1497, 'x') + "</leftEnd>");
  RunResult r = testsupport::runQuorvel({"photos", option}, dir_.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "**** ERROR quorvel : in conf, section <leftEnd> too large\n");
  EXPECT_EQ(r.out.find("########"), std::string::npos) << r.out;
  for (const char* none : {"quorvelFrameset.html", "quorvelLeft.html", "a.vi.jpg"})
    EXPECT_FALSE(fileExists(at(none))) << none;
}

}  // namespace
