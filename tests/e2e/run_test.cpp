// The program as a user runs it: notice, cv.html, usage, exit statuses and
// the walk's standard output.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "support/link_check.h"
#include "support/test_support.h"

namespace {

using testsupport::readFile;
using testsupport::runQuorvel;
using testsupport::TempDir;
using testsupport::writeFile;

const char kNotice[] =
    "quorvel " QUORVEL_VERSION " - static photo albums\n"
    "thumbnails, rollover lenses and frameset pages beside your pictures\n"
    "cv.html in the current directory tells more\n"
    "\n";

const char kUsage[] =
    "utilisation :\n"
    "\n"
    "   quorvel  dir  [ options ]\n"
    "\n"
    "arguments :\n"
    "\n"
    "   dir   directory to parse, ie : \".\" or \"c:\\toto\"\n"
    "\n"
    "options :\n"
    "\n"
    "   -mp3      deal with mp3 files\n"
    "   -mp3:dir  deal with mp3 files, prefix m3u with dir\n"
    "   -mp3KoMo  add mp3 fils size\n"
    "   -video    deal with mpg video mpeg files\n"
    "   -force    even old images are converted again\n"
    "   -iw:999   ignore width lower than (default 200)\n"
    "   -ih:999   ignore height lower than (default 200)\n"
    "   -mw:999   medium width to resize (default 640)\n"
    "   -mh:999   medium height to resize (default 480)\n"
    "   -uw:999   width of micro image (default 96)\n"
    "   -uh:999   height of micro image (default 96)\n"
    "   -shadow   add a shadow to micro image\n"
    "   -shadow:r,g,b    add a colorized shadow to micro image\n"
    "   -lw:999          width of left html frame (default 128)\n"
    "   -conf:file.txt   (uxml file)\n"
    "   \"-filter:(*.zip|*.tgz)&!tmp/*\"\n"
    "   \"-infoText:cliquer pour zoomer\"\n"
    "   -top:target   (default _top)\n"
    "   -list:path       create a list file of img files\n"
    "   -notop    no navig top left frame\n"
    "   -notree   no tree in navig top left frame, only one level\n"
    "   -date     20051225-A --> 25.12.2005 A\n"
    "   -css:file.css   (lnk_other, lnk_here)\n"
    "   -exif     date taken, camera and caption from the picture itself\n"
    "   -nav      previous/next on picture pages, titles and alt texts\n"
    "   -allpics  also .jpeg .png .webp .heic .heif .avif pictures\n"
    "   -out:dir  write the album into dir, leave the photos as they are\n"
    "   -originals:copy|link|none  with -out:, the photos copied, hard-linked or not linked\n"
    "   -hidpi    sharp on every screen: 2x and 3x thumbnails, a large view, lazy loading\n"
    "   -linkoriginals  with -hidpi, the large view links the original photo\n"
    "   -today    a phone's folder: -allpics -nav -video -exif -hidpi\n";

TEST(Run, NoArgumentsPrintsNoticeAndUsageWithStatus2) {
  TempDir t;
  auto r = runQuorvel({}, t.path());
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, std::string(kNotice) + kUsage);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(readFile(t / "cv.html"), readFile(QUORVEL_SOURCE_DIR "/src/run/cv.html"));
}

TEST(Run, HelpAloneAfterTheOptionsPrintsUsageWithStatus0) {
  TempDir t;
  for (const char* help : {"-h", "--help", "-help"}) {
    auto r = runQuorvel({"-video", help}, t.path());
    EXPECT_EQ(r.status, 0) << help;
    EXPECT_EQ(r.out, std::string(kNotice) + kUsage) << help;
  }
}

TEST(Run, VersionPrintsOneLineAndWritesNothing) {
  TempDir t;
  auto r = runQuorvel({"--version"}, t.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "quorvel " QUORVEL_VERSION "\n");
  EXPECT_EQ(r.err, "");
  EXPECT_FALSE(testsupport::fileExists(t / "cv.html"));
}

TEST(Run, LeftoverArgumentsPrintUsage) {
  const std::vector<std::vector<std::string>> cases = {
      {"dir", "-x"},
      {"dir", "-video", "-video"},
      {"dir", "-mp3KoMo", "-mp3"},
      {"dir", "-shadow:1,2,3", "-shadow"},
      {"a", "b"},
  };
  for (const auto& args : cases) {
    TempDir t;
    testsupport::makeDirs(t / "dir");
    auto r = runQuorvel(args, t.path());
    EXPECT_EQ(r.status, 2) << args[1];
    EXPECT_EQ(r.out, std::string(kNotice) + kUsage) << args[1];
  }
}

