#pragma once
// The calibration arithmetic of the configuration window: the display form of the audio
// calibration and its inverse, the clock calibration, and the number parsing of its edits.
#include <cstdint>
#include <string>

namespace zarvo {

// The edits show, for the line through (CalLow, 48) and (CalHigh, 224), the samples where it
// reaches 8 and 264: what a straight-line interface would give for 950 Hz and 2550 Hz.
struct ShownCalibration {
  double Low = 0;
  double High = 0;
};
ShownCalibration CalibrationShown(std::int32_t calLow, std::int32_t calHigh);

// The inverse: the stored pair for shown values a and b. False (nothing written) when the pair
// cannot be stored: equal shown values, or values so close that the pair would be equal, or
// results beyond 32 bits.
bool CalibrationFromShown(double a, double b, std::int32_t& calLow, std::int32_t& calHigh);

// The leading decimal number of a text, in any locale: blanks, a sign, digits with a dot or a
// comma as decimal separator, an exponent ("  -3,5e1abc" is -35). Reading stops at the first
// character that cannot continue the number; no number (also "inf", "nan", out of range) gives 0.
double LeadingNumber(const std::string& text);
// The leading decimal integer: optional blanks, an optional sign, the digits; none gives 0.
// Values beyond 32 bits are held at the limit.
std::int32_t LeadingInteger(const std::string& text);

// "%.2f" (or another number of decimals), and the general format with up to 15 significant
// digits, rounded as printf does, always with a dot whatever the locale.
std::string FixedText(double value, int decimals = 2);
std::string GeneralText(double value);

// The track bar position of a ClockCal: x 10000, rounded half away from zero, within +-1000.
int ClockCalPosition(double clockCal);
// Applies a track bar position to the global record: ClockCal, a repaired DataRate, SamplePeriod.
// Returns the label text ("0.0250 %").
std::string ApplyClockCalibration(int position);

}  // namespace zarvo
