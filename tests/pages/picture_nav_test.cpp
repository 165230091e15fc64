#include "pages/picture_nav.h"

#include <gtest/gtest.h>

namespace {

TEST(PictureNav, DurationShowsMinutesAndSecondsAndHoursPastAnHour) {
  struct Case {
    long long ms;
    const char* shown;
  } cases[] = {
      {-1, ""},          {0, "0:00"},          {499, "0:00"},         {500, "0:01"},
      {59'499, "0:59"},  {59'500, "1:00"},     {754'000, "12:34"},    {3'599'499, "59:59"},
      {3'599'500, "1:00:00"}, {36'061'000, "10:01:01"},
  };
  for (const Case& c : cases) EXPECT_EQ(navDuration(c.ms), c.shown) << c.ms;
}

// A theme's page may have a title of either case, or none: it gets one.
TEST(PictureNav, RetitledPagesAlwaysCarryTheTitle) {
  EXPECT_EQ(navRetitled("<head><title>Album</title></head>", "trip"), "<head><title>trip</title></head>");
  EXPECT_EQ(navRetitled("<HEAD><TITLE>x</TITLE></HEAD>", "trip"), "<HEAD><TITLE>trip</TITLE></HEAD>");
  EXPECT_EQ(navRetitled("<head><style></style></head><body>", "trip"),
            "<head><style></style><title>trip</title>\n</head><body>");
  EXPECT_EQ(navRetitled("<body>no head", "trip"), "<body>no head");
}

}  // namespace
