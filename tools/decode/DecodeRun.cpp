#include "decode/DecodeRun.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "audio/AudioDemodulator.h"
#include "decoder/AutoSave.h"
#include "platform/PlatformError.h"

namespace zarvo::decode {
namespace {

bool ParseInt(const std::string& text, int& value) {
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || errno != 0 || v < -1000000000 || v > 1000000000) return false;
  value = static_cast<int>(v);
  return true;
}

bool ParseFloat(const std::string& text, float& value) {
  char* end = nullptr;
  const float v = std::strtof(text.c_str(), &end);
  if (text.empty() || *end != '\0' || !std::isfinite(v)) return false;
  value = v;
  return true;
}

bool ParseMoment(const std::string& text, LocalDateTime& moment) {
  int y, mo, d, h, mi;
  char tail;
  if (std::sscanf(text.c_str(), "%4d-%2d-%2d %2d:%2d%c", &y, &mo, &d, &h, &mi, &tail) != 5)
    return false;
  if (y < 1900 || y > 9999 || mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || h < 0 ||
      mi < 0)
    return false;
  moment = {y, mo, d, h, mi, 0};
  return true;
}

}  // namespace

std::string DecodeUsage() {
  return "Usage: zarvo-decode [--interface 1..5] [--rate N] [--cal LOW HIGH] [--clock-cal "
         "PERCENT]\n"
         "                    [--lpm 60|90|120|180|240] [--ioc 576|288] [--start \"YYYY-MM-DD "
         "HH:MM\"]\n"
         "                    [--out DIR] [--manual-start] [--described-detector] [--centre HZ]\n"
         "                    [--no-straighten] [INPUT|-]\n"
         "Decodes a recording of interface bytes (one per sample; - or none: standard input)\n"
         "exactly as the receiver would live, and saves every fax as an 8-bit grey bitmap in "
         "DIR.\n"
         "A sound recording (WAV, FLAC or Ogg, told by its content; the left channel is taken)\n"
         "is first turned into the interface's byte stream, around the centre frequency HZ\n"
         "(1000..2500, default 1900; a receiver tuned 50 Hz high needs --centre 1950).\n"
         "Each picture is received at the line length its phasing lines measure, so that it\n"
         "comes out straight; --no-straighten uses the clock calibration alone.\n";
}

bool ParseDecodeOptions(const std::vector<std::string>& args, DecodeOptions& options,
                        std::string& input, std::string& error) {
  options.Start = CurrentLocalClock().Now();
  input = "-";
  bool haveInput = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const auto value = [&](std::string& out) {
      if (i + 1 >= args.size()) {
        error = arg + " needs a value";
        return false;
      }
      out = args[++i];
      return true;
    };
    std::string v, w;
    if (arg == "--interface" || arg == "--rate" || arg == "--cal") options.InterfaceGiven = true;
    if (arg == "--interface") {
      if (!value(v) || !ParseInt(v, options.InterfaceType) || options.InterfaceType < 1 ||
          options.InterfaceType > 5)
        return error = error.empty() ? "--interface takes 1..5" : error, false;
    } else if (arg == "--rate") {
      if (!value(v) || !ParseInt(v, options.DataRate) || options.DataRate < 100 ||
          options.DataRate > 100000)
        return error = error.empty() ? "--rate takes 100..100000 samples per second" : error, false;
    } else if (arg == "--cal") {
      if (!value(v) || !value(w) || !ParseInt(v, options.CalLow) || !ParseInt(w, options.CalHigh) ||
          options.CalLow == options.CalHigh)
        return error = error.empty() ? "--cal takes two different sample values" : error, false;
      options.HaveCal = true;
    } else if (arg == "--clock-cal") {
      if (!value(v) || !ParseFloat(v, options.ClockCal) || std::fabs(options.ClockCal) > 10)
        return error = error.empty() ? "--clock-cal takes a percentage of -10..10" : error, false;
    } else if (arg == "--lpm") {
      int lpm = 0;
      if (!value(v) || !ParseInt(v, lpm))
        return error = error.empty() ? "--lpm needs a number" : error, false;
      const int speeds[] = {60, 90, 120, 180, 240};
      options.DrumSpeed = -1;
      for (int s = 0; s < 5; ++s)
        if (speeds[s] == lpm) options.DrumSpeed = s;
      if (options.DrumSpeed < 0) return error = "--lpm takes 60, 90, 120, 180 or 240", false;
    } else if (arg == "--ioc") {
      if (!value(v) || (v != "576" && v != "288"))
        return error = error.empty() ? "--ioc takes 576 or 288" : error, false;
      options.Ioc = v == "576" ? 1 : 0;
    } else if (arg == "--start") {
      if (!value(v) || !ParseMoment(v, options.Start))
        return error = error.empty() ? "--start takes \"YYYY-MM-DD HH:MM\"" : error, false;
    } else if (arg == "--out") {
      if (!value(options.OutDir)) return false;
    } else if (arg == "--centre") {
      char* end = nullptr;
      if (!value(v)) return false;
      options.CentreHz = std::strtod(v.c_str(), &end);
      if (v.empty() || *end != '\0' || !(options.CentreHz >= kLowestAudioCentreHz) ||
          !(options.CentreHz <= kHighestAudioCentreHz))
        return error = "--centre takes 1000..2500 Hz", false;
      options.CentreGiven = true;
    } else if (arg == "--manual-start") {
      options.ManualStart = true;
    } else if (arg == "--described-detector") {
      options.DescribedDetector = true;
    } else if (arg == "--no-straighten") {
      options.Straighten = false;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return error = "unknown option " + arg, false;
    } else {
      if (haveInput) return error = "only one INPUT", false;
      input = arg;
      haveInput = true;
    }
  }
  // The decoder holds the sample period to 0.01..10 ms; beyond that the stream's clock and the
  // decoder's would part.
  const int rate =
      options.DataRate > 0 ? options.DataRate : InterfaceTypeParams(options.InterfaceType).DataRate;
  const float period = ComputeSamplePeriod(options.ClockCal, rate);
  if (!(period >= 0.01f && period <= 10.0f))
    return error = "--rate and --clock-cal give a sample period outside 0.01..10 ms", false;
  return true;
}

