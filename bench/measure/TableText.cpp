#include "measure/TableText.h"

#include <algorithm>
#include <cstdio>

#include "sim/Broadcast.h"

namespace zarvo::measure {

sim::GreyImage SentLines(const sim::GreyImage& picture, int ioc) {
  sim::GreyImage lines;
  lines.Width = picture.Width;
  lines.Height = sim::PictureLines(picture.Height, ioc);
  const int step = ioc == 288 ? 2 : 1;
  for (int l = 0; l < lines.Height; ++l)
    lines.Pixels.insert(lines.Pixels.end(),
                        picture.Pixels.begin() + static_cast<long>(l) * step * picture.Width,
                        picture.Pixels.begin() + (static_cast<long>(l) * step + 1) * picture.Width);
  return lines;
}

std::string Fixed(double v) {
  char text[16];
  std::snprintf(text, sizeof text, "%.1f", v);
  return text;
}

void PrintColumns(const std::vector<std::string>& cells, std::span<const int> widths) {
  std::string line;
  for (std::size_t i = 0; i < cells.size() && i < widths.size(); ++i) {
    line += cells[i];
    if (i + 1 < cells.size())
      line.append(
          static_cast<std::size_t>(std::max(1, widths[i] + 1 - static_cast<int>(cells[i].size()))),
          ' ');
  }
  while (!line.empty() && line.back() == ' ') line.pop_back();
  std::printf("%s\n", line.c_str());
}

}  // namespace zarvo::measure
