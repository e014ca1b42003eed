// Area averaging on hand-worked pictures: each output pixel the exact mean of what it covers.
#include <gtest/gtest.h>

#include <vector>

#include "platform/AreaAverage.h"

namespace zarvo {
namespace {

using Rows = std::vector<std::vector<int>>;

Bitmap Grey(const Rows& rows) {
  Bitmap picture(static_cast<int>(rows[0].size()), static_cast<int>(rows.size()));
  for (int y = 0; y < picture.Height(); ++y)
    for (int x = 0; x < picture.Width(); ++x)
      picture.SetPixel(x, y,
                       GreyColour(rows[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)]));
  return picture;
}

Rows Reduce(const Bitmap& picture, int width, int height, int first = 0, int end = 1 << 30) {
  std::vector<std::uint8_t> out(static_cast<std::size_t>(width * height), 7);
  AreaAverage(picture, width, height, first, end, out.data(), width);
  Rows rows(static_cast<std::size_t>(height));
  for (int y = 0; y < height; ++y)
    rows[static_cast<std::size_t>(y)].assign(out.begin() + y * width,
                                             out.begin() + (y + 1) * width);
  return rows;
}

TEST(AreaAverage, EachPixelTheMeanOfWhatItCovers) {
  const struct {
    const char* Case;
    Rows Picture;
    int Width, Height;
    Rows Expected;
  } cases[] = {
      // A black line one pixel wide on white, 3:1: a third of the way to black, not gone.
      {"thin line 3:1",
       {{255, 0, 255, 255, 255, 255}, {255, 0, 255, 255, 255, 255}, {255, 0, 255, 255, 255, 255}},
       2,
       1,
       {{170, 255}}},
      {"thin row 3:1", {{255, 255}, {255, 255}, {0, 0}}, 1, 1, {{170}}},
      // 2 x 2 regions: (10 + 20 + 30 + 41) / 4 = 25.25, (1 + 2 + 3 + 4) / 4 = 2.5 rounds up.
      {"region means",
       {{10, 20, 1, 2}, {30, 41, 3, 4}, {9, 9, 0, 0}, {9, 9, 0, 2}},
       2,
       2,
       {{25, 3}, {9, 1}}},
      // 5 onto 2: column 2 is cut in half, each half counting in its own output pixel.
      {"5:2 columns", {{0, 0, 100, 200, 200}}, 2, 1, {{20, 180}}},
      {"5:2 rows", {{0}, {0}, {100}, {200}, {200}}, 1, 2, {{20}, {180}}},
      // 3 onto 2 both ways: the middle row and column are shared; (4 x 90 + 2 x 0 ...) / 2.25.
      {"3:2 corner", {{90, 90, 0}, {90, 90, 0}, {0, 0, 0}}, 2, 2, {{90, 30}, {30, 10}}},
      {"same size", {{1, 2}, {3, 4}}, 2, 2, {{1, 2}, {3, 4}}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Reduce(Grey(c.Picture), c.Width, c.Height), c.Expected) << c.Case;
}

TEST(AreaAverage, GreyOfAColourAndOnlyTheRowsAsked) {
  Bitmap colour(2, 1);
  colour.SetPixel(0, 0, 0x0000FF);  // (0 + 0 + 255) / 3
  colour.SetPixel(1, 0, 0xFF0000);
  EXPECT_EQ(Reduce(colour, 1, 1), (Rows{{85}}));
  // Rows 1 and 2 of four: the others keep what the buffer held.
  const Bitmap picture = Grey({{10}, {20}, {30}, {40}});
  EXPECT_EQ(Reduce(picture, 1, 4, 1, 3), (Rows{{7}, {20}, {30}, {7}}));
}

}  // namespace
}  // namespace zarvo
