#include "pages/media_pages.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
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

using expected::kListeLine;
using expected::kMp3Link;
using expected::kVideoLink;
using expected::videoBlock;

// An .mpg file whose bytes 10 and 11 are b10 and b11.
std::string mpgBytes(unsigned char b10, unsigned char b11) {
  std::string bytes(16, '\0');
  bytes[10] = static_cast<char>(b10);
  bytes[11] = static_cast<char>(b11);
  return bytes;
}

class MediaPages : public ::testing::Test {
 protected:
  void SetUp() override {
    resetPageState();
    char cwd[PATH_MAX];
    ASSERT_TRUE(getcwd(cwd, sizeof cwd));
    cwd_ = cwd;
    // Paths are given as the walk holds them: relative to where it started.
    ASSERT_EQ(0, chdir(dir_.path().c_str()));
  }
  void TearDown() override {
    closeAll();
    resetPageState();
    EXPECT_EQ(0, chdir(cwd_.c_str()));
  }

  void closeAll() {
    EXPECT_EQ(left_.commit(), 0);
    EXPECT_EQ(mp3_.commit(), 0);
    EXPECT_EQ(playlist_.commit(), 0);
    EXPECT_EQ(video_.commit(), 0);
  }

  // htmlAddMp3 / htmlAddVideo for root + "/" + rel, creating the file.
  void mp3(const std::string& rel, const std::string& bytes = "ID3",
           const std::string& root = "photos") {
    const std::string path = root + "/" + rel;
    writeFile(path, bytes);
    htmlAddMp3(pages_, path.c_str(), static_cast<int>(root.size()) + 1);
  }
  void video(const std::string& rel, const std::string& bytes) {
    const std::string path = "photos/" + rel;
    writeFile(path, bytes);
    htmlAddVideo(pages_, path.c_str(), 7);
  }

  std::string page(const std::string& rel) {
    closeAll();
    return readFile("photos/" + rel);
  }

  TempDir dir_;
  std::string cwd_;
  DirectoryPages pages_;
  TempFile& left_ = pages_.left;
  TempFile& mp3_ = pages_.mp3;
  TempFile& playlist_ = pages_.playlist;
  TempFile& video_ = pages_.video;
  int& rightWritten_ = pages_.rightWritten;
};

TEST_F(MediaPages, Mp3FilesMakeTheRightPageAndPlayList) {
  mp3("a.mp3");
  mp3("b.MP3");
  EXPECT_EQ(1, rightWritten_);
  EXPECT_TRUE(fileExists("photos/quorvelFrameset.html"));
  EXPECT_EQ(expected::kMp3Begin + kListeLine + "<li> <a href=\"a.mp3\">a.mp3</a>\n" +
                "<li> <a href=\"b.MP3\">b.MP3</a>\n",
            page("quorvelRight.html"));
  EXPECT_EQ("#EXTM3U\na.mp3\nb.MP3\n", page("liste.m3u"));
  EXPECT_EQ(expected::kLeftBegin + "<center>\n" + kMp3Link, page("quorvelLeft.html"));
}

TEST_F(MediaPages, OtherFilesAreIgnored) {
  mp3("a.mp3.txt");
  video("a.mpg.txt", "x");
  EXPECT_FALSE(left_ || mp3_ || playlist_ || video_);
  EXPECT_FALSE(fileExists("photos/quorvelLeft.html"));
}

TEST_F(MediaPages, SizeLineUnderKoMo) {
  gSettings.mp3KoMo = true;
  mp3("a.mp3", std::string(1536, 'x'));
  EXPECT_EQ(expected::kMp3Begin + kListeLine + "<li> <a href=\"a.mp3\">a.mp3</a>\n(1,50 Ko)\n",
            page("quorvelRight.html"));
}

TEST_F(MediaPages, PlainPlayListEncodesNamesAndPageEscapesThem) {
  gSettings.mp3 = true;
  mp3("My Song.mp3");
  mp3("a#b&c\xe9.mp3");
  EXPECT_EQ("#EXTM3U\nMy%20Song.mp3\na%23b%26c%e9.mp3\n", page("liste.m3u"));
  EXPECT_EQ(expected::kMp3Begin + kListeLine + "<li> <a href=\"My Song.mp3\">My Song.mp3</a>\n" +
                "<li> <a href=\"a%23b%26c%e9.mp3\">a#b&amp;c\xe9.mp3</a>\n",
            page("quorvelRight.html"));
}

TEST_F(MediaPages, PrefixPutsThePathAsGivenBelowIt) {
  gSettings.mp3Prefix = "/srv/music/";
  mp3("rock/a.mp3", "x", ".");
  closeAll();
  mp3("rock/b.mp3");
  EXPECT_EQ("#EXTM3U\n/srv/music/rock/a.mp3\n", readFile("rock/liste.m3u"));
  EXPECT_EQ("#EXTM3U\n/srv/music/photos/rock/b.mp3\n", page("rock/liste.m3u"));
}

