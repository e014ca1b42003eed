// The left-border mark, the clock correction from two corners, and the detailed view's window.
#include <gtest/gtest.h>

#include <cstdio>

#include "reception/PictureClicks.h"

namespace zarvo {
namespace {

TEST(LeftBorderMark, ShiftsTheReceivedRowsCyclically) {
  Bitmap picture(1810, 2250, 0);
  for (int y = 0; y < 2250; y += 499)
    for (int x = 0; x < 1810; ++x) picture.SetPixel(x, y, static_cast<std::uint32_t>(x));
  std::int32_t column = 700;
  MarkLeftBorder(picture, 500, 0, column);  // at column 0 nothing changes
  EXPECT_EQ(column, 700);
  EXPECT_EQ(picture.Pixel(5, 0), 5u);

  MarkLeftBorder(picture, 500, 100, column);
  EXPECT_EQ(column, 600);  // the line being received continues 100 pixels to the left
  EXPECT_EQ(picture.Pixel(0, 0), 100u);
  EXPECT_EQ(picture.Pixel(1709, 499), 1809u);
  EXPECT_EQ(picture.Pixel(1710, 499), 0u);
  EXPECT_EQ(picture.Pixel(1809, 0), 99u);
  EXPECT_EQ(picture.Pixel(0, 998), 0u);  // rows from SaveHeight down stay

  // A click in the strip right of the picture takes its last column; nothing outside is read.
  MarkLeftBorder(picture, 1, 5000, column);
  EXPECT_EQ(column, 600 - 1809);
  EXPECT_EQ(picture.Pixel(0, 0), (100u + 1809u) % 1810u);
}

TEST(ClockCorrection, FromTwoCorners) {
  float c = 0;
  // Left edge drifting right going down: negative, and halved.
  ASSERT_TRUE(ClockCorrection(100, 50, 110, 1850, 1, 1810, c));
  EXPECT_NEAR(c, -0.000307 / 2, 1e-7);
  char text[32];
  std::snprintf(text, sizeof text, "%.4f%%", static_cast<double>(c));
  EXPECT_STREQ(text, "-0.0002%");
  // The trackbar: truncate(-1.53 + 0.5) = -1.
  EXPECT_EQ(static_cast<int>(c * 10000.0 + 0.5), -1);
  ASSERT_TRUE(ClockCorrection(110, 50, 100, 1850, 1, 1810, c));
  EXPECT_NEAR(c, 0.000307 / 2, 1e-7);  // below 0.001: halved too
  ASSERT_TRUE(ClockCorrection(1000, 0, 0, 27150, 1, 1810, c));
  EXPECT_NEAR(c, 100.0 * 1000 / 1810 / 27150, 1e-7);  // 0.002 or more: as it is
  ASSERT_TRUE(ClockCorrection(110, 50, 100, 1850, 0, 1810, c));
  EXPECT_NEAR(c, 2 * 0.000307 / 2, 1e-7);                       // IOC 288: each line is two rows
  EXPECT_FALSE(ClockCorrection(100, 50, 110, 50, 1, 1810, c));  // one row measures nothing
}

TEST(DetailedView, KeptInsideThePicture) {
  int left, top;
  DetailOrigin(1809, 2249, 400, 300, 1810, 2250, left, top);
  EXPECT_EQ(left, 1410);
  EXPECT_EQ(top, 1950);
  DetailOrigin(0, 0, 400, 300, 1810, 2250, left, top);
  EXPECT_EQ(left, 0);
  EXPECT_EQ(top, 0);
  DetailOrigin(900, 1000, 400, 300, 1810, 2250, left, top);
  EXPECT_EQ(left, 700);
  EXPECT_EQ(top, 850);
  EXPECT_EQ(PictureColumn(905, 905, 1810), 1810);
  EXPECT_EQ(PictureRow(10, -100, 905, 1810), 220);
}

}  // namespace
}  // namespace zarvo