bool UseAudioStream(DecodeOptions& options, std::string& error) {
  if (options.InterfaceGiven) {
    error = "--interface, --rate and --cal describe a byte stream, not a sound recording";
    return false;
  }
  options.InterfaceType = 1;
  options.DataRate = kAudioByteRate;
  options.HaveCal = true;
  options.CalLow = kAudioCalLow;
  options.CalHigh = kAudioCalHigh;
  return true;
}

LocalDateTime AddMilliseconds(const LocalDateTime& start, double ms) {
  const double startSeconds =
      static_cast<double>(DaysFromCivil(start.Year, start.Month, start.Day)) * 86400.0 +
      start.Hour * 3600.0 + start.Minute * 60.0 + start.Second;
  const auto total = static_cast<long long>(std::floor(startSeconds + ms / 1000.0));
  const long long days = total >= 0 ? total / 86400 : (total - 86399) / 86400;
  const long long rest = total - days * 86400;
  LocalDateTime moment;
  CivilFromDays(static_cast<long>(days), moment.Year, moment.Month, moment.Day);
  moment.Hour = static_cast<int>(rest / 3600);
  moment.Minute = static_cast<int>(rest / 60 % 60);
  moment.Second = static_cast<int>(rest % 60);
  return moment;
}

DecodeRun::DecodeRun(const DecodeOptions& options, std::function<void(const std::string&)> report)
    : options_(options), report_(std::move(report)), decoder_(settings_, *this) {
  settings_.InterfaceType = options.InterfaceType;
  ApplyInterfaceTypeFields(settings_, options.InterfaceType);
  if (options.DataRate > 0) settings_.DataRate = options.DataRate;
  if (options.HaveCal) {
    settings_.CalLow = options.CalLow;
    settings_.CalHigh = options.CalHigh;
  } else {
    // The user's calibration of types 1 and 2 is not in the recording: take their default.
    settings_.CalLow = InterfaceTypeParams(options.InterfaceType).CalLow;
    settings_.CalHigh = InterfaceTypeParams(options.InterfaceType).CalHigh;
  }
  settings_.ClockCal = options.ClockCal;
  settings_.SamplePeriod = ComputeSamplePeriod(settings_.ClockCal, settings_.DataRate);
  settings_.IOC = options.Ioc;
  settings_.DeleteDays = 1;
  if (options.DescribedDetector) decoder_.Detector = DetectorKind::Described;
  decoder_.Straighten = options.Straighten;
  decoder_.SetMode(options.DrumSpeed);
  if (options.ManualStart) decoder_.ManualStart();
  nextTickSample_ = static_cast<std::uint64_t>(std::ceil(1.0 / settings_.SamplePeriod));
}

void DecodeRun::Feed(const std::uint8_t* samples, std::size_t count) {
  // The live timer drains once a millisecond: the samples of each millisecond of stream go in
  // together, followed by the end of the tick.
  while (count > 0) {
    const std::uint64_t untilTick = nextTickSample_ - samples_;
    const std::size_t run = static_cast<std::size_t>(std::min<std::uint64_t>(untilTick, count));
    decoder_.Process(samples, run);
    samples_ += run;
    samples += run;
    count -= run;
    if (samples_ == nextTickSample_) {
      decoder_.EndOfTick();
      ++tick_;
      nextTickSample_ = static_cast<std::uint64_t>(
          std::ceil(static_cast<double>(tick_ + 1) / static_cast<double>(settings_.SamplePeriod)));
      if (nextTickSample_ <= samples_) nextTickSample_ = samples_ + 1;
    }
  }
}

void DecodeRun::Finish() {
  // The end of the last millisecond first, so that a row begun in it counts, as it does when
  // the live program ends; then a picture still open is saved.
  decoder_.EndOfTick();
  if (decoder_.CurrentLine < TDecoder::H) {
    decoder_.SavePending = true;
    decoder_.EndOfTick();
  }
}

std::string DecodeRun::Stamp() const {
  const double ms = StreamMs();
  const auto tenths = static_cast<long long>(ms / 100.0);
  char text[32];
  std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld.%lld", tenths / 36000, tenths / 600 % 60,
                tenths / 10 % 60, tenths % 10);
  return text;
}

void DecodeRun::ShowStatus(const std::string& text) {
  // The window's caption takes the same status again every half second while a tone lasts.
  if (text.empty() || text == lastStatus_) return;
  lastStatus_ = text;
  report_(Stamp() + " " + text);
}

void DecodeRun::AutoSave() {
  const int rows = decoder_.SaveHeight;
  if (rows <= 0) return;
  std::string folder = options_.OutDir;
  if (folder.empty() || folder.back() != '/') folder += '/';
  const LocalDateTime moment = AddMilliseconds(options_.Start, StreamMs());
  try {
    const std::string path =
        SaveUniqueGreyBmp(decoder_.Picture, rows, folder, AutoSaveName(moment));
    saved_.push_back({path, rows, StreamMs()});
    report_(Stamp() + " saved " + path + " (" + std::to_string(rows) + " rows)");
  } catch (const PlatformError& e) {
    errors_.push_back(e.what());
    report_(Stamp() + " " + e.what());
  }
}

}  // namespace zarvo::decode
