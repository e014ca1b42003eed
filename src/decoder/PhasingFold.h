#pragma once
// Finds the drum speed and the line start from the phasing lines: black lines with a white pulse
// of 5 % of a line centred on every line start. The grey levels are folded over the line period
// of each drum speed: at the true period the pulses of every line pile up into one sharp peak,
// at another they smear out or, at a multiple of the true period, make several peaks. Noise
// averages away in the fold, so the lock holds as long as the pulses are there at all.
#include <array>
#include <cstdint>
#include <vector>

namespace zarvo {

class PhasingFold {
 public:
  static constexpr int kSpeeds = 5;
  static constexpr double kLinePeriodMs[kSpeeds] = {1000, 60000.0 / 90, 500, 60000.0 / 180, 250};
  // The pulse is white for 2.5 % of a line on either side of the line start.
  static constexpr double kPulseShare = 0.05;
  // A pulse must stand this far (grey levels) above the rest of the line to count. A clean one
  // stands about 250 above; 400 Hz of frequency noise, clipped at black and white, leaves about
  // 150.
  static constexpr double kLeastHeight = 60;
  // And it must look like phasing: a light pulse on a dark line. A chart whose lines repeat (a
  // grey ramp sent without phasing) has a light end too, but no dark rest; its picture is kept
  // from the start tone on rather than restarted at a line start that is not one. Noise of
  // 600 Hz, clipped at black, lifts black to about 75 and pulls the pulse's white down to
  // about 180.
  static constexpr double kDarkestRest = 100;
  static constexpr double kLightestPulse = 150;
  // Enough bins for a sample each at 60 lines per minute and 7200 samples per second.
  static constexpr int kMaxBins = 8192;

  PhasingFold();

  // Folds afresh, at `samplePeriodMs` per sample.
  void Start(double samplePeriodMs);
  // Takes the grey level (0 black .. 255 white) of one sample; true when the fold has just
  // decided (then Speed() and SamplesSinceLineStart() tell the result).
  bool Push(std::int32_t grey);
  std::int64_t Samples() const { return samples_; }

  int Speed() const { return speed_; }
  // Samples from the last line start to the sample just taken (0 .. a line).
  double SamplesSinceLineStart() const { return sinceLineStart_; }
  // The same, measured afresh on all that has been folded since: the phasing goes on after the
  // decision, and every further line makes the line start finer under noise. `unfolded`: the
  // samples taken since the last one folded. False (nothing changed) before a decision.
  bool Remeasure(int unfolded);
  // Where the pulse's middle lies in every line as last measured: samples from the first sample
  // folded, within a line.
  double PulseCentre() const { return centre_; }

 private:
  struct Pulse {
    double Height = 0;  // mean grey under the pulse minus the mean elsewhere
    double Centre = 0;  // in samples from the fold's origin, within a line
  };
  void Fold(int speed, std::int32_t grey);
  Pulse Measure(int speed);
  bool Evaluate();
  void SetSinceLineStart(double centre, int unfolded = 0);

  double period_ = 0;
  std::array<double, kSpeeds> lineSamples_{};
  std::array<double, kSpeeds> binsPerSample_{};
  std::array<int, kSpeeds> bins_{};
  std::array<double, kSpeeds> position_{};  // the next sample's place within each line
  std::vector<float> sum_;                  // kSpeeds x kMaxBins
  std::vector<std::uint32_t> count_;
  std::vector<double> mean_, box_;  // one speed's line, as Measure works on it
  std::int64_t samples_ = 0;
  int sinceEvaluation_ = 0;
  int evaluateEvery_ = 1;
  int candidate_ = -1;
  double candidateCentre_ = 0;
  int speed_ = -1;
  double sinceLineStart_ = 0;
  double centre_ = 0;
};

}  // namespace zarvo
