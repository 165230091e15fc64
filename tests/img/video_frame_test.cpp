// A video's poster: videos made at test time with the ffmpeg command, from a
// frame whose four quarters have four colours, so that a turned or mirrored
// poster shows.
#include "img/video_frame.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "support/test_support.h"

namespace {

using testsupport::TempDir;

// Red and green above, blue and white below, 30 frames a second.
std::string quarters(int w, int h, const char* seconds) {
  const std::string box = ":w=" + std::to_string(w / 2) + ":h=" + std::to_string(h / 2) + ":t=fill:c=";
  const std::string right = std::to_string(w / 2), below = std::to_string(h / 2);
  return "color=c=red:s=" + std::to_string(w) + "x" + std::to_string(h) + ":r=30:d=" + seconds + ",drawbox=x=" +
         right + ":y=0" + box + "lime,drawbox=x=0:y=" + below + box + "blue,drawbox=x=" + right + ":y=" + below +
         box + "white";
}

bool haveFfmpeg() { return std::system("command -v ffmpeg >/dev/null 2>&1") == 0; }

void ffmpeg(const std::string& arguments) {
  const std::string command = "ffmpeg -nostdin -v error -y " + arguments;
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

// path, the quarters coded in H.264 with extra arguments.
void makeH264(const std::string& path, int w, int h, const char* seconds, const std::string& extra = "") {
  ffmpeg("-f lavfi -i \"" + quarters(w, h, seconds) + "\" " + extra +
         " -c:v libx264 -preset ultrafast -pix_fmt yuv420p " + path);
}

#define REQUIRE_FFMPEG() \
  if (!haveFfmpeg()) GTEST_SKIP() << "no ffmpeg command"

// One letter per quarter's colour, top left, top right, bottom left,
// bottom right; '?' for none of the four.
std::string quarterColours(const Img& img) {
  std::string letters;
  for (int y : {img.height / 4, img.height * 3 / 4}) {
    for (int x : {img.width / 4, img.width * 3 / 4}) {
      const unsigned char* p = img.rows[y] + 3 * x;
      const bool r = p[0] > 160, g = p[1] > 160, b = p[2] > 160;
      const bool rOff = p[0] < 90, gOff = p[1] < 90, bOff = p[2] < 90;
      letters += r && gOff && bOff ? 'R' : rOff && g && bOff ? 'G' : rOff && gOff && b ? 'B' : r && g && b ? 'W' : '?';
    }
  }
  return letters;
}

struct Poster {
  ImgStatus status;
  ImgHeaderInfo info;
  OwnedImg img;
  ImgDecoded out;
};

// The header read, then the decode whole (or as target asks).
void readPoster(const std::string& path, Poster* poster, const ImgDecodeTarget& target = {}) {
  ImgDecoded header;
  ASSERT_EQ(imgVideoReadHeader(path.c_str(), &poster->info, &header, nullptr), IMG_OK) << path << ": " << header.why;
  poster->status = imgVideoDecode(&poster->img.img, path.c_str(), target, &poster->out);
  ASSERT_EQ(poster->status, IMG_OK) << path << ": " << poster->out.why;
}

}  // namespace

TEST(VideoFrame, EachContainerGivesItsSizeRunningTimeAndFrame) {
  REQUIRE_FFMPEG();
  TempDir t;
  const std::string source = "-f lavfi -i \"" + quarters(320, 180, "3") + "\" -g 30 ";
  ffmpeg(source + "-c:v libx264 -pix_fmt yuv420p " + t / "h264.mp4");
  ffmpeg(source + "-c:v libvpx-vp9 -deadline realtime -cpu-used 8 " + t / "vp9.webm");
  ffmpeg(source + "-c:v libtheora -q:v 8 " + t / "theora.ogv");
  // The library reads a Theora stream's length short by up to its key-frame
  // interval, as its own tools do.
  const struct {
    const char* name;
    long long shortBy;
  } kCases[] = {{"h264.mp4", 0}, {"vp9.webm", 0}, {"theora.ogv", 1000}};
  for (const auto& [name, shortBy] : kCases) {
    SCOPED_TRACE(name);
    Poster poster;
    readPoster(t / name, &poster);
    EXPECT_EQ(poster.info.width, 320);
    EXPECT_EQ(poster.info.height, 180);
    EXPECT_GT(poster.info.held, 320LL * 180 * 3);
    EXPECT_LE(poster.info.durationMs, 3000 + 70);
    EXPECT_GE(poster.info.durationMs, 3000 - 70 - shortBy);
    EXPECT_EQ(poster.img.img.width, 320);
    EXPECT_EQ(poster.img.img.height, 180);
    EXPECT_EQ(quarterColours(poster.img.img), "RGBW");
  }
}

// The display matrix turns or mirrors the stored frame; the poster and the
// header's size are the frame as shown.
TEST(VideoFrame, PosterIsShownUprightWhateverTheDisplayMatrix) {
  REQUIRE_FFMPEG();
  TempDir t;
  makeH264(t / "plain.mp4", 320, 180, "1");
  for (const char* turn : {"90", "180", "270"})
    ffmpeg("-i " + t / "plain.mp4" + " -c copy -metadata:s:v:0 rotate=" + turn + " " + t / "turned" + turn + ".mov");
  // A mirrored matrix: the quarter turn's c (65536) made -65536.
  std::string bytes = testsupport::readFile(t / "turned90.mov");
  const std::string turn("\x00\x00\x00\x00\xff\xff\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00", 16);
  const size_t at = bytes.find(turn);
  ASSERT_NE(at, std::string::npos);
  bytes.replace(at + 12, 4, std::string("\xff\xff\x00\x00", 4));
  testsupport::writeFile(t / "mirrored.mov", bytes);

  const struct {
    const char* name;
    int width, height;
    const char* colours;
  } kCases[] = {
      {"turned90.mov", 180, 320, "GWRB"},   // the matrix turns a quarter anticlockwise
      {"turned180.mov", 320, 180, "WBGR"},  // half round
      {"turned270.mov", 180, 320, "BRWG"},  // a quarter clockwise, as phones write
      {"mirrored.mov", 180, 320, "WGBR"},   // transversed
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    Poster poster;
    readPoster(t / c.name, &poster);
    EXPECT_EQ(poster.info.width, c.width);
    EXPECT_EQ(poster.info.height, c.height);
    EXPECT_EQ(poster.img.img.width, c.width);
    EXPECT_EQ(poster.img.img.height, c.height);
    EXPECT_EQ(quarterColours(poster.img.img), c.colours);
  }
}

TEST(VideoFrame, PortraitVideoFitsIntoTheTargetBox) {
  REQUIRE_FFMPEG();
  TempDir t;
  makeH264(t / "portrait.mp4", 720, 1280, "1");
  ImgDecodeTarget box;
  box.fit = true;
  box.fitWidth = box.fitHeight = 160;
  Poster poster;
  readPoster(t / "portrait.mp4", &poster, box);
  EXPECT_EQ(poster.info.width, 720);
  EXPECT_EQ(poster.info.height, 1280);
  EXPECT_EQ(poster.img.img.width, 90);
  EXPECT_EQ(poster.img.img.height, 160);
  EXPECT_EQ(quarterColours(poster.img.img), "RGBW");
}

// Pixels twice as wide as high are shown square: the poster is widened.
TEST(VideoFrame, NonSquarePixelsAreShownSquare) {
  REQUIRE_FFMPEG();
  TempDir t;
  makeH264(t / "wide.mp4", 160, 180, "1", "-vf setsar=2");
  Poster poster;
  readPoster(t / "wide.mp4", &poster);
  EXPECT_EQ(poster.info.width, 320);
  EXPECT_EQ(poster.img.img.width, 320);
  EXPECT_EQ(poster.img.img.height, 180);
  EXPECT_EQ(quarterColours(poster.img.img), "RGBW");
}

// Red for the first second, then green: the poster is the key frame at one
// second; a video of one frame gives that frame.
TEST(VideoFrame, PosterIsTakenAtOneSecondOrTheFirstFrame) {
  REQUIRE_FFMPEG();
  TempDir t;
  ffmpeg("-f lavfi -i \"color=c=red:s=64x64:r=30:d=1[a];color=c=lime:s=64x64:r=30:d=2[b];[a][b]concat\" -g 30 "
         "-c:v libx264 -pix_fmt yuv420p " + t / "later.mp4");
  makeH264(t / "one.mp4", 320, 180, "1", "-frames:v 1");
  Poster later, one;
  readPoster(t / "later.mp4", &later);
  EXPECT_EQ(quarterColours(later.img.img), "GGGG");
  readPoster(t / "one.mp4", &one);
  EXPECT_EQ(quarterColours(one.img.img), "RGBW");
  EXPECT_LT(one.info.durationMs, 100);
}

TEST(VideoFrame, UnreadableVideosAreRefusedWithTheirReason) {
  REQUIRE_FFMPEG();
  TempDir t;
  makeH264(t / "whole.mp4", 320, 180, "1");
  ffmpeg("-f lavfi -i sine=d=1 -c:a aac " + t / "audio.mp4");
  const std::string whole = testsupport::readFile(t / "whole.mp4");
  testsupport::writeFile(t / "truncated.mp4", whole.substr(0, whole.size() / 2));
  std::string noise(4096, '\0');
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>((i * 2654435761u) >> 13);
  testsupport::writeFile(t / "noise.webm", noise);
  // A playlist named as a video would have the library open what it names.
  testsupport::writeFile(t / "playlist.mp4",
                         "#EXTM3U\n#EXT-X-TARGETDURATION:1\n#EXTINF:1,\n" + t / "whole.mp4" + "\n#EXT-X-ENDLIST\n");
  ASSERT_EQ(mkfifo((t / "fifo.mp4").c_str(), 0600), 0);

  const struct {
    const char* name;
    ImgStatus status;
    const char* why;
  } kCases[] = {
      {"absent.mp4", IMG_DECODE_OPEN, ""},
      {"fifo.mp4", IMG_DECODE_OPEN, ""},
      {"audio.mp4", IMG_DECODE_DAMAGED, "no video stream"},
      {"truncated.mp4", IMG_DECODE_DAMAGED, "Invalid data found when processing input"},
      {"noise.webm", IMG_DECODE_DAMAGED, "Invalid data found when processing input"},
      {"playlist.mp4", IMG_DECODE_DAMAGED, "no MP4, QuickTime, WebM or Ogg container"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    const std::string path = t / c.name;
    ImgHeaderInfo info;
    ImgDecoded header, decode;
    EXPECT_EQ(imgVideoReadHeader(path.c_str(), &info, &header, nullptr), c.status);
    EXPECT_EQ(header.why, c.why);
    OwnedImg img;
    EXPECT_EQ(imgVideoDecode(&img.img, path.c_str(), {}, &decode), c.status);
    EXPECT_EQ(decode.why, c.why);
    EXPECT_EQ(img.img.rows, nullptr);
  }
}
