#pragma once
// Receiving sound as the program will: the demodulator's byte stream through zarvo-decode's run,
// and recorded byte streams turned back into the sound that made them.
#include <cmath>
#include <cstdint>
#include <vector>

#include "decode/DecodeRun.h"

namespace zarvo::measure {

// Decoding options for the demodulator's stream (7200 samples a second, its calibration).
decode::DecodeOptions AudioStreamOptions();

// Sound through the demodulator, the bytes it held back included.
std::vector<std::uint8_t> Demodulate(const std::vector<float>& audio, int audioRate,
                                     double centreHz = 1900);

// A byte stream at `rate` as sound at `audioRate`: each byte's frequency by the calibration,
// held for its sample, in one continuous phase; white noise at `snrDb` in 3 kHz.
std::vector<float> StreamToAudio(const std::vector<std::uint8_t>& stream, int rate, int calLow,
                                 int calHigh, int audioRate, double snrDb = INFINITY,
                                 unsigned seed = 1);

}  // namespace zarvo::measure
