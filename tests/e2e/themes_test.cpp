// The bundled themes through the real binary: every page they frame keeps
// its links, and the frameset takes the -lw: width.
#include <gtest/gtest.h>

#include <string>

#include "support/photos_album.h"

namespace {

using testsupport::writeFile;

class ThemedAlbum : public testsupport::PhotosAlbum, public testing::WithParamInterface<const char*> {};

TEST_P(ThemedAlbum, PagesKeepTheirLinksAndTheFramesetTakesTheWidth) {
  testsupport::makeJpeg(at("big.jpg"), 900, 700);
  testsupport::makeJpeg(at("trip/small.jpg"), 300, 300);
  writeFile(at("trip/small.txt"), "<t>Small</t> one");
  writeFile(at("trip/deeper/song.mp3"), "ID3");
  writeFile(at("trip/deeper/clip.mp4"), "....ftypisom");
  writeFile(at("trip/deeper/old.avi"), "RIFF");
  const std::string conf = std::string(QUORVEL_SOURCE_DIR "/themes/") + GetParam() + ".conf";
  ASSERT_EQ(run({"-mp3", "-video", "-lw:150", "-conf:" + conf}).status, 0);
  expectLinksResolve();
  EXPECT_NE(page("trip/quorvelFrameset.html").find("/150px 1fr}"), std::string::npos);
  // With -nav, what it adds quorvel writes into the theme's pages itself.
  ASSERT_EQ(run({"-nav", "-conf:" + conf}).status, 0);
  expectLinksResolve();
  EXPECT_NE(page("quorvelFrameset.html").find("<script>"), std::string::npos);
  EXPECT_NE(page("big.md.html").find("class=\"quorvel-nav\""), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Themes, ThemedAlbum, testing::Values("modern", "dark"));

}  // namespace
