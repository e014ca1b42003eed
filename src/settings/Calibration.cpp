#include "settings/Calibration.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "app/Messages.h"
#include "settings/Settings.h"

namespace zarvo {

ShownCalibration CalibrationShown(std::int32_t calLow, std::int32_t calHigh) {
  const long double s = -176.0L / (static_cast<long double>(calLow) - calHigh);
  const long double o = 48.0L - calLow * s;
  return {static_cast<double>((8.0L - o) / s), static_cast<double>((264.0L - o) / s)};
}

namespace {

bool RoundToInt32(long double v, std::int32_t& out) {
  const long double r = std::trunc(v + 0.5L);
  if (!std::isfinite(r) || r < std::numeric_limits<std::int32_t>::min() ||
      r > std::numeric_limits<std::int32_t>::max())
    return false;
  out = static_cast<std::int32_t>(r);
  return true;
}

}  // namespace

bool CalibrationFromShown(double a, double b, std::int32_t& calLow, std::int32_t& calHigh) {
  if (a == b || !std::isfinite(a) || !std::isfinite(b)) return false;
  const long double s = -128.0L / (static_cast<long double>(a) - b);
  const long double o = 84.0L - s * a;
  std::int32_t low, high;
  if (!RoundToInt32((104.0L - o) / s, low) || !RoundToInt32((192.0L - o) / s, high) || low == high)
    return false;
  calLow = low;
  calHigh = high;
  return true;
}

double LeadingNumber(const std::string& text) {
  const double v = std::strtod(text.c_str(), nullptr);
  return std::isfinite(v) ? v : 0.0;
}

std::int32_t LeadingInteger(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
    value = std::min<std::int64_t>(value * 10 + (text[i] - '0'), std::int64_t{1} << 32);
  value = negative ? -value : value;
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(
      value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

std::string FixedText(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.2f", value);
  return text;
}

std::string GeneralText(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.15g", value);
  return text;
}

int ClockCalPosition(double clockCal) {
  const double scaled = clockCal * 10000.0;
  if (!std::isfinite(scaled)) return 0;
  const double rounded = scaled < 0 ? -std::floor(-scaled + 0.5) : std::floor(scaled + 0.5);
  return static_cast<int>(std::clamp(rounded, -1000.0, 1000.0));
}

std::string ApplyClockCalibration(int position) {
  Settings.ClockCal = static_cast<float>(position * 0.0001);
  if (Settings.DataRate == 0) {
    ReportError("Bad Interface Data Rate, reset to default.");
    Settings.DataRate = 7200;
  }
  Settings.SamplePeriod = ComputeSamplePeriod(Settings.ClockCal, Settings.DataRate);
  char text[32];
  std::snprintf(text, sizeof text, "%.4f %%", static_cast<double>(Settings.ClockCal));
  return text;
}

}  // namespace zarvo
