// MP3 and video albums through the real binary: the MP3 page and its play
// list under every prefix form, the sizes of -mp3KoMo, the players of the
// video page, the Left page's links, and names that need escaping.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "pages/expected_pages.h"
#include "support/photos_album.h"

namespace {

using testsupport::fileExists;
using testsupport::runQuorvel;
using testsupport::RunResult;
using testsupport::writeFile;

using expected::kMp3Link;
using expected::kVideoLink;
using expected::mp3Page;
using expected::videoBlock;

std::string mp3Item(const std::string& link, const std::string& text) {
  return "<li> <a href=\"" + link + "\">" + text + "</a>\n";
}

std::string videoPage(const std::string& blocks) {
  return expected::kVideoBegin + blocks + expected::kListEnd;
}

// A Left page with links (MP3, VIDEO) and thumbnail entries, then the
// preload script of the given rollover names.
std::string leftPage(const std::string& entries, const std::string& preload = "") {
  return expected::kLeftBegin + "<center>\n" + entries + "</center>\n" +
         "<script language=\"JavaScript\"><!--\n" + preload + "//--></script>\n" + expected::kEnd;
}

// bytes long file whose bytes 10 and 11 (when it has them) are b10 and b11.
std::string mpgBytes(size_t length, unsigned char b10, unsigned char b11) {
  std::string bytes(length, '\x55');
  if (length > 10) bytes[10] = static_cast<char>(b10);
  if (length > 11) bytes[11] = static_cast<char>(b11);
  return bytes;
}

class MediaAlbum : public testsupport::PhotosAlbum {
 protected:
  void file(const std::string& relative, const std::string& bytes = "ID3 not really music") {
    writeFile(at(relative), bytes);
  }
};

TEST_F(MediaAlbum, Mp3FilesMakeTheRightPageAndAPlayListBesideThem) {
  file("My Song.mp3");
  file("a.MP3");
  file("b.mp3");
  file("c.mp3.txt");
  file("clip.avi");  // no -video: not listed
  RunResult r = run({"-mp3"});
  ASSERT_EQ(r.status, 0);

  EXPECT_EQ(page("quorvelRight.html"),
            mp3Page(mp3Item("My Song.mp3", "My Song.mp3") + mp3Item("a.MP3", "a.MP3") +
                    mp3Item("b.mp3", "b.mp3")));
  EXPECT_EQ(page("liste.m3u"), "#EXTM3U\nMy%20Song.mp3\na.MP3\nb.mp3\n");
  // Only MP3 files: the link and no thumbnail, the preload block still there.
  EXPECT_EQ(page("quorvelLeft.html"), leftPage(kMp3Link));
  EXPECT_EQ(page("quorvelTop.html"),
            expected::kTopBegin + "<!----><pre><font color=\"#ff0000\">racine</font>\n</pre>\n" +
                expected::kEnd);
  EXPECT_TRUE(fileExists(at("quorvelFrameset.html")));
  EXPECT_FALSE(fileExists(at("quorvelVideo.html")));
  expectLinksResolve();
}

TEST_F(MediaAlbum, PrefixWithSlashNamesEachFileByItsPathAsWalked) {
  file("top.mp3");
  file("rock/a.mp3");
  struct Case {
    std::string prefix, root, cwd, topEntry, rockEntry;
  };
  const std::vector<Case> cases = {
      {"/srv/music/", ".", at(""), "/srv/music/top.mp3", "/srv/music/rock/a.mp3"},
      {"/srv/music/", "photos", dir_.path(), "/srv/music/photos/top.mp3",
       "/srv/music/photos/rock/a.mp3"},
      {"/srv/music/", "./photos", dir_.path(), "/srv/music/photos/top.mp3",
       "/srv/music/photos/rock/a.mp3"},
      {"http://host/m p3/", ".", at(""), "http://host/m%20p3/top.mp3",
       "http://host/m%20p3/rock/a.mp3"},
      // Without '/', the prefix is a DOS one: its backslashes are kept, encoded.
      {"C:\\mp3\\", "photos", dir_.path(), "C:%5cmp3%5cphotos/top.mp3",
       "C:%5cmp3%5cphotos/rock/a.mp3"},
  };
  for (const Case& c : cases) {
    RunResult r = runQuorvel({c.root, "-mp3:" + c.prefix}, c.cwd);
    ASSERT_EQ(r.status, 0) << c.prefix << " " << c.root;
    EXPECT_EQ(page("liste.m3u"), "#EXTM3U\n" + c.topEntry + "\n") << c.prefix << " " << c.root;
    EXPECT_EQ(page("rock/liste.m3u"), "#EXTM3U\n" + c.rockEntry + "\n")
        << c.prefix << " " << c.root;
    // The page itself still links the file beside it.
    EXPECT_EQ(page("rock/quorvelRight.html"), mp3Page(mp3Item("a.mp3", "a.mp3")));
    expectLinksResolve();
  }
}

TEST_F(MediaAlbum, Mp3KoMoShowsEachSizeInItsRange) {
  struct Case {
    off_t size;
    const char* text;
  };
  const std::vector<Case> cases = {
      {0, "0 o"},           {1023, "1023 o"},     {1536, "1,50 Ko"},     {10239, "9,99 Ko"},
      {10240, "10,0 Ko"},   {102399, "99,9 Ko"},  {102400, "100 Ko"},    {1048575, "1023 Ko"},
      {1048576, "1,00 Mo"}, {1572864, "1,50 Mo"}, {10485760, "10,0 Mo"}, {104857600, "100 Mo"},
  };
  std::string items;
  for (size_t i = 0; i < cases.size(); ++i) {
    const std::string name = std::string("s").append(std::to_string(10 + i)).append(".mp3");
    file(name, "");
    // Sparse: the size is what counts, not the bytes.
    ASSERT_EQ(truncate(at(name).c_str(), cases[i].size), 0);
    items += mp3Item(name, name) + "(" + cases[i].text + ")\n";
  }
  ASSERT_EQ(run({"-mp3", "-mp3KoMo"}).status, 0);
  EXPECT_EQ(page("quorvelRight.html"), mp3Page(items));
}

TEST_F(MediaAlbum, MpegHeaderChoosesThePlayerSizeAndAviPlaysAt320By240) {
  file("a.mpg", mpgBytes(64, 3, 145));
  file("b.mpg", mpgBytes(64, 14, 59));
  file("c.mpg", mpgBytes(64, 14, 60));
  file("d.mpg", mpgBytes(64, 145, 3));
  file("e.MPG", mpgBytes(12, 14, 59));
  file("f.mpg", mpgBytes(11, 3, 0));  // byte 11 missing
  file("g.mpg", mpgBytes(5, 0, 0));
  file("h.avi", "RIFF");
  file("i.AVI", "");
  file("j.mp3");  // no -mp3: not listed
  ASSERT_EQ(run({"-video"}).status, 0);

  const std::string small = " width=\"160\" height=\"158\"";
  const std::string large = " width=\"320\" height=\"286\"";
  const std::string avi = " width=\"320\" height=\"240\"";
  EXPECT_EQ(page("quorvelVideo.html"),
            videoPage(videoBlock("a.mpg", small, "a.mpg") + videoBlock("b.mpg", large, "b.mpg") +
                      videoBlock("c.mpg", "", "c.mpg") + videoBlock("d.mpg", "", "d.mpg") +
                      videoBlock("e.MPG", large, "e.MPG") + videoBlock("f.mpg", "", "f.mpg") +
                      videoBlock("g.mpg", "", "g.mpg") + videoBlock("h.avi", avi, "h.avi") +
                      videoBlock("i.AVI", avi, "i.AVI")));
  EXPECT_EQ(page("quorvelLeft.html"), leftPage(kVideoLink));
  // Videos leave the display frame its empty page.
  EXPECT_EQ(page("quorvelRight.html"), expected::kRightEmpty);
  EXPECT_FALSE(fileExists(at("liste.m3u")));
  expectLinksResolve();
}

TEST_F(MediaAlbum, Mp4PlaysInAVideoElementAmongTheOtherPlayers) {
  file("a.avi", "RIFF");
  file("b.mp4", "....ftypisom");
  file("c.mpg", mpgBytes(5, 0, 0));
  ASSERT_EQ(run({"-video"}).status, 0);
  EXPECT_EQ(page("quorvelVideo.html"),
            videoPage(videoBlock("a.avi", " width=\"320\" height=\"240\"", "a.avi") +
                      expected::html5VideoBlock("b.mp4", "b.mp4") + videoBlock("c.mpg", "", "c.mpg")));
  expectLinksResolve();
}

TEST_F(MediaAlbum, LinksComeBeforeThumbnailsAndTheIndexCountsEveryPass) {
  // The video sorts first, yet the MP3 pass runs first; c.jpg is the third
  // file of the third pass: index 3 * 2 + 3.
  file("a.avi", "RIFF");
  file("b.mp3");
  testsupport::makeJpeg(at("c.jpg"), 300, 300);
  RunResult r = run({"-mp3", "-video"});
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.out.substr(r.out.find("######## ")),
            "######## photos ########\n*** . ***\nphotos/c.vi.jpg\n");

