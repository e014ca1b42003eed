// The reception window's geometry and title cycle, in the window's own integer arithmetic.
#include <gtest/gtest.h>

#include <tuple>

#include "reception/ReceptionLayout.h"

namespace zarvo {
namespace {

TEST(ReceptionLayout, HalfScaleThePanelTheScrollBarAndFollowingTheWriter) {
  // 905 picture pixels left of the 85-pixel panel and its 2-pixel strip: half scale, 2250 rows
  // in 1125 screen rows.
  ReceptionLayout l = LayOut(905 + 87, 600, {}, false, true);
  EXPECT_EQ(std::tuple(l.PanelVisible, l.Rect.Right, l.Rect.Bottom, l.StripLeft, l.StripRight),
            std::tuple(true, 905, 1125, 905, 907));
  EXPECT_EQ(std::tuple(l.ScrollMax, l.ScrollLargeStep, l.SetScrollPosition, l.ClientHeight),
            std::tuple(1126 - 600, 599, true, 600));
  l = LayOut(250, 300, {}, false, false);  // too narrow for the panel
  EXPECT_EQ(std::tuple(l.PanelVisible, l.Rect.Right, l.StripLeft), std::tuple(false, 250, 250));
  EXPECT_TRUE(LayOut(251, 300, {}, false, false).PanelVisible);
  // Scrolled down, in a window that now holds the whole picture: back to the top, then shrunk;
  // but not while the user scrolls.
  const DisplayRectangle scrolled{0, -300, 0, 0};
  l = LayOut(905 + 87, 2000, scrolled, false, true);
  EXPECT_EQ(std::tuple(l.Rect.Top, l.Rect.Bottom, l.ClientHeight), std::tuple(0, 1125, 1126));
  EXPECT_FALSE(LayOut(905 + 87, 600, scrolled, true, true).SetScrollPosition);

  // Following the writer.
  const auto follow = [](int line, bool slowScroll, bool userScrolling, int top) {
    DisplayRectangle rect{0, top, 905, 0};
    return std::pair(FollowLine(line, 600, slowScroll, userScrolling, rect), rect.Top);
  };
  // Row 1300 is screen row 650, below a 600-row client area: it lands at the bottom edge, 16 rows
  // higher with slow scrolling. Row 1200, screen row 600, is still in view.
  EXPECT_EQ(follow(1300, false, false, 0), std::pair(true, 600 - 650));
  EXPECT_EQ(follow(1300, true, false, 0), std::pair(true, 600 - 650 - 16));
  EXPECT_EQ(follow(1200, false, false, 0), std::pair(false, 0));
  // A restarted picture above the view brings the view back to the top; while the user scrolls
  // nothing moves.
  EXPECT_EQ(follow(0, false, false, -66), std::pair(true, 0));
  EXPECT_EQ(follow(2000, false, true, -100), std::pair(false, -100));
}

TEST(TitleCycle, TextsInOrder) {
  EXPECT_EQ(TitleCycle::StatusCaption(""), "Incoming Fax");
  // The mode and the product name for 5 s, then the mode alone until the next status.
  TitleCycle cycle;
  for (const auto& [open, title, next] :
       {std::tuple{false, "Incoming Fax     Zarvo Meteo", 5000},
        std::tuple{false, "Incoming Fax     ", 0},
        std::tuple{true, "Incoming Fax: 120 LPM, IOC 576     Zarvo Meteo", 5000},
        std::tuple{true, "Incoming Fax: 120 LPM, IOC 576     ", 0}}) {
    int period = -1;
    EXPECT_EQ(cycle.Tick(open, "120 LPM, IOC 576", period), title);
    EXPECT_EQ(period, next) << title;
  }
}

}  // namespace
}  // namespace zarvo
