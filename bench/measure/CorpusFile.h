#pragma once
// The recorded streams of tests/corpus: each NAME.raw with its description NAME.raw.json (the
// interface's rate and calibration, the clock error, and each broadcast's drum speed, IOC,
// sections and the picture sent as NAME.raw.bK.pgm).
#include <cstdint>
#include <string>
#include <vector>

#include "sim/Broadcast.h"

namespace zarvo::measure {

struct CorpusBroadcast {
  int Lpm = 0;
  int Ioc = 576;
  int RowsSent = 0;         // scan lines in the sent picture, margins included
  std::string SentPicture;  // file name beside the stream
  // In stream order; a broadcast without phasing lines has no phasing section.
  std::vector<sim::Section> Sections;
};

struct CorpusFile {
  std::string Name;    // the stream's file name without .raw
  std::string Stream;  // full path of NAME.raw
  int Rate = 0;        // nominal samples per second
  int CalLow = 0;
  int CalHigh = 255;
  double ClockPpm = 0;  // the box samples this much fast
  double NoiseHz = 0;
  double MistuneHz = 0;
  std::uint64_t TotalSamples = 0;
  std::vector<CorpusBroadcast> Broadcasts;
};

// Reads `jsonPath` (NAME.raw.json); on failure returns false with the reason in `error`.
bool ReadCorpusFile(const std::string& jsonPath, CorpusFile& out, std::string& error);

// Every NAME.raw.json in `folder`, sorted by name; stops at the first that cannot be read.
bool ReadCorpus(const std::string& folder, std::vector<CorpusFile>& out, std::string& error);

// The interface type (1, 3, 4, 5) whose data rate is `rate`; 0 when none has it.
int InterfaceTypeForRate(int rate);

}  // namespace zarvo::measure
