#include "pages/album_pages.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>

#include "album/pipeline.h"
#include "base/settings.h"
#include "util/caption_file.h"
#include "pages/expected_pages.h"
#include "pages/media_pages.h"
#include "pages/templates.h"
#include "support/test_support.h"
#include "util/str_list.h"

using testsupport::fileExists;
using testsupport::makeJpeg;
using testsupport::readFile;
using testsupport::TempDir;
using testsupport::writeFile;

namespace {

// The Left page entry of a picture, as written for the given names.
std::string entry(const std::string& target, int index, const std::string& vr,
                  const std::string& vi, const std::string& size = "") {
  return "<a href=\"" + target + "\" target=\"right\" onMouseOver=\"return _1('i" +
         std::to_string(index) + "','" + vr + "','" + vi +
         "','zoom...');\" onMouseOut=\"return _2();\"><img name=\"i" + std::to_string(index) +
         "\" src=\"" + vi + "\"" + size + " border=\"0\" vspace=\"1\"></a><br>\n";
}

class AlbumPages : public ::testing::Test {
 protected:
  void SetUp() override {
    resetPageState();
    testsupport::makeDirs(root_);
  }
  void TearDown() override {
    EXPECT_EQ(left_.commit(), 0);
    resetPageState();
  }

  // htmlAddPicture for base.ext in the album's subdirectory sub ("" for the
  // root), with the entry the pipeline would pass.
  void addPicture(const std::string& sub, const std::string& base, const std::string& ext,
                  int index, bool medium) {
    const std::string rel = sub + base + ext;
    const std::string dir = root_ + "/" + sub;
    const std::string pic = dir + base + ext;
    testsupport::makeDirs(dir);
    htmlAddPicture(pages_, pictureEntry(pic.c_str(), rel.c_str(), index, medium, pictureNames(pic.c_str())));
  }

  // The Left page so far (closes it).
  std::string leftPage(const std::string& sub = "") {
    EXPECT_EQ(left_.commit(), 0);
    return readFile(root_ + "/" + sub + "quorvelLeft.html");
  }
  std::string page(const std::string& name) { return readFile(root_ + "/" + name); }

  // A -hidpi entry of pic (at the album root, held by the caller): thumbnail at
  // three densities, medium view, large view largeWidth wide (none for 0).
  PictureEntry hidpiEntry(const std::string& pic, int index, PictureSize medium, int largeWidth) {
    const std::string stem = pic.substr(0, pic.rfind('.'));
    PictureEntry entry;
    entry.path = pic.c_str();
    entry.relPath = entry.path + root_.size() + 1;
    entry.index = index;
    for (auto [name, suffix] :
         {std::pair{&PictureEntry::microPath, ".vi.jpg"}, {&PictureEntry::micro2Path, ".vi2.jpg"},
          {&PictureEntry::micro3Path, ".vi3.jpg"}, {&PictureEntry::rolloverPath, ".vr.jpg"},
          {&PictureEntry::mediumPath, ".md.jpg"}, {&PictureEntry::pagePath, ".md.html"}})
      entry.*name = stem + suffix;
    entry.microSize = {true, 96, 72};
    entry.mediumSize = medium;
    if (largeWidth) entry.largePath = stem + ".lg.jpg";
    entry.largeSize = {largeWidth > 0, largeWidth, largeWidth * 3 / 4};
    return entry;
  }

  std::string titleBlock(const std::string& titleTxt) {
    writeFile(root_ + "/title.txt", titleTxt);
    const std::string out = dir_ / "block.html";
    FILE* f = fopen(out.c_str(), "wt");
    htmlWriteTitleBlock(f, (root_ + "/pic.jpg").c_str());
    fclose(f);
    return readFile(out);
  }

