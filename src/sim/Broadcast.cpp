#include "sim/Broadcast.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>

namespace zarvo::sim {
namespace {

// Section boundaries that come out within this of a whole sample are taken as exactly on it,
// so that e.g. 45 lines at 90 LPM end on sample 216000 and not a rounding error after it.
constexpr double SnapSamples = 1e-6;
// Headroom for positions inside a section that are whole in exact arithmetic.
constexpr double Slack = 1e-7;

double Snapped(double position) {
  const double whole = std::round(position);
  return std::abs(position - whole) < SnapSamples ? whole : position;
}

std::uint64_t FirstAtOrAfter(double position) {
  return static_cast<std::uint64_t>(std::ceil(position));
}

bool InRange(double v, double low, double high) {
  return std::isfinite(v) && v >= low && v <= high;
}

}  // namespace

std::uint8_t FrequencyToByte(double hz, int calLow, int calHigh) {
  const double value = calLow + (hz - 1200.0) * (calHigh - calLow) / 1100.0;
  if (!(value > 0)) return 0;  // also NaN
  if (value >= 255) return 255;
  return static_cast<std::uint8_t>(std::floor(value + 0.5));
}

double GreyToFrequency(double grey) {
  return BlackHz + grey * (WhiteHz - BlackHz) / 255.0;
}

int PictureLines(int pictureHeight, int ioc) {
  if (pictureHeight <= 0) return 0;
  return ioc == 288 ? (pictureHeight + 1) / 2 : pictureHeight;
}

std::string CheckOptions(const BroadcastOptions& o) {
  constexpr double MaxSeconds = 1e6;
  constexpr double MaxHz = 1e6;
  if (o.DataRate < 1 || o.DataRate > 10'000'000)
    return "sample rate must be 1..10000000 per second";
  if (o.CalLow < 0 || o.CalHigh > 255 || o.CalLow >= o.CalHigh)
    return "calibration must satisfy 0 <= low < high <= 255";
  if (o.Lpm < 1 || o.Lpm > 10000) return "lines per minute must be 1..10000";
  if (o.Ioc != 576 && o.Ioc != 288) return "IOC must be 576 or 288";
  for (const double seconds :
       {o.LeadSeconds, o.StartSeconds, o.PhasingSeconds, o.StopSeconds, o.TrailerSeconds})
    if (!InRange(seconds, 0, MaxSeconds)) return "durations must be 0..1000000 seconds";
  if (!InRange(o.LeadHz, -MaxHz, MaxHz)) return "lead-in frequency out of range";
  if (!InRange(o.NoiseHz, 0, MaxHz)) return "noise must be 0..1000000 Hz";
  if (!InRange(o.MistuneHz, -MaxHz, MaxHz)) return "mistuning out of range";
  if (!InRange(o.ClockErrorPpm, -100000, 100000)) return "clock error must be -100000..100000 ppm";
  if (o.Repeat < 1 || o.Repeat > 10000) return "repeat count must be 1..10000";
  return {};
}

std::vector<Section> BroadcastLayout(int pictureHeight, const BroadcastOptions& o) {
  const std::string problem = CheckOptions(o);
  if (!problem.empty()) throw std::invalid_argument(problem);
  const double rate = o.DataRate * (1 + o.ClockErrorPpm * 1e-6);
  const int phasingLines = static_cast<int>(std::lround(o.PhasingSeconds * o.Lpm / 60.0));
  const int pictureLines = PictureLines(pictureHeight, o.Ioc);

  std::vector<Section> sections;
  double seconds = 0;
  double position = 0;
  auto add = [&](SectionKind kind, int repetition, double length, int lines) {
    Section s;
    s.Kind = kind;
    s.Repetition = repetition;
    s.StartSeconds = seconds;
    s.Lines = lines;
    s.Seconds = lines > 0 ? lines * 60.0 / o.Lpm : length;
    s.StartPosition = position;
    s.FirstSample = FirstAtOrAfter(position);
    // Multiplying before dividing keeps whole-sample lengths whole.
    position = Snapped(position + (lines > 0 ? lines * 60.0 * rate / o.Lpm : length * rate));
    seconds += s.Seconds;
    // Far beyond any test, and still exact in a double.
    if (position > 1e15) throw std::invalid_argument("the broadcast would be too long");
    s.EndSample = FirstAtOrAfter(position);
    sections.push_back(s);
  };
  for (int r = 0; r < o.Repeat; ++r) {
    add(SectionKind::Lead, r, o.LeadSeconds, 0);
    add(SectionKind::Start, r, o.StartSeconds, 0);
    add(SectionKind::Phasing, r, 0, phasingLines);
    add(SectionKind::Picture, r, 0, pictureLines);
    add(SectionKind::Stop, r, o.StopSeconds, 0);
    add(SectionKind::Trailer, r, o.TrailerSeconds, 0);
  }
  return sections;
}

BroadcastStream::BroadcastStream(const GreyImage& picture, const BroadcastOptions& options)
    : options_(options), random_(options.Seed) {
  const bool empty = picture.Width <= 0 || picture.Height <= 0;
  if (!empty && picture.Pixels.size() != static_cast<std::size_t>(picture.Width) * picture.Height)
    throw std::invalid_argument("picture pixels do not match its size");
  sections_ = BroadcastLayout(empty ? 0 : picture.Height, options);
  total_ = sections_.back().EndSample;
  rate_ = options.DataRate * (1 + options.ClockErrorPpm * 1e-6);
  samplesPerLine_ = 60.0 * rate_ / options.Lpm;

  // Nearest-neighbour columns: output column c shows the source column under its centre.
  const int lines = PictureLines(empty ? 0 : picture.Height, options.Ioc);
  const int rowStep = options.Ioc == 288 ? 2 : 1;
  lines_.resize(static_cast<std::size_t>(lines) * LineColumns);
  for (int line = 0; line < lines; ++line) {
    for (int c = 0; c < LineColumns; ++c) {
      const int source = static_cast<int>((2LL * c + 1) * picture.Width / (2LL * LineColumns));
      lines_[static_cast<std::size_t>(line) * LineColumns + c] = picture.At(source, line * rowStep);
    }
  }
}

double BroadcastStream::Frequency(std::uint64_t n, const Section& section) const {
  const double offset = static_cast<double>(n) - section.StartPosition;  // samples into it
  auto squareWave = [&](double toneHz) {
    if (options_.PlainTones) return toneHz;
    const double halves = std::floor(offset * 2 * toneHz / rate_ + Slack);
    return std::fmod(halves, 2.0) == 0 ? BlackHz : WhiteHz;
  };
  auto lineAndPosition = [&](double& position) {
    const int line = static_cast<int>(std::floor((offset + Slack) / samplesPerLine_));
    position = std::max(0.0, offset - line * samplesPerLine_);
    return line;
  };
  switch (section.Kind) {
    case SectionKind::Lead:
      return options_.LeadHz;
    case SectionKind::Start:
      return squareWave(options_.Ioc == 288 ? StartToneHz288 : StartToneHz576);
    case SectionKind::Phasing: {
      // White for 2.5 % of the line on either side of each line boundary.
      double position = 0;
      lineAndPosition(position);
      const double pulse = samplesPerLine_ / 40;
      const bool white = position < pulse - Slack || position >= samplesPerLine_ - pulse - Slack;
      return white ? WhiteHz : BlackHz;
    }
    case SectionKind::Picture: {
      double position = 0;
      const int line = std::min(lineAndPosition(position), section.Lines - 1);
      const int column =
          std::min(LineColumns - 1,
                   static_cast<int>(std::floor(position * LineColumns / samplesPerLine_ + Slack)));
      return GreyToFrequency(lines_[static_cast<std::size_t>(line) * LineColumns + column]);
    }
    case SectionKind::Stop:
      return squareWave(StopToneHz);
    case SectionKind::Trailer:
      break;
  }
  return BlackHz;
}

double BroadcastStream::Noise() {
  // Box-Muller on the raw generator, whose sequence (unlike std::normal_distribution's) is the
  // same with every standard library, so a seed names the same noise everywhere.
  if (haveSpare_) {
    haveSpare_ = false;
    return spareNoise_;
  }
  const double u1 = (static_cast<double>(random_()) + 1.0) / 4294967296.0;  // (0, 1]
  const double u2 = static_cast<double>(random_()) / 4294967296.0;
  const double radius = std::sqrt(-2.0 * std::log(u1));
  spareNoise_ = radius * std::sin(2 * std::numbers::pi * u2);
  haveSpare_ = true;
  return radius * std::cos(2 * std::numbers::pi * u2);
}

template <typename Store>
bool BroadcastStream::Produce(std::size_t& count, Store store) {
  std::size_t written = 0;
  while (written < count && next_ < total_) {
    while (next_ >= sections_[section_].EndSample) ++section_;
    const Section& section = sections_[section_];
    const std::uint64_t end = std::min<std::uint64_t>(section.EndSample, next_ + (count - written));
    for (; next_ < end; ++next_) {
      double hz = Frequency(next_, section) + options_.MistuneHz;
      if (options_.NoiseHz > 0) hz += options_.NoiseHz * Noise();
      store(written++, hz);
    }
  }
  count = written;
  return written > 0;
}

bool BroadcastStream::Next(std::uint8_t* out, std::size_t& count) {
  return Produce(count, [&](std::size_t i, double hz) {
    out[i] = FrequencyToByte(hz, options_.CalLow, options_.CalHigh);
  });
}

bool BroadcastStream::NextFrequencies(double* out, std::size_t& count) {
  return Produce(count, [&](std::size_t i, double hz) { out[i] = hz; });
}

std::vector<std::uint8_t> MakeBroadcast(const GreyImage& picture, const BroadcastOptions& options) {
  BroadcastStream stream(picture, options);
  std::vector<std::uint8_t> bytes(stream.TotalSamples());
  std::size_t done = 0;
  for (std::size_t count = bytes.size(); done < bytes.size(); count = bytes.size() - done) {
    if (!stream.Next(bytes.data() + done, count)) break;
    done += count;
  }
  bytes.resize(done);
  return bytes;
}

}  // namespace zarvo::sim
