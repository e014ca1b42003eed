#include "settings/Calibration.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

#include "platform/Messages.h"
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
  const auto digitsAt = [&text](std::size_t at) {
    std::size_t n = 0;
    while (at + n < text.size() && text[at + n] >= '0' && text[at + n] <= '9') ++n;
    return n;
  };
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  // The number is rewritten in the one form from_chars reads whatever the locale: no sign, a
  // dot, an integer part. Users type a comma as often as a dot.
  const std::size_t whole = digitsAt(i);
  std::string number = whole > 0 ? text.substr(i, whole) : "0";
  i += whole;
  std::size_t fraction = 0;
  if (i < text.size() && (text[i] == '.' || text[i] == ',')) {
    fraction = digitsAt(i + 1);
    if (fraction > 0) number += '.' + text.substr(i + 1, fraction);
    i += 1 + fraction;
  }
  if (whole == 0 && fraction == 0) return 0.0;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    const std::size_t sign = i + 1 < text.size() && (text[i + 1] == '+' || text[i + 1] == '-');
    const std::size_t exponent = digitsAt(i + 1 + sign);
    if (exponent > 0) number += 'e' + text.substr(i + 1, sign + exponent);
  }
  double value = 0.0;
  const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
  // Out of range (1e400) is no number the window could use.
  if (result.ec != std::errc() || !std::isfinite(value)) return 0.0;
  return negative ? -value : value;
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

namespace {

// printf's "%.*f" and "%.*g" as in the C locale: the desktop's locale must not put a comma in a
// number the window shows or asks about.
std::string Formatted(double value, std::chars_format format, int precision) {
  char text[400];  // "%.2f" of the largest double has 312 characters
  const auto result = std::to_chars(text, text + sizeof text, value, format, precision);
  return result.ec == std::errc() ? std::string(text, result.ptr) : std::string();
}

}  // namespace

std::string FixedText(double value, int decimals) {
  return Formatted(value, std::chars_format::fixed, decimals);
}

std::string GeneralText(double value) {
  return Formatted(value, std::chars_format::general, 15);
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
    Settings.DataRate = InterfaceTypeParams(1).DataRate;
  }
  Settings.SamplePeriod = ComputeSamplePeriod(Settings.ClockCal, Settings.DataRate);
  return FixedText(Settings.ClockCal, 4) + " %";
}

}  // namespace zarvo
