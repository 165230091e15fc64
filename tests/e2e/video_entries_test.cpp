// -nav -video: videos among the pictures with a poster each, Live Photos as
// one entry, a video the libraries can't read kept with a stand-in, a warm
// run that opens no video; without -nav the video page as ever.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "support/test_support.h"

namespace {

using testsupport::fileExists;
using testsupport::jpegSize;
using testsupport::readFile;
using testsupport::runQuorvel;
using testsupport::Size;
using testsupport::TempDir;

void sh(const std::string& command) { ASSERT_EQ(std::system(command.c_str()), 0) << command; }

bool haveFfmpeg() { return std::system("command -v ffmpeg >/dev/null 2>&1") == 0; }

// Two photos, a video of each container, a portrait and a rotated phone
// video, a damaged one and two Live Photo pairs.
void makeTree(const TempDir& t) {
  const std::string d = t / "phone";
  testsupport::makeJpeg(d + "/a.jpg", 480, 320, 1);
  testsupport::makeJpeg(d + "/c.jpg", 480, 320, 2);
  testsupport::makeJpeg(d + "/IMG_1.JPG", 480, 320, 3);
  const std::string ff = "ffmpeg -loglevel error -y -f lavfi -i testsrc2=size=";
  sh("cd " + d + " && " + ff + "320x180:rate=10:duration=2 -pix_fmt yuv420p b.mp4" + " && " + ff +
     "320x180:rate=10:duration=1 -c:v libvpx-vp9 d.webm" + " && " + ff +
     "320x180:rate=10:duration=1 -c:v libtheora e.ogv" + " && " + ff +
     "180x320:rate=10:duration=1 -pix_fmt yuv420p p.mov" + " && " + ff +
     "320x180:rate=10:duration=1 -pix_fmt yuv420p s.mp4 && ffmpeg -loglevel error -i s.mp4 -c copy"
     " -metadata:s:v:0 rotate=90 r.mp4 && rm s.mp4" +
     " && cp b.mp4 IMG_1.MOV && cp b.mp4 IMG_2.MOV && convert a.jpg IMG_2.heic" +
     " && head -c 5000 /dev/urandom > bad.mp4");
}

TEST(VideoEntries, VideosStandAmongThePicturesWithTheirPosters) {
  if (!haveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
  TempDir t;
  makeTree(t);
  const std::string d = t / "phone";
  const auto first = runQuorvel({t / "phone", "-nav", "-video", "-allpics"}, t.path());

  // The damaged video keeps its tile, and says why; the run says it went wrong.
  EXPECT_EQ(first.status, 1);
  EXPECT_NE(first.err.find("imgVideoReadFile(\"" + d + "/bad.mp4\")"), std::string::npos) << first.err;
  EXPECT_TRUE(fileExists(d + "/bad.vi.jpg"));
  EXPECT_NE(readFile(d + "/bad.vi.jpg").find("quorvel video unread"), std::string::npos);

  // Posters at the video's own size, upright, never enlarged.
  EXPECT_EQ(jpegSize(d + "/b.md.jpg"), (Size{320, 180}));
  EXPECT_EQ(jpegSize(d + "/p.md.jpg"), (Size{180, 320}));
  EXPECT_EQ(jpegSize(d + "/r.md.jpg"), (Size{180, 320}));
  for (const char* stem : {"d", "e"}) EXPECT_TRUE(fileExists(d + "/" + stem + ".vi.jpg")) << stem;
  EXPECT_NE(readFile(d + "/b.vi.jpg").find("quorvel video 2000 ms"), std::string::npos);

  // A Live Photo is its picture's entry: the video has no files of its own,
  // no video page lists it, and the picture's page plays it.
  EXPECT_FALSE(fileExists(d + "/quorvelVideo.html"));
  EXPECT_NE(readFile(d + "/IMG_1.html").find("IMG_1.MOV"), std::string::npos);
  EXPECT_NE(readFile(d + "/IMG_2.md.html").find("IMG_2.MOV"), std::string::npos);
  const std::string left = readFile(d + "/quorvelLeft.html");
  EXPECT_EQ(left.find("href=\"IMG_1.MOV"), std::string::npos);

  // Photos and videos step in name order: a.jpg, b.mp4, bad.mp4, c.jpg.
  const std::string b = readFile(d + "/b.md.html");
  EXPECT_NE(b.find("href=\"a.html\" rel=\"prev\""), std::string::npos) << b;
  EXPECT_NE(b.find("href=\"bad.md.html\" rel=\"next\""), std::string::npos) << b;
  EXPECT_NE(b.find("<video"), std::string::npos);
  EXPECT_NE(b.find("src=\"b.mp4\""), std::string::npos);
  EXPECT_LT(left.find("b.vi.jpg"), left.find("c.vi.jpg"));

  // A warm run opens no video: one spoilt behind its poster's back, with
  // its old date, is not noticed. The stand-in's reason is told again.
  sh("cd " + d + " && head -c 3000 /dev/urandom > x && touch -r b.mp4 x && mv x b.mp4");
  const auto warm = runQuorvel({t / "phone", "-nav", "-video", "-allpics"}, t.path());
  EXPECT_EQ(warm.out.find(".vi.jpg"), std::string::npos) << warm.out;
  EXPECT_EQ(warm.err.find("b.mp4"), std::string::npos) << warm.err;
  EXPECT_NE(warm.err.find("bad.mp4"), std::string::npos) << warm.err;
  EXPECT_EQ(readFile(d + "/b.md.html"), b);

  // The cleaner knows the posters by their thumbnails' comment.
  EXPECT_EQ(runQuorvel({"--clean", t / "phone"}, t.path()).status, 0);
  for (const char* name : {"b.vi.jpg", "b.vr.jpg", "b.md.jpg", "b.md.html", "bad.vi.jpg"})
    EXPECT_FALSE(fileExists(d + "/" + name)) << name;
  EXPECT_TRUE(fileExists(d + "/b.mp4"));
}

TEST(VideoEntries, WithoutNavVideosKeepTheirPage) {
  if (!haveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
  TempDir t;
  testsupport::makeJpeg(t / "v/a.jpg", 480, 320, 1);
  sh("cd " + t / "v" + " && ffmpeg -loglevel error -f lavfi -i testsrc2=size=160x90:rate=5:duration=1 b.mp4");
  ASSERT_EQ(runQuorvel({t / "v", "-video"}, t.path()).status, 0);
  EXPECT_FALSE(fileExists(t / "v/b.vi.jpg"));
  EXPECT_NE(readFile(t / "v/quorvelVideo.html").find("<video src=\"b.mp4\""), std::string::npos);
}

}  // namespace
