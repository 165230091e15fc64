#include "pages/templates.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "base/settings.h"
#include "pages/expected_pages.h"
#include "support/test_support.h"

using testsupport::readFile;
using testsupport::TempDir;
using testsupport::writeFile;

namespace {

class Templates : public ::testing::Test {
 protected:
  void SetUp() override { resetPageState(); }
  void TearDown() override { resetPageState(); }

  // What templateWrite writes for text and relPath.
  std::string emit(const char* relPath, const std::string& text) {
    const std::string path = dir_ / "out.html";
    FILE* out = fopen(path.c_str(), "wt");
    templateWrite(out, relPath, text.c_str());
    fclose(out);
    return readFile(path);
  }

  // Loads conf as the -conf: file.
  void load(const std::string& conf) {
    writeFile(dir_ / "conf.txt", conf);
    confLoad((dir_ / "conf.txt").c_str());
  }

  TempDir dir_;
};

TEST_F(Templates, BuiltInTextsAreThePages) {
  using namespace expected;
  struct Case {
    const char* name;
    const char* slot;
    std::string text;
  } cases[] = {
      {"topBegin", gTemplates.topBegin, kTopBegin},
      {"topEnd", gTemplates.topEnd, kEnd},
      {"rightEmpty", gTemplates.rightEmpty, kRightEmpty},
      {"rightBegin", gTemplates.rightBegin, kRightBegin},
      {"rightEnd", gTemplates.rightEnd, kEnd},
      {"leftBegin", gTemplates.leftBegin, kLeftBegin},
      {"leftEnd", gTemplates.leftEnd, kEnd},
      {"mp3Begin", gTemplates.mp3Begin, kMp3Begin},
      {"mp3End", gTemplates.mp3End, kListEnd},
      {"m3uBegin", gTemplates.m3uBegin, "#EXTM3U\n"},
      {"m3uEnd", gTemplates.m3uEnd, ""},
      {"videoBegin", gTemplates.videoBegin, kVideoBegin},
      {"videoEnd", gTemplates.videoEnd, kListEnd},
  };
  for (const Case& c : cases) EXPECT_EQ(c.text, c.slot) << c.name;
  EXPECT_EQ(kFramesetDefault, gTemplates.frameset);
}

TEST_F(Templates, BuiltInFramesetsHoldWidthAndPercentForPrintf) {
  char page[4096];
  snprintf(page, sizeof page, kFramesetDefault, 150);
  EXPECT_EQ(expected::kFramesetDefault150, page);
  snprintf(page, sizeof page, kFramesetNotree, 150);
  EXPECT_EQ(expected::kFramesetNotree150, page);
  snprintf(page, sizeof page, kFramesetNotop, 150);
  EXPECT_EQ(expected::kFramesetNotop150, page);
}

TEST_F(Templates, WidthReplacesOnlyTheFirstPercentD) {
  gSettings.lw = 150;
  EXPECT_EQ("<head>150 %d</head><body>%d", emit("pic.jpg", "<head>%d %d</head><body>%d"));
  EXPECT_EQ("no width here %s %%", emit("pic.jpg", "no width here %s %%"));
}

TEST_F(Templates, RootdirClimbsOncePerSeparator) {
  const std::string text = "[$rootdir$a.css][$rootdir$]";
  EXPECT_EQ("[a.css][]", emit("pic.jpg", text));
  EXPECT_EQ("[../a.css][../]", emit("sub/pic.jpg", text));
  EXPECT_EQ("[../../a.css][../../]", emit("a\\b/pic.jpg", text));
}

TEST_F(Templates, CssLinkStandsBeforeHeadCloseAndLeadsToTheRoot) {
  gSettings.css = "style.css";
  const std::string text = "<html><head>\n</head>\n<body>";
  EXPECT_EQ("<html><head>\n" + expected::cssLink("") + "</head>\n<body>", emit("pic.jpg", text));
  EXPECT_EQ("<html><head>\n" + expected::cssLink("../../") + "</head>\n<body>",
            emit("a/b/pic.jpg", text));
}

TEST_F(Templates, CssLinkPrefersLowerCaseTagAndNeedsOne) {
  gSettings.css = "style.css";
  EXPECT_EQ("<HEAD>" + expected::cssLink("") + "</HEAD>", emit("p", "<HEAD></HEAD>"));
  EXPECT_EQ("</HEAD>" + expected::cssLink("") + "</head>", emit("p", "</HEAD></head>"));
  EXPECT_EQ("<head><body>", emit("p", "<head><body>"));
}

TEST_F(Templates, CssLinkKeepsOneWidthOnEachSideOfTheTag) {
  gSettings.css = "style.css";
  gSettings.lw = 99;
  EXPECT_EQ("99 %d" + expected::cssLink("") + "</head>99 %d",
            emit("p", "%d %d</head>%d %d"));
  EXPECT_EQ(expected::cssLink("") + "</head>99 %d", emit("p", "</head>%d %d"));
}

TEST_F(Templates, CssTextOfAnyLengthIsLinkedWhole) {
  const std::string css(5000, 'c');
  gSettings.css = css.c_str();
  EXPECT_EQ("<link rel=\"stylesheet\" type=\"text/css\" href=\"../" + css + "\">\n</head>",
            emit("sub/p", "</head>"));
}

TEST_F(Templates, ConfEmptySectionEmptiesOnlyThatSlot) {
  load("<leftEnd></leftEnd>");
  EXPECT_STREQ("", gTemplates.leftEnd);
  EXPECT_EQ(expected::kEnd, gTemplates.rightEnd);
  EXPECT_EQ(expected::kLeftBegin, gTemplates.leftBegin);
  EXPECT_EQ(kFramesetDefault, gTemplates.frameset);
}

TEST_F(Templates, ConfFramesetReplacesTheChosenOne) {
  gTemplates.frameset = kFramesetNotree;
  load("junk <frameset>\n<f cols=\"%d\" rows=\"40%%\">\n</frameset> junk");
  EXPECT_STREQ("\n<f cols=\"%d\" rows=\"40%%\">\n", gTemplates.frameset);
}

TEST_F(Templates, ConfSectionsAnyOrderFirstCountsNamesExact) {
  load("<videoEnd>V</videoEnd><TOPEND>no</TOPEND><topBegin>T1</topBegin>"
       "<topBegin>T2</topBegin><mp3Begin>line 1\nline 2\n</mp3Begin>");
  EXPECT_STREQ("V", gTemplates.videoEnd);
  EXPECT_STREQ("T1", gTemplates.topBegin);
  EXPECT_STREQ("line 1\nline 2\n", gTemplates.mp3Begin);
  EXPECT_EQ(expected::kEnd, gTemplates.topEnd);
}

TEST_F(Templates, ConfNestedSectionIsReadToItsMatchingClose) {
  load("<topBegin>a<topBegin>b</topBegin>c</topBegin>");
  EXPECT_STREQ("a<topBegin>b</topBegin>c", gTemplates.topBegin);
}

TEST_F(Templates, ConfSectionOf1496CharactersIsTaken) {
  const std::string body(1496, 'x');
  load("<topEnd>" + body + "</topEnd>");
  EXPECT_EQ(body, gTemplates.topEnd);
}

TEST_F(Templates, ConfSectionOf1497CharactersEndsTheRun) {
  const std::string conf = "<topEnd>" + std::string(1497, 'x') + "</topEnd>";
  EXPECT_EXIT(load(conf), ::testing::ExitedWithCode(1),
              "\\*\\*\\*\\* ERROR quorvel : in conf, section <topEnd> too large");
}

TEST_F(Templates, ConfHugeSectionEndsTheRunWithoutOverrun) {
  const std::string conf = "<leftBegin>" + std::string(200000, 'y') + "</leftBegin>";
  EXPECT_EXIT(load(conf), ::testing::ExitedWithCode(1), "section <leftBegin> too large");
}

TEST_F(Templates, ConfMissingOrEmptyFileEndsTheRun) {
  const std::string missing = dir_ / "none.txt";
  EXPECT_EXIT(confLoad(missing.c_str()), ::testing::ExitedWithCode(1),
              "can't load conf file \"" + missing + "\"");
  EXPECT_EXIT(load(""), ::testing::ExitedWithCode(1), "can't load conf file");
}

TEST_F(Templates, ResetRestoresBuiltInsAfterConf) {
  load("<rightEnd>R</rightEnd>");
  templatesReset();
  EXPECT_EQ(expected::kEnd, gTemplates.rightEnd);
}

TEST_F(Templates, NavGivesBuiltInSlotsTheirPhoneFormAndLeavesTheConfsOwn) {
  load("<rightBegin><html><body></rightBegin>");
  gTemplates.frameset = kFramesetNotop;
  templatesNavLook();
  EXPECT_STREQ(gTemplates.rightBegin, "<html><body>");
  for (const char* slot : {gTemplates.topBegin, gTemplates.leftBegin, gTemplates.rightEmpty, gTemplates.mp3Begin,
                           gTemplates.videoBegin})
    EXPECT_NE(std::string(slot).find("<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"),
              std::string::npos)
        << slot;
  EXPECT_STREQ(gTemplates.m3uBegin, "#EXTM3U\n");
  // -notop's grid has no tree; its width still comes from -lw:.
  const std::string frameset = gTemplates.frameset;
  EXPECT_NE(frameset.find("grid-template:\"l r\" 1fr/%dpx 1fr}"), std::string::npos);
  EXPECT_EQ(frameset.find("quorvelTop.html"), std::string::npos);
  EXPECT_NE(frameset.find("<iframe id=\"r\" name=\"right\" src=\"quorvelRight.html\""), std::string::npos);
  templatesReset();
  gTemplates.frameset = kFramesetNotree;
  templatesNavLook();
  EXPECT_NE(std::string(gTemplates.frameset).find("src=\"quorvelTop.html#ici\""), std::string::npos);
}

}  // namespace
