#pragma once
// The clock calibration from the last picture received. The configuration window arms it, the
// reception window hands it the clicks on its picture, and the second corner gives the
// correction, which the user may apply to the record's ClockCal. The reception window also hands
// it each broadcast's line length measured from its phasing lines, and the same correction is
// offered once those of a few faxes in a row agree.
#include <deque>
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

  // "Straighten automatically": each picture received at the line length its phasing lines
  // measure. The configuration window keeps the user's choice; the reception window's decoder
  // follows it at once. Off, nothing is measured, so a run of faxes ends.
  bool Straighten() const { return straighten_; }
  void SetStraighten(bool on);
  void OnStraighten(const void* owner, std::function<void(bool on)> follow);

  // A broadcast's line measured `ppm` millionths longer than the nominal one at the record's
  // SamplePeriod, with standard error `sigmaPpm`; not valid, or a manual start, breaks the run of
  // faxes. True when the last three agree on an error of at least two track bar steps, not offered
  // yet in this run: the caller asks OfferMeasuredCorrection once it may open a box.
  bool PhasingMeasured(bool valid, double ppm, double sigmaPpm);
  void BreakMeasuredRun() { measured_.clear(); }
  // Asks whether to apply the correction found (once a run, whatever the answer), or says that
  // the track bar cannot reach it.
  void OfferMeasuredCorrection();

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
  // Applies a correction in percent as the user moving the track bar to `position` would.
  void Correct(float correction, int position);
  struct Measured {
    double Ppm, SigmaPpm;
  };
  std::deque<Measured> measured_;
  double offerPpm_ = 0;
  bool offerDue_ = false;
  bool offered_ = false;
  const void* armedOwner_ = nullptr;
  std::function<void()> armed_;
  const void* correctedOwner_ = nullptr;
  std::function<void(int)> corrected_;
  bool straighten_ = true;
  const void* straightenOwner_ = nullptr;
  std::function<void(bool)> straightenFollow_;
};

// The program's one clock calibration.
TClockCalibration& ClockCalibration();

}  // namespace zarvo
