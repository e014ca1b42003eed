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

// Everything the decoder needs of one calibration, worked out once.
struct CalibrationTable {
  std::int32_t CalLow = 0;
  std::int32_t CalHigh = 0;
  std::int32_t F1000 = 0, F1885 = 0, F1900 = 0, F1915 = 0, F2300 = 0;
  std::uint32_t Grey[256] = {};
  bool Valid = false;

  // Recomputes when the calibration has changed.
  void Update(std::int32_t low, std::int32_t high);
};

}  // namespace zarvo