TEST(Run, UnknownOptionAloneIsTakenAsTheRoot) {
  TempDir t;
  testsupport::makeDirs(t / "-x");
  auto r = runQuorvel({"-x"}, t.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, std::string(kNotice) + "######## -x ########\n*** . ***\n");
}

TEST(Run, ListFileIsCreatedEvenWhenUsageIsPrinted) {
  TempDir t;
  writeFile(t / "old.bat", "stale");
  auto r = runQuorvel({"-list:old.bat"}, t.path());
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(testsupport::fileExists(t / "old.bat"));
  EXPECT_EQ(readFile(t / "old.bat"), "");
}

TEST(Run, UnloadableConfigurationIsFatalEvenBeforeUsage) {
  TempDir t;
  auto r = runQuorvel({"-conf:missing.txt"}, t.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, kNotice);
  EXPECT_EQ(r.err, "**** ERROR quorvel : can't load conf file \"missing.txt\"\n");
}

TEST(Run, CvHtmlThatCannotBeWrittenStopsEverything) {
  TempDir t;
  chmod(t.path().c_str(), 0555);  // enterable, not writable, for the unprivileged run
  auto r = testsupport::runQuorvelUnprivileged({".", "-list:l.bat"}, t.path());
  chmod(t.path().c_str(), 0700);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, kNotice);
  EXPECT_EQ(r.err, "*** quorvel ERROR \"can't write cv.html\"\n\n");
  EXPECT_FALSE(testsupport::fileExists(t / "l.bat"));
}

// quorvel's own page (1.0.0's had no marker yet) is rewritten; anyone else's
// is kept, also ours once its marker line is removed. The album cleaner
// follows the same rule: it removes exactly the pages quorvel rewrites.
TEST(Run, CvHtmlIsRewrittenAndCleanedOnlyWhenQuorvelWroteIt) {
  const std::string ours = readFile(QUORVEL_SOURCE_DIR "/src/run/cv.html");
  const std::string mine = "<html><title>My CV</title></html>\n";
  std::string unmarked = ours;
  const size_t marker = unmarked.find("<!-- quorvel-about-page:");
  unmarked.erase(marker, unmarked.find('\n', marker) + 1 - marker);
  const std::string leftAlone = "*** quorvel: cv.html is not quorvel's about page, left as it is\n";
  const struct {
    std::string before, after, err;
  } cases[] = {{readFile(QUORVEL_SOURCE_DIR "/tests/data/cv-1.0.0.html"), ours, ""},
               {ours + "<p>edited</p>\n", ours, ""},
               {mine, mine, leftAlone},
               {unmarked, unmarked, leftAlone}};
  for (const auto& c : cases) {
    TempDir t;
    writeFile(t / "cv.html", c.before);
    auto r = runQuorvel({}, t.path());
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(readFile(t / "cv.html"), c.after);

    writeFile(t / "cv.html", c.before);
    testsupport::makeDirs(t / "album");
    const std::string clean = "cd '" + t.path() + "' && QUORVEL='" QUORVEL_BINARY "' " QUORVEL_SOURCE_DIR
                              "/scripts/clean-album.sh --force album >/dev/null";
    ASSERT_EQ(system(clean.c_str()), 0);
    EXPECT_EQ(testsupport::fileExists(t / "cv.html"), !c.err.empty()) << c.before.substr(0, 80);
  }
}

TEST(Walk, VisitsSubdirectoriesDepthFirstInByteOrder) {
  TempDir t;
  for (const char* d : {"root/b/z", "root/b/a", "root/B", "root/.hidden", "root/a b", "root/\xe9t\xe9"})
    testsupport::makeDirs(t / d);
  writeFile(t / "root/file.txt", "x");
  symlink("b", (t / "root/link").c_str());
  auto r = runQuorvel({"root"}, t.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, std::string(kNotice) +
                       "######## root ########\n"
                       "*** . ***\n"
                       "*** .hidden ***\n"
                       "*** B ***\n"
                       "*** a b ***\n"
                       "*** b ***\n"
                       "*** b/a ***\n"
                       "*** b/z ***\n"
                       "*** \xe9t\xe9 ***\n");
  EXPECT_EQ(r.err, "");
}

