#pragma once
// The spectrum display's picture: a leaky histogram of the incoming sample values. Every sample
// lengthens its value's bar by two pixels and shortens one bar, taken in turn, by one, so the
// bars show where the incoming tones lie while the receiver is tuned.
#include <cstdint>

#include "interface/InThread.h"
#include "platform/Bitmap.h"

namespace zarvo {

inline constexpr int SpecWidth = 128;
inline constexpr int SpecHeight = 32;
inline constexpr int SpecBaseRow = 30;    // first row of the base line; bars stand on it
inline constexpr int SpecMaxHeight = 26;  // a bar grows while it is below 25, two at a time

inline constexpr std::uint32_t SpecWhite = 0xFFFFFF;
inline constexpr std::uint32_t SpecGrey = 0x808080;
inline constexpr std::uint32_t SpecYellow = 0xFFFF00;
inline constexpr std::uint32_t SpecBlue = 0x0000FF;

// The column of a sample: (201 x (s - low) / (high - low) + 36) / 2, truncating divisions, so a
// 1200 Hz tone lands in column 18 and a 2300 Hz one in 118. May lie outside 0..127. Equal
// calibration values count as a difference of 1 rather than dividing by zero.
std::int32_t SpecColumn(std::int32_t sample, std::int32_t calLow, std::int32_t calHigh);

class SpectrumHistogram {
 public:
  // The white picture with the base line and the 1500 and 2300 Hz marks of this calibration.
  SpectrumHistogram(std::int32_t calLow, std::int32_t calHigh);

  // Takes every sample the spectrum's reader may take from `in` and counts it. True when the
  // picture has changed since it was last shown (the caller repaints).
  bool Update(InThread& in, std::int32_t calLow, std::int32_t calHigh);
  // Counts one sample into the picture.
  void AddSample(std::uint8_t sample) {
    const std::int32_t c = columnOf_[sample];
    if (c >= 0 && c < SpecWidth && SpecHeights[c] < SpecMaxHeight - 1) {
      SpecBitmap.SetPixel(c, SpecBaseRow - ++SpecHeights[c], SpecBlue);
      SpecBitmap.SetPixel(c, SpecBaseRow - ++SpecHeights[c], SpecBlue);
    }
    // The leak runs for every sample, counted or not, one column at a time.
    if (++DecayColumn >= SpecWidth) DecayColumn = 0;
    if (SpecHeights[DecayColumn] > 0) {
      SpecBitmap.SetPixel(DecayColumn, SpecBaseRow - SpecHeights[DecayColumn], SpecWhite);
      --SpecHeights[DecayColumn];
    }
  }
  // Works out the columns of all 256 sample values when the calibration has changed.
  void SetCalibration(std::int32_t calLow, std::int32_t calHigh);

  Bitmap SpecBitmap;
  std::int32_t SpecHeights[SpecWidth] = {};
  std::int32_t SpecReadPos = 0;   // next RxBuffer index to take
  std::int32_t DecayColumn = 0;   // the column the leak shortens next is the one after it
  std::int32_t SpecShownPos = 0;  // SpecReadPos when the picture was last shown

 private:
  void FillColumns();
  void DrawFixedParts(std::int32_t calLow, std::int32_t calHigh);

  std::int32_t calLow_;
  std::int32_t calHigh_;
  std::int32_t columnOf_[256] = {};
  SampleSink sink_;  // made once: an update allocates nothing
};

}  // namespace zarvo
