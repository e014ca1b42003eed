// Area averaging on hand-worked pictures: each output pixel the exact mean of what it covers.
#include <gtest/gtest.h>

#include <vector>

#include "platform/AreaAverage.h"

namespace zarvo {
namespace {

using Greys = std::vector<int>;

// A picture `width` pixels wide of the greys `g`, row by row.
Bitmap Grey(int width, const Greys& g) {
  Bitmap picture(width, static_cast<int>(g.size()) / width);
  for (std::size_t i = 0; i < g.size(); ++i) picture.Data()[i] = GreyColour(g[i]);
  return picture;
}

// Rows first..end-1 (of them columns left..right-1) reduced to `width` x `height`; the others
// keep the buffer's 7.
Greys Reduce(const Bitmap& picture, int width, int height, int first = 0, int end = 1 << 30,
             int left = 0, int right = 1 << 30) {
  std::vector<std::uint8_t> out(static_cast<std::size_t>(width * height), 7);
  AreaAverage(picture, width, height, first, end, out.data(), width, left, right);
  return {out.begin(), out.end()};
}

TEST(AreaAverage, EachPixelTheMeanOfWhatItCovers) {
  const struct {
    const char* Case;
    Bitmap Picture;
    int Width, Height;
    Greys Expected;
  } cases[] = {
      // A black line one pixel wide on white, 3:1: a third of the way to black, not gone.
      {"thin line 3:1", Grey(6, {255, 0, 255, 255, 255, 255}), 2, 1, {170, 255}},
      // 2 x 2 regions: (10 + 20 + 30 + 41) / 4 = 25.25, (1 + 2 + 3 + 4) / 4 = 2.5 rounds up.
      {"2x2", Grey(4, {10, 20, 1, 2, 30, 41, 3, 4, 9, 9, 0, 0, 9, 9, 0, 2}), 2, 2, {25, 3, 9, 1}},
      // 5 onto 2: the middle column (row) is cut in half, each half counting in its own pixel.
      {"5:2 columns", Grey(5, {0, 0, 100, 200, 200}), 2, 1, {20, 180}},
      {"5:2 rows", Grey(1, {0, 0, 100, 200, 200}), 1, 2, {20, 180}},
      // 3 onto 2 both ways: the middle row and column are shared; (4 x 90 + 2 x 0 ...) / 2.25.
      {"3:2 corner", Grey(3, {90, 90, 0, 90, 90, 0, 0, 0, 0}), 2, 2, {90, 30, 30, 10}},
      // 7 onto 3: the middle pixel shares a column with each neighbour; 660 / 7 = 94.3.
      {"7:3 columns", Grey(7, {0, 0, 210, 60, 30, 0, 0}), 3, 1, {30, 94, 4}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Reduce(c.Picture, c.Width, c.Height), c.Expected) << c.Case;
    if (c.Width == 1) continue;
    // Output column 1 alone: the same value, from the same shares of the columns it cuts.
    Greys column(c.Expected.size(), 7);
    for (std::size_t i = 1; i < column.size(); i += c.Width) column[i] = c.Expected[i];
    EXPECT_EQ(Reduce(c.Picture, c.Width, c.Height, 0, 1 << 30, 1, 2), column) << c.Case;
  }
  // A colour's grey: (0 + 0 + 255) / 3 and (255 + 0 + 0) / 3. Rows 1 and 2 of four only.
  Bitmap colour(2, 1);
  colour.SetPixel(0, 0, 0x0000FF);
  colour.SetPixel(1, 0, 0xFF0000);
  EXPECT_EQ(Reduce(colour, 1, 1), Greys{85});
  EXPECT_EQ(Reduce(Grey(1, {10, 20, 30, 40}), 1, 4, 1, 3), (Greys{7, 20, 30, 7}));
}

}  // namespace
}  // namespace zarvo
