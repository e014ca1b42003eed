#include "decoder/SampleConversion.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace zarvo {
namespace {

// Equal values never reach here from a loaded file; a difference of 0 is read as 1 rather than
// dividing by zero.
std::int64_t Span(std::int32_t low, std::int32_t high) {
  const std::int64_t span = std::int64_t{high} - low;
  return span == 0 ? 1 : span;
}

}  // namespace

std::int32_t FrequencyToSample(double hertz, std::int32_t calLow, std::int32_t calHigh) {
  const float step = static_cast<float>(1100.0 / static_cast<double>(Span(calLow, calHigh)));
  const float value = static_cast<float>((hertz - 1200.0) / static_cast<double>(step) + calLow);
  const double rounded = std::trunc(static_cast<double>(value) + 0.5);
  if (!(rounded > std::numeric_limits<std::int32_t>::min()))
    return std::numeric_limits<std::int32_t>::min();
  if (!(rounded < std::numeric_limits<std::int32_t>::max()))
    return std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(rounded);
}

std::int32_t SampleToGreyLevel(std::int32_t sample, std::int32_t calLow, std::int32_t calHigh) {
  // 64-bit, so that no calibration can overflow; the results for real ones are unchanged.
  const std::int64_t g = (351 * (std::int64_t{sample} - calLow)) / Span(calLow, calHigh) - 96;
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(g, 0, 255));
}

std::uint32_t SampleToGrey(std::int32_t sample, std::int32_t calLow, std::int32_t calHigh) {
  return static_cast<std::uint32_t>(SampleToGreyLevel(sample, calLow, calHigh)) * 0x010101u;
}

void CalibrationTable::Update(std::int32_t low, std::int32_t high) {
  if (Valid && low == CalLow && high == CalHigh) return;
  CalLow = low;
  CalHigh = high;
  MidGrey = FrequencyToSample(kMidGreyHz, low, high);
  EdgeBandLow = FrequencyToSample(kMidGreyHz - kEdgeBandHz, low, high);
  EdgeBandHigh = FrequencyToSample(kMidGreyHz + kEdgeBandHz, low, high);
  LowestCentre = FrequencyToSample(kLowestCentreHz, low, high);
  HighestCentre = FrequencyToSample(kHighestCentreHz, low, high);
  for (int v = 0; v < 256; ++v) Grey[v] = SampleToGrey(v, low, high);
  Valid = true;
}

}  // namespace zarvo
