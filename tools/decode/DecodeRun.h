#pragma once
// Decoding a recorded interface stream with the receiver's own decoder, on the stream's clock:
// the same per-sample step, and the end-of-tick sequence after every millisecond of stream, as
// the live timer drains.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "decoder/Decoder.h"
#include "platform/LocalClock.h"
#include "settings/Settings.h"

namespace zarvo::decode {

struct DecodeOptions {
  int InterfaceType = 1;
  int DataRate = 0;  // 0: the interface type's
  bool HaveCal = false;
  int CalLow = 0, CalHigh = 255;
  float ClockCal = 0;
  int DrumSpeed = 2;  // 0..4
  int Ioc = 1;        // 1 = IOC 576, 0 = IOC 288
  LocalDateTime Start;
  std::string OutDir = ".";
  bool ManualStart = false;
  bool DescribedDetector = false;  // the half-second edge counts instead of the tone filters
  bool Straighten = true;          // each picture at the line length its phasing measured
  bool InterfaceGiven = false;     // --interface, --rate or --cal: they describe a byte stream
  double CentreHz = 1900;          // a sound recording's centre frequency
  bool CentreGiven = false;
};

// The options for a sound recording: the demodulator's stream of 7200 bytes a second in its
// calibration. False with the reason when the options describe a byte stream instead.
bool UseAudioStream(DecodeOptions& options, std::string& error);

struct SavedFax {
  std::string Path;
  int Rows = 0;
  double StreamMs = 0;
};

// Parses the command line; on error returns false with the message in `error`.
bool ParseDecodeOptions(const std::vector<std::string>& args, DecodeOptions& options,
                        std::string& input, std::string& error);
std::string DecodeUsage();

class DecodeRun final : private DecoderHost {
 public:
  // `report` receives the lines for the console ("00:01:05.3 Start IOC 576").
  DecodeRun(const DecodeOptions& options, std::function<void(const std::string&)> report);

  void Feed(const std::uint8_t* samples, std::size_t count);
  // The end of the input: a picture still open is saved too.
  void Finish();

  const std::vector<SavedFax>& Saved() const { return saved_; }
  const std::vector<std::string>& Errors() const { return errors_; }
  std::uint64_t Samples() const { return samples_; }
  double StreamMs() const { return static_cast<double>(samples_) * settings_.SamplePeriod; }
  TDecoder& Decoder() { return decoder_; }
  const TSettings& Settings() const { return settings_; }

 private:
  void ShowStatus(const std::string& text) override;
  void RefreshDisplay() override {}
  void ModeChanged() override {}
  void AutoSave() override;
  void ShowNewLine() override {}
  void SetAttention(bool) override {}
  std::string Stamp() const;

  DecodeOptions options_;
  std::function<void(const std::string&)> report_;
  std::string lastStatus_;  // a status is reported when it begins, not each time it is shown
  TSettings settings_{};
  TDecoder decoder_;
  std::uint64_t samples_ = 0;
  std::uint64_t nextTickSample_ = 0;
  std::uint64_t tick_ = 0;
  std::vector<SavedFax> saved_;
  std::vector<std::string> errors_;
};

// The local moment `ms` milliseconds after `start`.
LocalDateTime AddMilliseconds(const LocalDateTime& start, double ms);

}  // namespace zarvo::decode
