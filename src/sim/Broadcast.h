#pragma once
// The byte stream of an interface box receiving complete fax broadcasts: lead-in, start tone,
// phasing, picture lines, stop tone and trailer, one byte per sample, linear in the frequency.
#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "settings/Settings.h"
#include "sim/Picture.h"

namespace zarvo::sim {

struct BroadcastOptions {
  // Samples per second and the bytes at 1200 Hz and 2300 Hz: the first interface type's.
  int DataRate = InterfaceTypeParams(1).DataRate;
  int CalLow = InterfaceTypeParams(1).CalLow;
  int CalHigh = InterfaceTypeParams(1).CalHigh;
  int Lpm = 120;
  int Ioc = 576;  // 576 or 288
  double LeadSeconds = 0;
  double LeadHz = 1900;
  double StartSeconds = 5;
  double PhasingSeconds = 30;  // rounded to whole lines
  double StopSeconds = 5;
  double TrailerSeconds = 2;
  double NoiseHz = 0;        // standard deviation of the Gaussian frequency noise
  double ClockErrorPpm = 0;  // the device samples at DataRate * (1 + ClockErrorPpm * 1e-6)
  double MistuneHz = 0;
  unsigned Seed = 1;
  int Repeat = 1;
  // Start and stop as plain audio tones of 300, 675 or 450 Hz rather than a black/white
  // alternation at that rate, as some transmitters send them; a box shows them far below black.
  bool PlainTones = false;
};

inline constexpr double BlackHz = 1500;
inline constexpr double WhiteHz = 2300;
inline constexpr double StartToneHz576 = 300;
inline constexpr double StartToneHz288 = 675;
inline constexpr double StopToneHz = 450;
inline constexpr int LineColumns = TDecoder::W;  // grey values a picture line sends

// The interface's byte for a frequency: CalLow at 1200 Hz, CalHigh at 2300 Hz, halves rounded
// up, clamped to 0..255.
std::uint8_t FrequencyToByte(double hz, int calLow, int calHigh);
// Grey 0 (black) .. 255 (white) as a frequency, 1500 .. 2300 Hz.
double GreyToFrequency(double grey);

// Empty when the options make a broadcast, otherwise what is wrong with them.
std::string CheckOptions(const BroadcastOptions& options);

// The parts of the stream, in order; every broadcast has all six, some of them may be empty.
enum class SectionKind { Lead, Start, Phasing, Picture, Stop, Trailer };
struct Section {
  SectionKind Kind = SectionKind::Lead;
  int Repetition = 0;             // 0 .. Repeat-1
  double StartSeconds = 0;        // on the broadcast's own time axis
  double Seconds = 0;             // duration
  int Lines = 0;                  // phasing and picture lines
  double StartPosition = 0;       // the start in (fractional) samples of the device
  std::uint64_t FirstSample = 0;  // first sample taken inside the section
  std::uint64_t EndSample = 0;    // one past its last
};
// The sections for a picture of `pictureHeight` rows (0: no picture lines).
std::vector<Section> BroadcastLayout(int pictureHeight, const BroadcastOptions& options);
// Picture lines sent for a picture of `pictureHeight` rows: every row at IOC 576, every other
// row (0, 2, 4, ...) at IOC 288.
int PictureLines(int pictureHeight, int ioc);

// Generates the stream piece by piece, so that a long one never sits in memory.
class BroadcastStream {
 public:
  // std::invalid_argument when CheckOptions finds fault.
  BroadcastStream(const GreyImage& picture, const BroadcastOptions& options);

  // Writes up to `count` bytes to `out` and sets `count` to how many; false (count 0) at the end.
  bool Next(std::uint8_t* out, std::size_t& count);
  // The same samples as the frequencies in Hz the bytes stand for, before they are rounded and
  // clamped: what a sound card would hear.
  bool NextFrequencies(double* out, std::size_t& count);

  std::uint64_t TotalSamples() const { return total_; }
  const std::vector<Section>& Sections() const { return sections_; }
  // The device's real sample rate, clock error included.
  double SampleRate() const { return rate_; }

 private:
  double Frequency(std::uint64_t n, const Section& section) const;
  double Noise();
  template <typename Store>
  bool Produce(std::size_t& count, Store store);

  BroadcastOptions options_;
  double rate_ = 0;
  double samplesPerLine_ = 0;
  std::vector<std::uint8_t> lines_;  // the picture lines to send, LineColumns grey values each
  std::vector<Section> sections_;
  std::size_t section_ = 0;
  std::uint64_t next_ = 0;
  std::uint64_t total_ = 0;
  std::mt19937 random_;
  double spareNoise_ = 0;
  bool haveSpare_ = false;
};

// The whole stream at once.
std::vector<std::uint8_t> MakeBroadcast(const GreyImage& picture, const BroadcastOptions& options);

}  // namespace zarvo::sim
