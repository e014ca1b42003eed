#pragma once
// Measures the true line length of a broadcast from its phasing lines. Each phasing line carries
// one white pulse of 5 % of a line on black; a clock that runs fast or slow makes the pulse creep
// along the lines by the same amount every line. The pulse's two edges are found in every line
// to a fraction of a sample, and a straight line fitted through the pulse centres gives the line
// length in samples of this interface's clock and where the lines start.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace zarvo {

class PhasingLines {
 public:
  // Enough for the 45 s the phasing may last at 45000 samples per second.
  static constexpr std::size_t kMaxSamples = std::size_t{1} << 21;

  struct Result {
    bool Valid = false;
    double LineSamples = 0;  // measured samples per line
    double FirstCentre = 0;  // a pulse centre (the line start), in samples from the first taken
    double Ppm = 0;          // how much longer the line is than the nominal one, millionths
    double SigmaPpm = 0;     // the fit's standard error of that
    int Lines = 0;           // lines whose pulse entered the fit
    // The line lengths the lines allow: the band of slopes sharp edges leave open, or a few
    // standard errors either side of the fit.
    double LeastLine = 0, MostLine = 0;
  };

  // The room for the longest phasing is taken once, so that taking samples never allocates;
  // pages never written stay unused.
  PhasingLines() { grey_.reserve(kMaxSamples); }

  // Forgets what was taken.
  void Start() { grey_.clear(); }
  // Takes the grey level (0 black .. 255 white) of the next sample.
  void Push(std::int32_t grey) {
    if (grey_.size() < kMaxSamples) grey_.push_back(static_cast<std::uint8_t>(grey));
  }
  std::size_t Samples() const { return grey_.size(); }

  // The fit over the lines taken, given the nominal line length in samples and a pulse centre
  // found by folding (in samples from the first taken, within a line). Not valid when too few
  // lines held a clear pulse, or when the lines scatter too much to trust the fit.
  Result Measure(double nominalLine, double centre) const;
  // The same where no fold has found the pulse: it is sought in the lines folded at the nominal
  // length (smeared by the clock's error, but by far less than the half line it must be within).
  Result Measure(double nominalLine) const;

 private:
  std::vector<std::uint8_t> grey_;
};

}  // namespace zarvo