  TempDir dir_;
  const std::string root_ = dir_ / "photos";
  DirectoryPages pages_;
  TempFile& left_ = pages_.left;
  int& rightWritten_ = pages_.rightWritten;
  StrList& preload_ = pages_.preload;
};

TEST_F(AlbumPages, CaptionTextIsPlainAndTitleIsTheTSections) {
  writeFile(root_ + "/a.txt", "<t>Beach</t> at noon");
  char text[1500], title[150];
  ASSERT_TRUE(captionRead(text, 1500, title, 150, (root_ + "/a.txt").c_str()));
  EXPECT_STREQ("Beach at noon", text);
  EXPECT_STREQ("Beach", title);

  writeFile(root_ + "/b.txt", "<t>A</t><t>B</t>");
  ASSERT_TRUE(captionRead(text, 1500, title, 150, (root_ + "/b.txt").c_str()));
  EXPECT_STREQ("A - B", title);
}

TEST_F(AlbumPages, CaptionMissingLeavesBuffersUntouched) {
  char text[1500] = "keep", title[150] = "me";
  EXPECT_FALSE(captionRead(text, 1500, title, 150, (root_ + "/none.txt").c_str()));
  writeFile(root_ + "/empty.txt", "");
  EXPECT_FALSE(captionRead(text, 1500, title, 150, (root_ + "/empty.txt").c_str()));
  EXPECT_STREQ("keep", text);
  EXPECT_STREQ("me", title);
}

TEST_F(AlbumPages, CaptionOfAnyLengthIsCutToItsBuffers) {
  writeFile(root_ + "/long.txt", "<t>" + std::string(400, 't') + "</t>" + std::string(5000, 'x'));
  char text[1500], title[150];
  ASSERT_TRUE(captionRead(text, 1500, title, 150, (root_ + "/long.txt").c_str()));
  EXPECT_EQ(std::string(400, 't') + std::string(1099, 'x'), text);
  EXPECT_EQ(std::string(149, 't'), title);
}

// A UTF-8 character cut by the buffer's end goes; an ISO-8859-1 text that
// merely looks cut keeps its last byte.
TEST_F(AlbumPages, CaptionCutInsideAUtf8CharacterEndsBeforeIt) {
  const std::string e = "\xc3\xa9";
  writeFile(root_ + "/u.txt", "<t>" + e + std::string(146, 't') + e + "</t>" +
                                  std::string(1348, 'x') + e + "zz");
  char text[1500], title[150];
  ASSERT_TRUE(captionRead(text, 1500, title, 150, (root_ + "/u.txt").c_str()));
  EXPECT_EQ(e + std::string(146, 't'), title);
  EXPECT_EQ(e + std::string(146, 't') + e + std::string(1348, 'x'), text);

  // Built by appending: GCC 12 takes "literal" + std::string for an overlap.
  const std::string latin = std::string("\xe9").append(1497, 'x');
  writeFile(root_ + "/i.txt", latin + "\xe9\xe9");
  ASSERT_TRUE(captionRead(text, 1500, title, 150, (root_ + "/i.txt").c_str()));
  EXPECT_EQ(latin + "\xe9", text);
}

TEST_F(AlbumPages, TitleBlockShowsTitleTextAndSpacer) {
  EXPECT_EQ("<b>Trip</b><br>\n<font size=\"-1\">Trip in summer</font><br>\n&nbsp;<br>\n",
            titleBlock("<t>Trip</t> in summer"));
  EXPECT_EQ("&nbsp;<br>\n", titleBlock("<t></t>"));
  EXPECT_EQ("", titleBlock(""));
}

TEST_F(AlbumPages, DefaultFramesetIsFormattedWithTheWidthOnly) {
  gSettings.lw = 150;
  gSettings.css = "style.css";  // no link: the default frameset is not a template
  testsupport::makeDirs(root_ + "/sub");
  htmlWriteFrameset((root_ + "/sub/pic.jpg").c_str(), "sub/pic.jpg");
  EXPECT_EQ(expected::kFramesetDefault150, readFile(root_ + "/sub/quorvelFrameset.html"));
}

TEST_F(AlbumPages, NotreeAndNotopFramesetsHaveSinglePercent) {
  gSettings.lw = 150;
  gTemplates.frameset = kFramesetNotree;
  htmlWriteFrameset((root_ + "/pic.jpg").c_str(), "pic.jpg");
  EXPECT_EQ(expected::kFramesetNotree150, page("quorvelFrameset.html"));
  gTemplates.frameset = kFramesetNotop;
  htmlWriteFrameset((root_ + "/pic.jpg").c_str(), "pic.jpg");
  EXPECT_EQ(expected::kFramesetNotop150, page("quorvelFrameset.html"));
}

TEST_F(AlbumPages, NotreeFramesetGetsTheStyleSheetLink) {
  gSettings.lw = 150;
  gSettings.css = "style.css";
  gTemplates.frameset = kFramesetNotree;
  testsupport::makeDirs(root_ + "/sub");
  htmlWriteFrameset((root_ + "/sub/pic.jpg").c_str(), "sub\\pic.jpg");
  std::string want = expected::kFramesetNotree150;
  want.insert(want.find("</head>"), expected::cssLink("../"));
  EXPECT_EQ(want, readFile(root_ + "/sub/quorvelFrameset.html"));
}

TEST_F(AlbumPages, ConfiguredFramesetGoesThroughTheEmitter) {
  gTemplates.frameset = "<f %d %d %% $rootdir$>";
  testsupport::makeDirs(root_ + "/a/b");
  htmlWriteFrameset((root_ + "/a/b/pic.jpg").c_str(), "a\\b/pic.jpg");
  EXPECT_EQ("<f 128 %d %% ../../>", readFile(root_ + "/a/b/quorvelFrameset.html"));
}

TEST_F(AlbumPages, FirstSmallPictureOpensTheAlbum) {
  makeJpeg(root_ + "/pic.vi.jpg", 96, 72);
  addPicture("", "pic", ".jpg", 1, false);

  EXPECT_TRUE(left_);
  EXPECT_EQ(1, rightWritten_);
  EXPECT_STREQ("pic.vr.jpg", strListNames(&preload_));
  EXPECT_EQ(expected::kRightEmpty, page("quorvelRight.html"));
  EXPECT_TRUE(fileExists(root_ + "/quorvelFrameset.html"));
  EXPECT_FALSE(fileExists(root_ + "/pic.html"));
  EXPECT_EQ(expected::kLeftBegin + "<center>\n" +
                entry("pic.jpg", 1, "pic.vr.jpg", "pic.vi.jpg", " width=\"96\" height=\"72\""),
            leftPage());
}

TEST_F(AlbumPages, SecondPictureAddsOnlyItsEntry) {
  writeFile(root_ + "/title.txt", "<t>Trip</t>");
  addPicture("", "a", ".jpg", 1, false);
  remove((root_ + "/quorvelFrameset.html").c_str());
  remove((root_ + "/quorvelRight.html").c_str());
  addPicture("", "b", ".jpg", 2, false);

  EXPECT_FALSE(fileExists(root_ + "/quorvelFrameset.html"));
  EXPECT_FALSE(fileExists(root_ + "/quorvelRight.html"));
  const NameList names = strListNames(&preload_);
  EXPECT_STREQ("a.vr.jpg", names);
  EXPECT_STREQ("b.vr.jpg", names + 9);
  EXPECT_EQ(expected::kLeftBegin + "<b>Trip</b><br>\n<font size=\"-1\">Trip</font><br>\n" +
                "&nbsp;<br>\n<center>\n" + entry("a.jpg", 1, "a.vr.jpg", "a.vi.jpg") +
                entry("b.jpg", 2, "b.vr.jpg", "b.vi.jpg"),
            leftPage());
}

TEST_F(AlbumPages, EmptyRightPageIsNotWrittenOverAnMp3Page) {
  writeFile(root_ + "/quorvelRight.html", "mp3 page");
  rightWritten_ = 1;
  htmlWriteRightEmpty(rightWritten_, "song.mp3", (root_ + "/song.mp3").c_str());
  addPicture("", "pic", ".jpg", 1, false);
  EXPECT_EQ("mp3 page", page("quorvelRight.html"));
}

TEST_F(AlbumPages, SmallPictureWithCaptionGetsItsOwnPage) {
  writeFile(root_ + "/pic.txt", "<t>Beach</t> at noon");
  addPicture("", "pic", ".jpg", 3, false);
  EXPECT_EQ(expected::kRightBegin + "Beach at noon<br>\n<img src=\"pic.jpg\">" + expected::kEnd,
            page("pic.html"));
  EXPECT_EQ(expected::kLeftBegin + "<center>\n" +
                entry("pic.html", 3, "pic.vr.jpg", "pic.vi.jpg") +
                "<font size=\"-1\">Beach</font><br>&nbsp;<br>\n",
            leftPage());
}

TEST_F(AlbumPages, LargePictureShowsItsMediumLinkedToTheSource) {
  makeJpeg(root_ + "/pic.md.jpg", 64, 48);
  addPicture("", "pic", ".jpg", 1, true);
  EXPECT_EQ(expected::kRightBegin +
                "<a href=\"pic.jpg\"><img src=\"pic.md.jpg\" width=\"64\" height=\"48\" "
                "border=\"0\" vspace=\"1\"></a>\n" +
                expected::kEnd,
            page("pic.md.html"));
  EXPECT_FALSE(fileExists(root_ + "/pic.html"));
  EXPECT_EQ(expected::kLeftBegin + "<center>\n" +
                entry("pic.md.html", 1, "pic.vr.jpg", "pic.vi.jpg"),
            leftPage());
}

TEST_F(AlbumPages, InfoTextFollowsTheCaptionAndEmptyTitleStillShows) {
  gSettings.infoText = "cliquer pour zoomer";
  writeFile(root_ + "/pic.txt", "plain words");
  addPicture("", "pic", ".jpg", 1, true);
  EXPECT_EQ(expected::kRightBegin + "plain words<br>\ncliquer pour zoomer<br>\n" +
                "<a href=\"pic.jpg\"><img src=\"pic.md.jpg\" border=\"0\" vspace=\"1\"></a>\n" +
                expected::kEnd,
            page("pic.md.html"));
  EXPECT_EQ(expected::kLeftBegin + "<center>\n" +
                entry("pic.md.html", 1, "pic.vr.jpg", "pic.vi.jpg") +
                "<font size=\"-1\"></font><br>&nbsp;<br>\n",
            leftPage());
}

TEST_F(AlbumPages, InfoTextAloneGivesNoPage) {
  gSettings.infoText = "";
  addPicture("", "pic", ".jpg", 1, false);
  EXPECT_FALSE(fileExists(root_ + "/pic.html"));
}

TEST_F(AlbumPages, GifPicturePagesFollowItsName) {
  addPicture("", "anim", ".gif", 1, true);
  addPicture("", "still", ".gif", 2, false);
  EXPECT_TRUE(fileExists(root_ + "/anim.md.html"));
  EXPECT_EQ(expected::kLeftBegin + "<center>\n" +
                entry("anim.md.html", 1, "anim.vr.jpg", "anim.vi.jpg") +
                entry("still.gif", 2, "still.vr.jpg", "still.vi.jpg"),
            leftPage());
}

TEST_F(AlbumPages, RootdirClimbsFromTheSubdirectory) {
  gTemplates.rightBegin = "[$rootdir$]";
  gTemplates.rightEnd = "";
  gTemplates.leftBegin = "{$rootdir$}";
  gTemplates.rightEmpty = "($rootdir$)";
  writeFile(root_ + "/sub/pic.txt", "c");
  addPicture("sub/", "pic", ".jpg", 1, false);
  EXPECT_EQ("[../]c<br>\n<img src=\"pic.jpg\">", readFile(root_ + "/sub/pic.html"));
  EXPECT_EQ("(../)", readFile(root_ + "/sub/quorvelRight.html"));
  EXPECT_EQ("{../}<center>\n", leftPage("sub/").substr(0, 14));
}

TEST_F(AlbumPages, StyleSheetLinkInLeftAndRightPages) {
  gSettings.css = "style.css";
  writeFile(root_ + "/a/b/pic.txt", "c");
  addPicture("a/b/", "pic", ".jpg", 1, false);
  std::string head = expected::kHead;
  head.insert(head.find("</head>"), expected::cssLink("../../"));
  EXPECT_EQ(head + expected::kBody + expected::kEnd, readFile(root_ + "/a/b/quorvelRight.html"));
  EXPECT_EQ(head + expected::kBody + "c<br>\n<img src=\"pic.jpg\">" + expected::kEnd,
            readFile(root_ + "/a/b/pic.html"));
  std::string leftBegin = expected::kLeftBegin;
  leftBegin.insert(leftBegin.find("</head>"), expected::cssLink("../../"));
  EXPECT_EQ(leftBegin, leftPage("a/b/").substr(0, leftBegin.size()));
}

TEST_F(AlbumPages, NamesAreEscapedInLinksAndScriptArguments) {
  writeFile(root_ + "/it's #1 100%.txt", "c");
  addPicture("", "it's #1 100%", ".jpg", 1, true);
  addPicture("", "caf\xe9<\"&>", ".jpg", 2, false);
  EXPECT_EQ(expected::kRightBegin + "c<br>\n<a href=\"it%27s %231 100%25.jpg\">" +
                "<img src=\"it%27s %231 100%25.md.jpg\" border=\"0\" vspace=\"1\"></a>\n" +
                expected::kEnd,
            page("it's #1 100%.md.html"));
  EXPECT_EQ(expected::kLeftBegin + "<center>\n" +
                entry("it%27s %231 100%25.md.html", 1, "it%27s %231 100%25.vr.jpg",
                      "it%27s %231 100%25.vi.jpg") +
                "<font size=\"-1\"></font><br>&nbsp;<br>\n" +
                entry("caf%e9%3c%22%26%3e.jpg", 2, "caf%e9%3c%22%26%3e.vr.jpg",
                      "caf%e9%3c%22%26%3e.vi.jpg"),
            leftPage());
  // The preload list keeps the names as they are; the walk escapes them.
  EXPECT_STREQ("it's #1 100%.vr.jpg", strListNames(&preload_));
}

TEST_F(AlbumPages, HidpiThumbnailsOfferEveryDensityAndLoadLazilyPastTheFirstScreen) {
  gSettings.hidpi = true;
  for (int i = 1; i <= 13; ++i)
    htmlAddPicture(pages_, hidpiEntry(root_ + (i == 1 ? "/beach, day 1.jpg" : "/p" + std::to_string(i) + ".jpg"), i,
                                      {true, 640, 480}, 2048));
  ASSERT_TRUE(htmlFinishLeft(pages_));
  const std::string left = page("quorvelLeft.html");
  // A space or a comma would split a srcset candidate: escaped there only.
  EXPECT_EQ(expected::kLeftBegin + kHidpiSwapScript + "<center>\n" +
                entry("beach, day 1.md.html", 1, "beach, day 1.vr.jpg", "beach, day 1.vi.jpg",
                      " srcset=\"beach%2c%20day%201.vi.jpg 1x, beach%2c%20day%201.vi2.jpg 2x, "
                      "beach%2c%20day%201.vi3.jpg 3x\" width=\"96\" height=\"72\""),
            left.substr(0, left.find("<a href=\"p2.md.html\"")));
  // Twelve load with the page, the thirteenth when scrolled to; no rollover is preloaded.
  EXPECT_GT(left.find("loading="), left.find("name=\"i13\""));
  EXPECT_TRUE(left.ends_with(entry("p13.md.html", 13, "p13.vr.jpg", "p13.vi.jpg",
                                   " srcset=\"p13.vi.jpg 1x, p13.vi2.jpg 2x, p13.vi3.jpg 3x\" width=\"96\" "
                                   "height=\"72\" loading=\"lazy\" decoding=\"async\"") +
                             "</center>\n" + expected::kEnd));
}

TEST_F(AlbumPages, HidpiPicturePageLinksTheLargeViewNotTheOriginal) {
  gSettings.hidpi = true;
  const std::string heic = root_ + "/pic.heic", small = root_ + "/small.jpg";
  PictureEntry withLarge = hidpiEntry(heic, 1, {true, 640, 480}, 2048);
  withLarge.originalDownload = true;
  htmlAddPicture(pages_, withLarge);
  htmlAddPicture(pages_, hidpiEntry(small, 2, {true, 300, 200}, 0));
  const std::string medium = "<img src=\"pic.md.jpg\" srcset=\"pic.md.jpg 640w, pic.lg.jpg 2048w\" sizes=\"640px\" "
                             "width=\"640\" height=\"480\" border=\"0\" vspace=\"1\">";
  EXPECT_EQ(expected::kRightBegin + "<a href=\"pic.lg.jpg\">" + medium + "</a>\n" + expected::kEnd,
            page("pic.md.html"));
  // Not larger than the medium box: its medium view, at its own size, unlinked.
  EXPECT_EQ(expected::kRightBegin + "<img src=\"small.md.jpg\" width=\"300\" height=\"200\" border=\"0\" "
                                    "vspace=\"1\">\n" + expected::kEnd,
            page("small.md.html"));
  gSettings.linkOriginals = true;
  htmlAddPicture(pages_, withLarge);
  EXPECT_EQ(expected::kRightBegin + "<a href=\"pic.heic\" download>" + medium + "</a>\n" + expected::kEnd,
            page("pic.md.html"));
}

TEST_F(AlbumPages, NavVideoIsATileWithItsLengthAndItsPagePlaysItAtThePostersSize) {
  gSettings.nav = true;
  gSettings.hidpi = true;
  const std::string clipPath = root_ + "/clip.mp4", oldPath = root_ + "/old.webm";
  PictureEntry clip = hidpiEntry(clipPath, 1, {true, 360, 640}, 1080);
  clip.videoLink = "clip.mp4";
  clip.durationMs = 3'723'400;
  htmlAddPicture(pages_, clip);
  PictureEntry unknown = hidpiEntry(oldPath, 2, {true, 640, 360}, 0);
  unknown.videoLink = "old.webm";
  htmlAddPicture(pages_, unknown);
  ASSERT_TRUE(htmlFinishLeft(pages_));
  const std::string left = page("quorvelLeft.html");
  EXPECT_NE(left.find("<a href=\"clip.md.html\" target=\"right\" class=\"quorvel-video\" onMouseOver="), std::string::npos);
  EXPECT_NE(left.find("alt=\"clip.mp4\" border=\"0\" vspace=\"1\"><span class=\"quorvel-play\">&#9654; 1:02:03</span></a>"),
            std::string::npos);
  EXPECT_NE(left.find("<span class=\"quorvel-play\">&#9654;</span>"), std::string::npos);
  // Under -hidpi the poster is the large view when there is one.
  EXPECT_NE(page("clip.md.html").find("<div class=\"quorvel-media\"><video controls playsinline preload=\"metadata\" "
                                      "poster=\"clip.lg.jpg\" src=\"clip.mp4\" width=\"360\" height=\"640\"></video></div>"),
            std::string::npos);
  EXPECT_NE(page("old.md.html").find("poster=\"old.md.jpg\" src=\"old.webm\""), std::string::npos);
  EXPECT_NE(page("old.md.html").find("<a href=\"clip.md.html\" rel=\"prev\""), std::string::npos);
}

TEST_F(AlbumPages, NavLivePhotoPageOffersItsMotionOverThePhoto) {
  gSettings.nav = true;
  const std::string photoPath = root_ + "/IMG_1.JPG";
  PictureEntry photo = hidpiEntry(photoPath, 1, {true, 640, 480}, 0);
  photo.motionLink = "IMG_1.MOV";
  htmlAddPicture(pages_, photo);
  ASSERT_TRUE(htmlFinishLeft(pages_));
  const std::string pic = page("IMG_1.md.html");
  const size_t button = pic.find("<button type=\"button\" class=\"quorvel-live\""), view = pic.find("<a href=\"IMG_1.JPG\"");
  const size_t motion = pic.find("<video class=\"quorvel-motion\" src=\"IMG_1.MOV\" muted playsinline preload=\"none\"");
  ASSERT_NE(motion, std::string::npos);
  EXPECT_LT(button, view);
  // The script finds the photo as the element right before the motion.
  EXPECT_EQ(pic.substr(view, motion - view).find("</a>\n"), pic.substr(view, motion - view).size() - 5);
}

TEST_F(AlbumPages, NavSheetTakesTheEmptyRightPagesPlaceUnlessMusicStandsThere) {
  gSettings.nav = true;
  writeFile(root_ + "/title.txt", "<t>Coast</t> in May");
  addPicture("", "a", ".jpg", 1, false);
  addPicture("", "b", ".jpg", 2, true);
  ASSERT_TRUE(htmlFinishLeft(pages_));
  const std::string sheet = page("quorvelRight.html");
  EXPECT_NE(sheet.find("<title>Coast</title>"), std::string::npos);
  EXPECT_NE(sheet.find("<b>Coast</b><br>\n<font size=\"-1\">in May</font>"), std::string::npos);
  EXPECT_NE(sheet.find("<div class=\"quorvel-sheet\">\n<a href=\"a.html\"><img src=\"a.vi.jpg\" alt=\"a.jpg\"></a>\n"
                       "<a href=\"b.md.html\"><img src=\"b.vi.jpg\" alt=\"b.jpg\"></a>\n</div>"),
            std::string::npos);

  DirectoryPages music;
  const std::string sub = root_ + "/music/";
  testsupport::makeDirs(sub);
  writeFile(sub + "song.mp3", "ID3");
  htmlAddMp3(music, (sub + "song.mp3").c_str(), static_cast<int>(root_.size()) + 1);
  htmlAddPicture(music, pictureEntry((sub + "c.jpg").c_str(), "music/c.jpg", 1, false, pictureNames((sub + "c.jpg").c_str())));
  ASSERT_TRUE(htmlFinishLeft(music));
  htmlCloseMedia(music);
  EXPECT_NE(readFile(sub + "quorvelRight.html").find("song.mp3"), std::string::npos);
}

TEST_F(AlbumPages, UnwritablePageEndsTheRun) {
  const std::string pic = dir_ / "missing/pic.jpg";
  EXPECT_EXIT(htmlWriteFrameset(pic.c_str(), "pic.jpg"), ::testing::ExitedWithCode(1),
              "can't create \"" + (dir_ / "missing/quorvelFrameset.html") + "\"");
}

}  // namespace