TEST(Walk, EmptyTreeWritesNoPage) {
  TempDir t;
  testsupport::makeDirs(t / "root/sub");
  auto r = runQuorvel({"root"}, t.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_FALSE(testsupport::fileExists(t / "root/quorvelFrameset.html"));
  EXPECT_FALSE(testsupport::fileExists(t / "root/sub/quorvelFrameset.html"));
  EXPECT_FALSE(testsupport::fileExists(t / "root/quorvelTop.html"));
}

TEST(Walk, TrailingSeparatorKeepsRelativePathsClean) {
  TempDir t;
  testsupport::makeDirs(t / "root/sub");
  auto r = runQuorvel({"root/"}, t.path());
  EXPECT_EQ(r.out, std::string(kNotice) + "######## root/ ########\n*** . ***\n*** sub ***\n");
}

TEST(Walk, FilterRejectingTheRootWalksNothingAndSaysSo) {
  TempDir t;
  testsupport::makeDirs(t / "root/sub");
  auto r = runQuorvel({"root", "-filter:other"}, t.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, std::string(kNotice) + "######## root ########\n");
  EXPECT_EQ(r.err, "*** quorvel: -filter: leaves out the album root \"root\": nothing was walked\n");
}

// An expression that can't be read would leave out every path in silence.
TEST(Run, FilterThatIsNoExpressionIsRefusedAtStartUp) {
  TempDir t;
  testsupport::makeDirs(t / "root/sub");
  for (const auto& [filter, reason] : {std::pair{"(", "a group is not closed"},
                                       std::pair{"a)b", "unexpected \")b\""}}) {
    auto r = runQuorvel({"root", std::string("-filter:") + filter}, t.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, std::string("**** ERROR quorvel : option -filter:") + filter + ": not a filter expression (" +
                         reason + ")\n");
    EXPECT_EQ(r.out, kNotice);
  }
}

TEST(Walk, FilterSkipsRejectedSubtrees) {
  TempDir t;
  for (const char* d : {"root/keep/deep", "root/tmp/deep"}) testsupport::makeDirs(t / d);
  auto r = runQuorvel({"root", "-filter:!root/tmp*"}, t.path());
  EXPECT_EQ(r.out, std::string(kNotice) +
                       "######## root ########\n*** . ***\n*** keep ***\n*** keep/deep ***\n");
}

TEST(Walk, NotreePrintsTheRootPageLinesEvenWithoutAlbums) {
  TempDir t;
  testsupport::makeDirs(t / "root/sub");
  auto r = runQuorvel({"root", "-notree"}, t.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, std::string(kNotice) +
                       "######## root ########\n*** . ***\n*** sub ***\n"
                       "path \"root/\" :\nroot/quorvelTop.html\n");
  EXPECT_TRUE(testsupport::fileExists(t / "root/quorvelTop.html"));
  EXPECT_EQ(testsupport::describe(testsupport::findBrokenLinks(t / "root")), "");
}

TEST(Walk, NotreeRootPageWithoutRoomInThePathBufferIsSkipped) {
  TempDir t;
  const std::string root = std::string(200, 'a') + "/" + std::string(89, 'b');
  testsupport::makeDirs(t / root);
  auto r = runQuorvel({root, "-notree"}, t.path());
  EXPECT_EQ(r.out,
            kNotice + ("######## " + root + " ########\n*** . ***\npath \"" + root + "/\" :\n"));
}

TEST(Walk, RootTooLongForThePathBufferIsRefused) {
  TempDir t;
  std::string longRoot(296, 'r');
  auto r = runQuorvel({longRoot}, t.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "**** ERROR quorvel : path too long \"" + longRoot + "\"\n");
}

TEST(Walk, UnusableRootIsRefusedByNameBeforeTheWalk) {
  TempDir t;
  writeFile(t / "file", "x");
  testsupport::makeDirs(t / "locked");
  chmod(t.path().c_str(), 0777);  // the unprivileged run writes cv.html here
  chmod((t / "locked").c_str(), 0);
  const char* cases[][2] = {{"", "the album root is empty"},
                            {"missing", "no such directory \"missing\""},
                            {"file", "not a directory \"file\""},
                            {"locked", "can't read directory \"locked\""}};
  for (const auto& [root, message] : cases) {
    auto r = testsupport::runQuorvelUnprivileged({root}, t.path());
    EXPECT_EQ(r.status, 1) << root;
    EXPECT_EQ(r.out + r.err, kNotice + std::string("**** ERROR quorvel : ") + message + "\n");
  }
  chmod((t / "locked").c_str(), 0700);
}

TEST(Walk, SlashIsARootLikeAnyOther) {
  TempDir t;
  auto r = runQuorvel({"/", "-filter:nothing"}, t.path());  // the filter stops at the root
  EXPECT_EQ(r.out, std::string(kNotice) + "######## / ########\n");
}

}  // namespace
