// The page entry -hidpi's markup is written from.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "album/pipeline.h"
#include "base/settings.h"
#include "support/test_support.h"

namespace {

using testsupport::makeJpeg;

struct HidpiSettings {
  HidpiSettings() { gSettings.hidpi = true; }
  ~HidpiSettings() { gSettings = Settings{}; }
};

TEST(PictureEntry, NamesTheHidpiFilesAndReadsTheLargeViewsSize) {
  const HidpiSettings hidpi;
  testsupport::TempDir t;
  const std::string pic = t / "pic.jpg";
  for (auto [name, width, height] : {std::tuple{"pic.jpg", 900, 600}, {"pic.lg.jpg", 900, 600},
                                     {"pic.md.jpg", 640, 427}, {"pic.vi.jpg", 96, 64}})
    makeJpeg(t / name, width, height);
  const PictureNames names = pictureNames(pic.c_str());

  const PictureEntry entry = pictureEntry(pic.c_str(), "pic.jpg", 1, true, names, nullptr, true);
  EXPECT_EQ(entry.micro2Path, t / "pic.vi2.jpg");
  EXPECT_EQ(entry.micro3Path, t / "pic.vi3.jpg");
  EXPECT_EQ(entry.rollover2Path, t / "pic.vr2.jpg");
  EXPECT_EQ(entry.rollover3Path, t / "pic.vr3.jpg");
  EXPECT_EQ(entry.largePath, t / "pic.lg.jpg");
  EXPECT_TRUE(entry.largeSize.known);
  EXPECT_EQ(entry.largeSize.width, 900);
  EXPECT_EQ(entry.largeSize.height, 600);

  // A large view left from an earlier picture of the name is not this one's.
  const PictureEntry small = pictureEntry(pic.c_str(), "pic.jpg", 1, true, names, nullptr, false);
  EXPECT_EQ(small.largePath, "");
  EXPECT_FALSE(small.largeSize.known);
}

}  // namespace