  EXPECT_EQ(
      page("quorvelLeft.html"),
      leftPage(kMp3Link + kVideoLink +
                   "<a href=\"c.jpg\" target=\"right\" onMouseOver=\"return "
                   "_1('i9','c.vr.jpg','c.vi.jpg','zoom...');\" onMouseOut=\"return _2();\">"
                   "<img name=\"i9\" src=\"c.vi.jpg\" width=\"96\" height=\"96\" border=\"0\" "
                   "vspace=\"1\"></a><br>\n",
               "(new Image()).src=\"c.vr.jpg\";"));
  EXPECT_EQ(page("quorvelRight.html"), mp3Page(mp3Item("b.mp3", "b.mp3")));
  EXPECT_EQ(page("quorvelVideo.html"),
            videoPage(videoBlock("a.avi", " width=\"320\" height=\"240\"", "a.avi")));
  expectLinksResolve();
}

// Names are written into links with %xx for the bytes a URL or a quoted
// attribute cannot hold, and into visible text with entities for & < > ".
TEST_F(MediaAlbum, UnusualNamesGiveWorkingLinksAndSafeText) {
  for (const char* name :
       {"#1.mp3", "100%.mp3", "<b>.mp3", "it's.mp3", "my song.mp3", "r&b.mp3", "\xe9t\xe9.mp3"})
    file(name);
  for (const char* name : {"q?.avi", "say \"hi\".avi", "x\x7f.avi"}) file(name, "RIFF");
  for (const char* dir : {"50%", "a b", "caf\xe9", "it's", "r&b", "x#1"})
    file(std::string(dir) + "/s.mp3");
  RunResult r = run({"-mp3", "-video"});
  ASSERT_EQ(r.status, 0);

  EXPECT_EQ(page("quorvelRight.html"),
            mp3Page(mp3Item("%231.mp3", "#1.mp3") + mp3Item("100%25.mp3", "100%.mp3") +
                    mp3Item("%3cb%3e.mp3", "&lt;b&gt;.mp3") + mp3Item("it%27s.mp3", "it's.mp3") +
                    mp3Item("my song.mp3", "my song.mp3") + mp3Item("r%26b.mp3", "r&amp;b.mp3") +
                    mp3Item("%e9t%e9.mp3", "\xe9t\xe9.mp3")));
  EXPECT_EQ(page("liste.m3u"),
            "#EXTM3U\n%231.mp3\n100%25.mp3\n<b>.mp3\nit's.mp3\nmy%20song.mp3\nr%26b.mp3\n"
            "%e9t%e9.mp3\n");

  const std::string avi = " width=\"320\" height=\"240\"";
  EXPECT_EQ(page("quorvelVideo.html"),
            videoPage(videoBlock("q%3f.avi", avi, "q?.avi") +
                      videoBlock("say %22hi%22.avi", avi, "say &quot;hi&quot;.avi") +
                      videoBlock("x%7f.avi", avi, "x\x7f.avi")));

  EXPECT_EQ(page("quorvelTop.html"),
            expected::kTopBegin +
                "<!----><pre><font color=\"#ff0000\">racine</font>\n"
                " <a href=\"50%25/quorvelFrameset.html\" target=\"_top\">50%</a>\n"
                " <a href=\"a b/quorvelFrameset.html\" target=\"_top\">a b</a>\n"
                " <a href=\"caf%e9/quorvelFrameset.html\" target=\"_top\">caf\xe9</a>\n"
                " <a href=\"it%27s/quorvelFrameset.html\" target=\"_top\">it's</a>\n"
                " <a href=\"r%26b/quorvelFrameset.html\" target=\"_top\">r&amp;b</a>\n"
                " <a href=\"x%231/quorvelFrameset.html\" target=\"_top\">x#1</a>\n"
                "</pre>\n" +
                expected::kEnd);
  // The comment naming the directory gets the same entities as visible text.
  EXPECT_EQ(
      page("r&b/quorvelTop.html"),
      expected::kTopBegin +
          "<!--r&amp;b/--><pre><a href=\"../quorvelFrameset.html\" target=\"_top\">racine</a>\n"
          " <font color=\"#ff0000\">r&amp;b</font>\n"
          "</pre>\n" +
          expected::kEnd);
  expectLinksResolve();
}

// '\' and ':' are ordinary bytes of a file name here: "10:30.mp3" keeps the
// album's pages in its directory and is linked under its whole name.
TEST_F(MediaAlbum, BackslashAndColonNamesKeepTheAlbumInPlace) {
  file("10:30.mp3");
  file("a\\b.avi", "RIFF");
  ASSERT_EQ(run({"-mp3", "-video"}).status, 0);
  for (const char* name : {"quorvelFrameset.html", "quorvelLeft.html", "quorvelRight.html",
                           "quorvelVideo.html", "liste.m3u"})
    EXPECT_TRUE(fileExists(at(name))) << name;
  EXPECT_FALSE(fileExists(at("10:quorvelRight.html")));
  EXPECT_FALSE(fileExists(at("a\\quorvelVideo.html")));
  expectLinksResolve();
}

}  // namespace
