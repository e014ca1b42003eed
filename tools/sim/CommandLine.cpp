#include "sim/CommandLine.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <map>

#include "settings/Settings.h"

namespace zarvo::sim {
namespace {

bool ParseInt(const std::string& text, long long low, long long high, long long& value) {
  const char* end = text.data() + text.size();
  const auto result = std::from_chars(text.data(), end, value);
  return result.ec == std::errc() && result.ptr == end && value >= low && value <= high;
}

bool ParseDouble(const std::string& text, double low, double high, double& value) {
  if (text.empty() || std::isspace(static_cast<unsigned char>(text[0]))) return false;
  char* end = nullptr;
  value = std::strtod(text.c_str(), &end);
  return end == text.c_str() + text.size() && std::isfinite(value) && value >= low && value <= high;
}

}  // namespace

std::string Usage() {
  return "usage: zarvo-sim [options] [PICTURE]\n"
         "Writes the interface box's byte stream of complete fax broadcasts of PICTURE (PGM or\n"
         "BMP), or of the built-in test chart.\n"
         "  --rate N              samples per second (default 7200)\n"
         "  --cal LOW HIGH        bytes at 1200 Hz and 2300 Hz (default 0 255)\n"
         "  --interface 1..5      rate and calibration of an interface type\n"
         "  --lpm 60|90|120|180|240   lines per minute (default 120)\n"
         "  --ioc 576|288         index of cooperation (default 576)\n"
         "  --lead SECONDS        steady tone before each start tone (default 0)\n"
         "  --lead-hz HZ          its frequency (default 1900)\n"
         "  --start-seconds S     start tone (default 5)\n"
         "  --phasing-seconds S   phasing, rounded to whole lines (default 30)\n"
         "  --stop-seconds S      stop tone (default 5)\n"
         "  --trailer-seconds S   black after the stop tone (default 2)\n"
         "  --noise HZ            standard deviation of Gaussian frequency noise (default 0)\n"
         "  --clock-error PPM     the device's sample clock error (default 0)\n"
         "  --mistune HZ          offset added to every frequency (default 0)\n"
         "  --seed N              noise seed (default 1)\n"
         "  --repeat N            broadcasts back to back (default 1)\n"
         "  --chart-height ROWS   rows of the built-in chart (default 800)\n"
         "  -o FILE | -o -        output file, or standard output (the default)\n"
         "  --plain-tones         start and stop as plain tones of 300/675/450 Hz instead of a\n"
         "                        black/white alternation at that rate\n"
         "  --wav FILE            write the broadcast as sound (WAV, FLAC or Ogg by the name's\n"
         "                        extension): a tone following the picture, 16 bits, mono\n"
         "    --audio-rate N      sound samples per second, 8000..96000 (default 11025)\n"
         "    --snr DB            white noise at this signal-to-noise ratio in 3 kHz\n"
         "  --pty                 stream in real time on a new pseudo-terminal, whose path is\n"
         "                        printed on standard output\n"
         "    --speed X           faster than real time by X (default 1)\n"
         "    --hold SECONDS      keep the terminal open after the stream (default 2)\n"
         "  --help                this text\n";
}

bool ParseCommandLine(const std::vector<std::string>& args, CommandLine& out, std::string& error) {
  CommandLine line;
  bool chartHeightGiven = false, outputGiven = false, speedGiven = false, holdGiven = false;
  bool audioRateGiven = false, snrGiven = false;
  BroadcastOptions& b = line.Broadcast;

  // Each option with its argument count and what it does with them; false: a bad value.
  using Apply = std::function<bool(const std::vector<std::string>&)>;
  auto integer = [](int& field, long long low, long long high) {
    return Apply([&field, low, high](const std::vector<std::string>& v) {
      long long value = 0;
      if (!ParseInt(v[0], low, high, value)) return false;
      field = static_cast<int>(value);
      return true;
    });
  };
  auto real = [](double& field, double low, double high) {
    return Apply([&field, low, high](const std::vector<std::string>& v) {
      return ParseDouble(v[0], low, high, field);
    });
  };
  const std::map<std::string, std::pair<int, Apply>> options = {
      {"--rate", {1, integer(b.DataRate, 1, 10'000'000)}},
      {"--cal",
       {2,
        [&b](const std::vector<std::string>& v) {
          long long low = 0, high = 0;
          if (!ParseInt(v[0], 0, 255, low) || !ParseInt(v[1], 0, 255, high) || low >= high)
            return false;
          b.CalLow = static_cast<int>(low);
          b.CalHigh = static_cast<int>(high);
          return true;
        }}},
      {"--interface",
       {1,
        [&b](const std::vector<std::string>& v) {
          long long type = 0;
          if (!ParseInt(v[0], 1, kInterfaceTypeCount, type)) return false;
          const InterfaceTypeInfo& info = InterfaceTypeParams(static_cast<int>(type));
          b.DataRate = info.DataRate;
          b.CalLow = info.CalLow;
          b.CalHigh = info.CalHigh;
          return true;
        }}},
      {"--lpm",
       {1,
        [&b](const std::vector<std::string>& v) {
          long long lpm = 0;
          if (!ParseInt(v[0], 60, 240, lpm) ||
              (lpm != 60 && lpm != 90 && lpm != 120 && lpm != 180 && lpm != 240))
            return false;
          b.Lpm = static_cast<int>(lpm);
          return true;
        }}},
      {"--ioc",
       {1,
        [&b](const std::vector<std::string>& v) {
          long long ioc = 0;
          if (!ParseInt(v[0], 288, 576, ioc) || (ioc != 288 && ioc != 576)) return false;
          b.Ioc = static_cast<int>(ioc);
          return true;
        }}},
      {"--lead", {1, real(b.LeadSeconds, 0, 1e6)}},
      {"--lead-hz", {1, real(b.LeadHz, 0, 1e6)}},
      {"--start-seconds", {1, real(b.StartSeconds, 0, 1e6)}},
      {"--phasing-seconds", {1, real(b.PhasingSeconds, 0, 1e6)}},
      {"--stop-seconds", {1, real(b.StopSeconds, 0, 1e6)}},
      {"--trailer-seconds", {1, real(b.TrailerSeconds, 0, 1e6)}},
      {"--noise", {1, real(b.NoiseHz, 0, 1e6)}},
      {"--clock-error", {1, real(b.ClockErrorPpm, -100000, 100000)}},
      {"--mistune", {1, real(b.MistuneHz, -1e6, 1e6)}},
      {"--seed",
       {1,
        [&b](const std::vector<std::string>& v) {
          long long seed = 0;
          if (!ParseInt(v[0], 0, 4294967295LL, seed)) return false;
          b.Seed = static_cast<unsigned>(seed);
          return true;
        }}},
      {"--repeat", {1, integer(b.Repeat, 1, 10000)}},
      {"--chart-height",
       {1,
        [&](const std::vector<std::string>& v) {
          chartHeightGiven = true;
          return integer(line.ChartHeight, ChartMinHeight, MaxPictureSide)(v);
        }}},
      {"-o",
       {1,
        [&](const std::vector<std::string>& v) {
          if (v[0].empty()) return false;
          outputGiven = true;
          line.OutputPath = v[0];
          return true;
        }}},
      {"--speed",
       {1,
        [&](const std::vector<std::string>& v) {
          speedGiven = true;
          return ParseDouble(v[0], 1e-3, 1e4, line.Speed) && line.Speed > 0;
        }}},
      {"--wav",
       {1,
        [&](const std::vector<std::string>& v) {
          if (v[0].empty()) return false;
          line.SoundPath = v[0];
          return true;
        }}},
      {"--audio-rate",
       {1,
        [&](const std::vector<std::string>& v) {
          audioRateGiven = true;
          return integer(line.AudioRate, 8000, 96000)(v);
        }}},
      {"--snr",
       {1,
        [&](const std::vector<std::string>& v) {
          snrGiven = true;
          return real(line.SnrDb, -30, 100)(v);
        }}},
      {"--hold",
       {1,
        [&](const std::vector<std::string>& v) {
          holdGiven = true;
          return real(line.HoldSeconds, 0, 86400)(v);
        }}},
  };

  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded) {
    } else if (arg == "--") {
      optionsEnded = true;
      continue;
    } else if (arg == "--help" || arg == "-h") {
      line.Help = true;
      out = line;
      return true;
    } else if (arg == "--pty") {
      line.Pty = true;
      continue;
    } else if (arg == "--plain-tones") {
      b.PlainTones = true;
      continue;
    } else if (arg.size() > 1 && arg[0] == '-') {
      const auto option = options.find(arg);
      if (option == options.end()) {
        error = "unknown option " + arg;
        return false;
      }
      const int count = option->second.first;
      if (args.size() - i - 1 < static_cast<std::size_t>(count)) {
        error = arg + " needs " + (count == 1 ? "a value" : std::to_string(count) + " values");
        return false;
      }
      const std::vector<std::string> values(args.begin() + i + 1, args.begin() + i + 1 + count);
      if (!option->second.second(values)) {
        std::string given;
        for (const auto& v : values) given += " " + v;
        error = "bad value for " + arg + ":" + given;
        return false;
      }
      i += count;
      continue;
    }
    if (!line.PicturePath.empty()) {
      error = "more than one picture: " + line.PicturePath + " and " + arg;
      return false;
    }
    line.PicturePath = arg;
  }

  if (line.Pty && outputGiven) {
    error = "--pty and -o exclude each other";
    return false;
  }
  if (!line.SoundPath.empty() && (line.Pty || outputGiven)) {
    error = "--wav excludes -o and --pty";
    return false;
  }
  if (line.SoundPath.empty() && (audioRateGiven || snrGiven)) {
    error = "--audio-rate and --snr go with --wav";
    return false;
  }
  if (!line.Pty && (speedGiven || holdGiven)) {
    error = "--speed and --hold go with --pty";
    return false;
  }
  if (chartHeightGiven && !line.PicturePath.empty()) {
    error = "--chart-height is for the built-in chart, not for a picture";
    return false;
  }
  const std::string problem = CheckOptions(b);
  if (!problem.empty()) {
    error = problem;
    return false;
  }
  out = line;
  return true;
}

}  // namespace zarvo::sim
