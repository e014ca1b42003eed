#include "spectrum/SpectrumHistogram.h"

#include <algorithm>
#include <limits>

#include "decoder/SampleConversion.h"

namespace zarvo {
namespace {

// An outline of pen colour from (left, top) to (right, bottom), both included, cut to the
// picture; the inside is filled with `brush`.
void OutlineRect(Bitmap& picture, int left, int top, int right, int bottom, std::uint32_t pen,
                 std::uint32_t brush) {
  picture.FillRect(left, top, right + 1, bottom + 1, pen);
  picture.FillRect(left + 1, top + 1, right, bottom, brush);
}

}  // namespace

std::int32_t SpecColumn(std::int32_t sample, std::int32_t calLow, std::int32_t calHigh) {
  // 64-bit, so that no damaged calibration can overflow; real ones give the same columns.
  std::int64_t span = std::int64_t{calHigh} - calLow;
  if (span == 0) span = 1;
  const std::int64_t column = (201 * (std::int64_t{sample} - calLow) / span + 36) / 2;
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(
      column, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

SpectrumHistogram::SpectrumHistogram(std::int32_t calLow, std::int32_t calHigh)
    : SpecBitmap(SpecWidth, SpecHeight, SpecWhite),
      calLow_(calLow),
      calHigh_(calHigh),
      sink_([this](const std::uint8_t* samples, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) AddSample(samples[i]);
      }) {
  FillColumns();
  DrawFixedParts(calLow, calHigh);
}

void SpectrumHistogram::SetCalibration(std::int32_t calLow, std::int32_t calHigh) {
  if (calLow == calLow_ && calHigh == calHigh_) return;
  calLow_ = calLow;
  calHigh_ = calHigh;
  FillColumns();
}

void SpectrumHistogram::FillColumns() {
  for (int s = 0; s < 256; ++s) columnOf_[s] = SpecColumn(s, calLow_, calHigh_);
}

void SpectrumHistogram::DrawFixedParts(std::int32_t calLow, std::int32_t calHigh) {
  OutlineRect(SpecBitmap, 0, SpecBaseRow, SpecWidth - 1, SpecBaseRow + 1, SpecGrey, SpecWhite);
  for (const double hertz : {1500.0, 2300.0}) {
    const std::int32_t c = SpecColumn(FrequencyToSample(hertz, calLow, calHigh), calLow, calHigh);
    // Far outside the picture a mark is simply not there; the clamp keeps c - 2 and c + 2 sane.
    const int centre = static_cast<int>(std::clamp(c, -SpecWidth, 2 * SpecWidth));
    OutlineRect(SpecBitmap, centre - 2, SpecBaseRow, centre + 2, SpecBaseRow + 1, SpecYellow,
                SpecWhite);
  }
}

bool SpectrumHistogram::Update(InThread& in, std::int32_t calLow, std::int32_t calHigh) {
  SetCalibration(calLow, calHigh);
  // A tone measurement restarts the writer at 0; without a wrap notice this reader would wait
  // for it to come round to the old place. Wrapped is set before a wrapping writer's position,
  // so a writer seen behind the reader with no notice has been reset: all from 0 on is new.
  const std::int32_t writePos = in.WritePos.load(std::memory_order_acquire);
  if (writePos < SpecReadPos && !in.Wrapped.load()) SpecReadPos = 0;
  DrainSpectrum(in, SpecReadPos, sink_);
  if (SpecReadPos == SpecShownPos) return false;
  SpecShownPos = SpecReadPos;
  return true;
}

}  // namespace zarvo
