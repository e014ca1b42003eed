#pragma once
// What both reception tables share: the lines a picture is sent as, and their printed columns.
#include <span>
#include <string>
#include <vector>

#include "sim/Picture.h"

namespace zarvo::measure {

// The sent lines of a picture: every row at IOC 576, rows 0, 2, 4, ... at IOC 288.
sim::GreyImage SentLines(const sim::GreyImage& picture, int ioc);

// A figure with one decimal.
std::string Fixed(double v);

// One table line, each column padded to its width, without the padding at its end.
void PrintColumns(const std::vector<std::string>& cells, std::span<const int> widths);

}  // namespace zarvo::measure
