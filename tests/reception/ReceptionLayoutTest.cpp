// The reception window's geometry and title cycle, in the window's own integer arithmetic.
#include <gtest/gtest.h>

#include "reception/ReceptionLayout.h"

namespace zarvo {
namespace {

TEST(ReceptionLayout, HalfScaleAndTheScrollBar) {
  // 905 picture pixels left of the 85-pixel panel and its 2-pixel strip: half scale.
  DisplayRectangle rect;
  ReceptionLayout l = LayOut(905 + 87, 600, rect, false, true);
  EXPECT_TRUE(l.PanelVisible);
  EXPECT_EQ(l.Rect.Right, 905);
  EXPECT_EQ(l.Rect.Bottom, 1125);  // 2250 rows in 1125 screen rows
  EXPECT_EQ(l.ScrollMax, 1126 - 600);
  EXPECT_EQ(l.ScrollLargeStep, 599);
  EXPECT_EQ(l.StripLeft, 905);
  EXPECT_EQ(l.StripRight, 907);
  EXPECT_TRUE(l.SetScrollPosition);
  EXPECT_EQ(l.ClientHeight, 600);
}

TEST(ReceptionLayout, NarrowWindowHidesThePanel) {
  ReceptionLayout l = LayOut(250, 300, {}, false, false);
  EXPECT_FALSE(l.PanelVisible);
  EXPECT_EQ(l.Rect.Right, 250);
  EXPECT_EQ(l.StripLeft, 250);
  EXPECT_TRUE(LayOut(251, 300, {}, false, false).PanelVisible);
}

TEST(ReceptionLayout, NeverTallerThanThePicture) {
  // Scrolled down, in a window that now holds the whole picture: back to the top, then shrunk.
  DisplayRectangle rect;
  rect.Top = -300;
  ReceptionLayout l = LayOut(905 + 87, 2000, rect, false, true);
  EXPECT_EQ(l.Rect.Top, 0);
  EXPECT_EQ(l.Rect.Bottom, 1125);
  EXPECT_EQ(l.ClientHeight, 1126);
  EXPECT_FALSE(LayOut(905 + 87, 600, rect, true, true).SetScrollPosition);  // user scrolling
}

TEST(ReceptionLayout, FollowingTheWriter) {
  DisplayRectangle rect;
  rect.Right = 905;
  // Row 1300 is screen row 650, below a 600-row client area: it lands at the bottom edge.
  EXPECT_FALSE(FollowLine(1000, 600, false, false, rect));  // screen row 500: visible
  EXPECT_TRUE(FollowLine(1300, 600, false, false, rect));
  EXPECT_EQ(rect.Top, 600 - 650);
  // With slow scrolling it lands 16 rows higher.
  rect.Top = 0;
  EXPECT_TRUE(FollowLine(1300, 600, true, false, rect));
  EXPECT_EQ(rect.Top, 600 - 650 - 16);
  // A restarted picture above the view brings the view back to the top.
  EXPECT_TRUE(FollowLine(0, 600, false, false, rect) || rect.Top == 0);
  EXPECT_EQ(rect.Top, 0);
  // While the user scrolls nothing moves.
  rect.Top = -100;
  EXPECT_FALSE(FollowLine(2000, 600, false, true, rect));
  EXPECT_EQ(rect.Top, -100);
}

TEST(TitleCycle, TextsInOrder) {
  EXPECT_EQ(TitleCycle::StatusCaption(""), "Incoming Fax");
  EXPECT_EQ(TitleCycle::StatusCaption("manual start"), "Incoming Fax: manual start");
  TitleCycle cycle;
  int period = -1;
  EXPECT_EQ(cycle.Tick(false, "120 LPM, IOC 576", period), "Incoming Fax     Zarvo Meteo");
  EXPECT_EQ(period, 5000);
  EXPECT_EQ(cycle.Tick(false, "120 LPM, IOC 576", period), "Incoming Fax     ");
  EXPECT_EQ(period, 0);
  EXPECT_EQ(cycle.Tick(true, "120 LPM, IOC 576", period),
            "Incoming Fax: 120 LPM, IOC 576     Zarvo Meteo");
  EXPECT_EQ(cycle.Tick(true, "120 LPM, IOC 576", period), "Incoming Fax: 120 LPM, IOC 576     ");
}

}  // namespace
}  // namespace zarvo
