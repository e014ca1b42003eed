#pragma once
// The sound input: a sound card, or a recording played through the receiver, turned into the
// byte stream of a box with a fixed rate and calibration of its own. Its choices are kept per
// user outside the record, which other programs read with the box's values in it; while sound
// is in use the record in memory carries the sound's rate and calibration, and the file gets
// the box's.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "settings/Settings.h"

namespace zarvo {

// The stream's rate, and its calibration: the bytes of 1200 Hz and 2300 Hz. At 6.25 Hz a level,
// byte 0 is 1000 Hz, the lowest centre a decoder takes for a signal's, and byte 255 is
// 2593.75 Hz. Black (1500 Hz, byte 80) keeps 500 Hz below it for mistuning, and white (2300 Hz,
// byte 208) nearly 300 Hz above it for the filter's overshoot at sharp black/white edges and for
// noise: neither is clipped, so the mean of a noisy grey stays where it belongs.
inline constexpr int kAudioByteRate = 7200;
inline constexpr int kAudioCalLow = 32;
inline constexpr int kAudioCalHigh = 208;

// The range of the centre frequency: the signal's middle, 1900 Hz for black 1500 and white 2300.
inline constexpr double kDefaultCentreHz = 1900;
inline constexpr double kLowestAudioCentreHz = 1000;
inline constexpr double kHighestAudioCentreHz = 2500;

struct SoundInputChoice {
  bool Chosen = false;  // the sound card is the input, not the record's COM port
  std::string Source;   // the audio server's name of the source; "" is its default
  std::int32_t CentreHz = static_cast<std::int32_t>(kDefaultCentreHz);
  // The user's calibration of the sound input, the fixed one until the tone generator is used.
  std::int32_t CalLow = kAudioCalLow;
  std::int32_t CalHigh = kAudioCalHigh;
  // The sound card's clock correction in percent, as the record's ClockCal is the box's.
  float ClockCal = 0;
};

// The choices in use (read from the user's store by the configuration window).
SoundInputChoice& SoundInput();
// The same with every value in its range: a damaged store gives the defaults where it is wrong.
SoundInputChoice ValidSoundInput(const SoundInputChoice& choice);

// The receive side says whether a recording is being played.
void SetRecordingPlaying(bool playing);

// Puts the sound's rate, calibration and clock correction into Settings while the sound card is
// chosen or a recording plays, and the box's back when neither; a change of the sound's made
// meanwhile is kept in SoundInput().
void UpdateSoundCalibration();
bool SoundCalibrationInUse();
// Runs `change` on the record with the box's values in it, and puts the sound's back after it:
// an interface type chosen while a recording plays is the box's.
void ChangeBoxFields(const std::function<void()>& change);
// The record was read anew: nothing of the sound's is in it.
void ForgetSoundCalibration();

// What the settings file and the user's store get: the box's values in the record, the sound's
// calibration in the choice, whichever is in use.
TSettings RecordForFile();
SoundInputChoice SoundInputForStore();

// A source of the audio server the user can choose: an input, or the monitor of an output (the
// sound an SDR program plays, say).
struct SoundSource {
  std::string Name;         // the server's name, as SoundInputChoice::Source keeps it
  std::string Description;  // as the user's desktop shows it
  bool Monitor = false;
};
// Lists the server's sources, inputs before monitors; false with the reason when the server
// cannot be reached. The program sets the audio server's; without one nothing is listed.
using SoundSourceLister = bool (*)(std::vector<SoundSource>& sources, std::string& error);
void SetSoundSourceLister(SoundSourceLister lister);
bool ListSoundSources(std::vector<SoundSource>& sources, std::string& error);

// The source as a user reads it in a message.
std::string SoundSourceLabel();

}  // namespace zarvo
