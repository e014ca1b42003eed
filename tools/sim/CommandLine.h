#pragma once
// The simulator's command line, parsed apart from the program so that it can be checked alone.
#include <cmath>
#include <string>
#include <vector>

#include "sim/AudioSynth.h"
#include "sim/Broadcast.h"

namespace zarvo::sim {

struct CommandLine {
  BroadcastOptions Broadcast;
  std::string PicturePath;  // empty: the built-in chart
  int ChartHeight = 800;
  std::string OutputPath;  // empty or "-": standard output
  bool Pty = false;
  double Speed = 1;
  double HoldSeconds = 2;
  bool Help = false;
  // The broadcast as sound instead of bytes: a WAV, FLAC or Ogg file.
  std::string SoundPath;
  int AudioRate = kDefaultAudioRate;
  double SnrDb = INFINITY;  // in 3 kHz; infinite: no noise
};

// Options apply in the order given, so a --rate or --cal after --interface overrides it.
bool ParseCommandLine(const std::vector<std::string>& args, CommandLine& out, std::string& error);
std::string Usage();

}  // namespace zarvo::sim
