#include "settings/ClockCalibration.h"

#include <algorithm>
#include <cmath>

#include "platform/Messages.h"
#include "settings/Calibration.h"
#include "settings/Settings.h"

namespace zarvo {
namespace {

constexpr std::size_t kAgreeingFaxes = 3;
constexpr double kLeastOfferedPpm = 2;
// The track bar's ends, with room for the float the record keeps.
constexpr double kClockCalLimit = 0.1 + 1e-6;

}  // namespace

bool ClockCorrection(int x1, int y1, int x2, int y2, int ioc, int width, float& correction) {
  if (y2 == y1 || width <= 0) return false;
  const double factor = ioc == 0 ? 200.0 : 100.0;
  correction = static_cast<float>(factor * (x1 - x2) / width / (y2 - y1));
  if (correction < 0.001f) correction = correction / 2;
  return true;
}

int CorrectedClockPosition(float clockCal) {
  const double position = std::trunc(clockCal * 10000.0 + 0.5);
  if (!std::isfinite(position)) return 0;
  return static_cast<int>(std::clamp(position, -1000.0, 1000.0));
}

void TClockCalibration::Arm() {
  if (armed_) armed_();
  pending_ = true;
  ReportNote("Click on the top left (or right) corner of the picture.");
}

bool TClockCalibration::Click(int x, int y, int ioc, int width) {
  if (!pending_) return false;
  if (stage_ == 1) {
    firstX_ = x;
    firstY_ = y;
    ReportNote("Now click on the bottom left (or right) corner of the picture.");
    stage_ = 2;
    return true;
  }
  float correction = 0;
  // Two corners on one row measure nothing: wait for another second corner.
  if (!ClockCorrection(firstX_, firstY_, x, y, ioc, width, correction)) {
    ReportNote(
        "Both corners lie on the same row: click on the bottom left (or right) corner of the "
        "picture.");
    return true;
  }
  if (std::fabs(correction) < 0.0001f) {
    ReportNote("Incoming Clock Calibration already accurate.");
  } else if (ReportQuestion("Incoming Clock Calibration needs to be corrected with %.4f%%, "
                            "continue?",
                            static_cast<double>(correction))) {
    Correct(correction, CorrectedClockPosition(Settings.ClockCal + correction));
  }
  Reset();
  return true;
}

void TClockCalibration::Correct(float correction, int position) {
  Settings.ClockCal = Settings.ClockCal + correction;
  ApplyClockCalibration(position);
  if (corrected_) corrected_(position);
}

void TClockCalibration::SetStraighten(bool on) {
  straighten_ = on;
  if (!on) BreakMeasuredRun();
  if (straightenFollow_) straightenFollow_(on);
}

void TClockCalibration::OnStraighten(const void* owner, std::function<void(bool on)> follow) {
  straightenOwner_ = owner;
  straightenFollow_ = std::move(follow);
}

bool TClockCalibration::PhasingMeasured(bool valid, double ppm, double sigmaPpm) {
  if (!valid) {
    BreakMeasuredRun();
    return false;
  }
  measured_.push_back({ppm, sigmaPpm});
  if (measured_.size() > kAgreeingFaxes) measured_.pop_front();
  if (offered_ || offerDue_ || measured_.size() < kAgreeingFaxes) return false;
  double mean = 0;
  for (const Measured& m : measured_) mean += m.Ppm / kAgreeingFaxes;
  // The track bar's step is 1 ppm: a smaller error is not worth a question.
  if (std::fabs(mean) < kLeastOfferedPpm) return false;
  for (const Measured& m : measured_)
    if (std::fabs(m.Ppm - mean) > std::max(kLeastOfferedPpm, 3 * m.SigmaPpm)) return false;
  offerPpm_ = mean;
  offerDue_ = true;
  return true;
}

void TClockCalibration::OfferMeasuredCorrection() {
  if (!offerDue_) return;
  offerDue_ = false;
  offered_ = true;
  // A line longer than nominal means the samples come faster than the record thinks: the sample
  // period must shrink by as much.
  const double correction = -offerPpm_ / (1 + offerPpm_ * 1e-6) * 1e-4;
  if (std::fabs(Settings.ClockCal + correction) > kClockCalLimit) {
    ReportNote(
        "The last faxes measured a clock error of the interface that needs a correction of "
        "%.4f%%, beyond the range of Incoming Clock Calibration (-0.1%% to +0.1%%). The pictures "
        "are straightened all the same while \"Straighten automatically\" is on.",
        correction);
    return;
  }
  if (ReportQuestion("Incoming Clock Calibration needs to be corrected with %.4f%%, continue?",
                     correction))
    // At the nearest step: the corners' half added and truncated would leave a negative
    // correction a whole step short of what was measured.
    Correct(static_cast<float>(correction),
            ClockCalPosition(Settings.ClockCal + static_cast<float>(correction)));
}

void TClockCalibration::Reset() {
  pending_ = false;
  stage_ = 1;
}

void TClockCalibration::OnArmed(const void* owner, std::function<void()> shown) {
  armedOwner_ = owner;
  armed_ = std::move(shown);
}

void TClockCalibration::OnCorrected(const void* owner, std::function<void(int position)> shown) {
  correctedOwner_ = owner;
  corrected_ = std::move(shown);
}

void TClockCalibration::Forget(const void* owner) {
  if (armedOwner_ == owner) OnArmed(nullptr, nullptr);
  if (correctedOwner_ == owner) OnCorrected(nullptr, nullptr);
  if (straightenOwner_ == owner) OnStraighten(nullptr, nullptr);
}

TClockCalibration& ClockCalibration() {
  static TClockCalibration calibration;
  return calibration;
}

}  // namespace zarvo