TEST_F(MediaPages, PrefixWithoutSlashKeepsBackslashes) {
  gSettings.mp3Prefix = "C:\\mp3\\";
  mp3("rock/a.mp3");
  EXPECT_EQ("#EXTM3U\nC:%5cmp3%5cphotos/rock/a.mp3\n", page("rock/liste.m3u"));
}

TEST_F(MediaPages, PrefixWithSlashTurnsBackslashes) {
  gSettings.mp3Prefix = "http://h/";
  mp3("x.mp3", "x", "a\\b");
  closeAll();
  EXPECT_EQ("#EXTM3U\nhttp://h/a/b/x.mp3\n", readFile("a\\b/liste.m3u"));
}

TEST_F(MediaPages, PlayListEntryTooLongEndsTheRun) {
  const std::string prefix(390, 'p');
  gSettings.mp3Prefix = prefix.c_str();
  EXPECT_EXIT(mp3("rock/a.mp3"), ::testing::ExitedWithCode(1),
              "path too long \"photos/rock/a.mp3\"");
}

TEST_F(MediaPages, VideoSizesFromTheMpegHeader) {
  video("big.mpg", mpgBytes(14, 59));
  video("small.MPG", mpgBytes(3, 145));
  video("odd.mpg", mpgBytes(3, 59));
  video("short.mpg", "0123456789");
  video("clip.AVI", "");
  EXPECT_EQ(1, rightWritten_);
  EXPECT_EQ(expected::kRightEmpty, page("quorvelRight.html"));
  EXPECT_EQ(expected::kVideoBegin +
                videoBlock("big.mpg", " width=\"320\" height=\"286\"", "big.mpg") +
                videoBlock("small.MPG", " width=\"160\" height=\"158\"", "small.MPG") +
                videoBlock("odd.mpg", "", "odd.mpg") + videoBlock("short.mpg", "", "short.mpg") +
                videoBlock("clip.AVI", " width=\"320\" height=\"240\"", "clip.AVI"),
            page("quorvelVideo.html"));
}

TEST_F(MediaPages, BrowserFormatsGetAVideoElementInAnyCase) {
  for (const char* name : {"a.mp4", "b.M4V", "c.webm", "d.OGV", "e.Mov", "f.mp4.txt"}) {
    video(name, "");
  }
  std::string blocks;
  for (const char* name : {"a.mp4", "b.M4V", "c.webm", "d.OGV", "e.Mov"}) {
    blocks += expected::html5VideoBlock(name, name);
  }
  EXPECT_EQ(expected::kVideoBegin + blocks, page("quorvelVideo.html"));
}

TEST_F(MediaPages, VideoNamesAreEscaped) {
  video("it's #1.avi", "");
  video("a&b<c>.avi", "");
  EXPECT_EQ(expected::kVideoBegin +
                videoBlock("it%27s %231.avi", " width=\"320\" height=\"240\"", "it's #1.avi") +
                videoBlock("a%26b%3cc%3e.avi", " width=\"320\" height=\"240\"",
                           "a&amp;b&lt;c&gt;.avi"),
            page("quorvelVideo.html"));
}

TEST_F(MediaPages, Mp3LinkComesBeforeVideoLink) {
  mp3("a.mp3");
  video("b.avi", "");
  EXPECT_EQ(expected::kLeftBegin + "<center>\n" + kMp3Link + kVideoLink, page("quorvelLeft.html"));
  EXPECT_EQ(expected::kMp3Begin + kListeLine + "<li> <a href=\"a.mp3\">a.mp3</a>\n",
            page("quorvelRight.html"));
}

TEST_F(MediaPages, MpgHeaderBytesAtTheEdges) {
  writeFile("eleven.mpg", "0123456789A");
  writeFile("five.mpg", "01234");
  writeFile("full.mpg", mpgBytes(0xFF, 0x91));
  struct Case {
    const char* path;
    int byte10, byte11;
  } cases[] = {
      {"none.mpg", 0, 0}, {"five.mpg", -1, -1}, {"eleven.mpg", 'A', -1}, {"full.mpg", 255, 145},
  };
  for (const Case& c : cases) {
    const MpgHeader header = mpgHeaderBytes(c.path);
    EXPECT_EQ(c.byte10, header.byte10) << c.path;
    EXPECT_EQ(c.byte11, header.byte11) << c.path;
  }
}

TEST_F(MediaPages, Mp3PageThatCannotTakeItsNameEndsTheRun) {
  writeFile("photos/quorvelRight.html/x", "");  // a directory in the page's place
  rightWritten_ = 1;
  EXPECT_EXIT(
      {
        mp3("a.mp3");
        htmlCloseMedia(pages_);
      },
      ::testing::ExitedWithCode(1), "can't write \"photos/quorvelRight.html\": Is a directory");
}

}  // namespace
