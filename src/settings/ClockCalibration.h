#pragma once
// The clock calibration from the last picture received. The configuration window arms it, the
// reception window hands it the clicks on its picture, and the second corner gives the
// correction, which the user may apply to the record's ClockCal.
#include <functional>

namespace zarvo {

// The correction in percent from the first corner (x1, y1) and the second (x2, y2) of a picture
// `width` pixels wide: factor x (x1 - x2) / W / (y2 - y1), factor 200 at IOC 288 else 100,
// halved when below 0.001. False when both corners lie on one row, which measures nothing.
bool ClockCorrection(int x1, int y1, int x2, int y2, int ioc, int width, float& correction);

// The track bar position of a corrected ClockCal: x 10000 plus a half, truncated, held to the
// bar's range.
int CorrectedClockPosition(float clockCal);

class TClockCalibration {
 public:
  // The Calculate command: the next click on the picture is a corner.
  void Arm();
  bool Pending() const { return pending_; }
  // 1 while the first corner is awaited, 2 while the second is.
  int Stage() const { return stage_; }
  // A click at pixel (x, y) of the received picture, `width` pixels a row, received at `ioc`.
  // False when no calibration is pending: the click is the picture's. The user is told what
  // comes next; after the second corner the correction is offered and, on Yes, applied to the
  // global record, at the track bar's step.
  bool Click(int x, int y, int ioc, int width);
  // Not pending, the first corner awaited.
  void Reset();

  // What the windows show of it: the reception window takes corners with the arrow cursor, the
  // configuration window shows the corrected clock on its track bar. One of each; Forget takes
  // away those of `owner`.
  void OnArmed(const void* owner, std::function<void()> shown);
  void OnCorrected(const void* owner, std::function<void(int position)> shown);
  void Forget(const void* owner);

 private:
  bool pending_ = false;
  int stage_ = 1;
  int firstX_ = 0;
  int firstY_ = 0;
  const void* armedOwner_ = nullptr;
  std::function<void()> armed_;
  const void* correctedOwner_ = nullptr;
  std::function<void(int)> corrected_;
};

// The program's one clock calibration.
TClockCalibration& ClockCalibration();

}  // namespace zarvo
