#pragma once
// Pictures to broadcast: a grey image, the readers of the picture files the simulator takes,
// and the built-in test chart.
#include <cstdint>
#include <string>
#include <vector>

#include "decoder/Decoder.h"

namespace zarvo::sim {

struct GreyImage {
  int Width = 0;
  int Height = 0;
  std::vector<std::uint8_t> Pixels;  // row-major, 0 black .. 255 white

  std::uint8_t At(int column, int row) const {
    return Pixels[static_cast<std::size_t>(row) * Width + column];
  }
};

// Width and height above this are taken as a broken header rather than a picture.
inline constexpr int MaxPictureSide = 20000;

// Reads a PGM (P5 with up to 8 bits, or P2) or an uncompressed Windows BMP (8-bit paletted,
// 24-bit or 32-bit) as grey. On failure `out` is left alone and `error` says what is wrong.
bool ReadPicture(const std::string& path, GreyImage& out, std::string& error);
// The same on a file's bytes; `name` only goes into the error message.
bool DecodePicture(const std::vector<std::uint8_t>& bytes, const std::string& name, GreyImage& out,
                   std::string& error);

// The built-in chart, ChartWidth columns and `height` rows (ChartMinHeight..MaxPictureSide,
// std::invalid_argument otherwise). Layout, with B = height - ChartTopRows:
//   rows 0..39                     white everywhere;
//   every row from 40              columns 100..139 black (the left-border reference), the rest
//                                  of the margins (columns 0..279 and 1528..1809) white;
//   rows 40 .. 40+B/3-1            grey wedge: 16 steps of 78 columns from column 280, step k
//                                  grey 17*k (black at 280..357 up to white at 1450..1527);
//   rows 40+B/3 .. 40+2B/3-1       checkerboard of 32x32 squares over columns 280..1527, the
//                                  square at the band's top left black;
//   rows 40+2B/3 .. height-1       four groups of 312 columns from 280, black and white
//                                  vertical stripes 16, 8, 4 and 2 columns wide, black first.
// For the default 800 rows the bands start at rows 40, 293 and 546.
inline constexpr int ChartWidth = TDecoder::W;  // a line of the receiver's picture
inline constexpr int ChartTopRows = 40;
inline constexpr int ChartMinHeight = 100;
inline constexpr int ChartBarFirst = 100;
inline constexpr int ChartBarEnd = 140;
inline constexpr int ChartPatternFirst = 280;
inline constexpr int ChartPatternEnd = 1528;
GreyImage TestChart(int height = 800);

// The chart's band starts for a given height: wedge, checkerboard, stripes.
struct ChartBands {
  int Wedge = 0;
  int Checkerboard = 0;
  int Stripes = 0;
};
ChartBands TestChartBands(int height);

}  // namespace zarvo::sim
