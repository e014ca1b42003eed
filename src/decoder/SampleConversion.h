#pragma once
// The calibrated mappings between audio frequency, interface sample and grey level.
#include <cstdint>

namespace zarvo {

// The sample value expected for an audio frequency, in single precision as the decoder has
// always computed it: step = 1100 / (high - low); value = (f - 1200) / step + low; value + 0.5
// truncated. Safe for any pair a damaged settings file can hold.
std::int32_t FrequencyToSample(double hertz, std::int32_t calLow, std::int32_t calHigh);

// The grey level 0..255 of a sample: (351 x (v - low)) / (high - low) - 96, clamped. 1500 Hz
// and below are black, 2300 Hz and above white.
std::int32_t SampleToGreyLevel(std::int32_t sample, std::int32_t calLow, std::int32_t calHigh);

// The same as 0x00RRGGBB with three equal components.
std::uint32_t SampleToGrey(std::int32_t sample, std::int32_t calLow, std::int32_t calHigh);

// The frequencies the decoder's levels stand for.
constexpr double kMidGreyHz = 1900;  // halfway between black (1500 Hz) and white (2300 Hz)
// Half the width of the edge counter's dead band around its centre: 1885..1915 Hz.
constexpr double kEdgeBandHz = 15;
// A centre outside these is no signal's: mid-grey is taken instead.
constexpr double kLowestCentreHz = 1000;
constexpr double kHighestCentreHz = 2300;

// Everything the decoder needs of one calibration, worked out once.
struct CalibrationTable {
  std::int32_t CalLow = 0;
  std::int32_t CalHigh = 0;
  std::int32_t MidGrey = 0;                          // 1900 Hz
  std::int32_t EdgeBandLow = 0, EdgeBandHigh = 0;    // 1885 and 1915 Hz
  std::int32_t LowestCentre = 0, HighestCentre = 0;  // 1000 and 2300 Hz
  std::uint32_t Grey[256] = {};
  bool Valid = false;

  // Recomputes when the calibration has changed.
  void Update(std::int32_t low, std::int32_t high);
};

}  // namespace zarvo
