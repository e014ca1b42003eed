#include "settings/SoundInput.h"

#include <algorithm>

namespace zarvo {

namespace {

SoundInputChoice choice;
bool playing = false;

// The box's fields, kept while the sound's are in the record.
struct BoxFields {
  std::int32_t DataRate = 0;
  std::int32_t CalLow = 0;
  std::int32_t CalHigh = 0;
};
BoxFields box;
bool applied = false;
SoundSourceLister lister = nullptr;

bool ValidCalibration(std::int32_t low, std::int32_t high) {
  return low >= 0 && low <= 255 && high >= 0 && high <= 255 && low != high;
}

}  // namespace

SoundInputChoice& SoundInput() {
  return choice;
}

SoundInputChoice ValidSoundInput(const SoundInputChoice& given) {
  SoundInputChoice valid = given;
  if (valid.CentreHz < kLowestAudioCentreHz || valid.CentreHz > kHighestAudioCentreHz)
    valid.CentreHz = static_cast<std::int32_t>(kDefaultCentreHz);
  if (!ValidCalibration(valid.CalLow, valid.CalHigh)) {
    valid.CalLow = kAudioCalLow;
    valid.CalHigh = kAudioCalHigh;
  }
  return valid;
}

void SetRecordingPlaying(bool on) {
  playing = on;
}

bool RecordingPlaying() {
  return playing;
}

void UpdateSoundCalibration() {
  const bool wanted = choice.Chosen || playing;
  if (wanted == applied) return;
  if (wanted) {
    box = {Settings.DataRate, Settings.CalLow, Settings.CalHigh};
    Settings.DataRate = kAudioByteRate;
    Settings.CalLow = choice.CalLow;
    Settings.CalHigh = choice.CalHigh;
  } else {
    if (ValidCalibration(Settings.CalLow, Settings.CalHigh)) {
      choice.CalLow = Settings.CalLow;
      choice.CalHigh = Settings.CalHigh;
    }
    Settings.DataRate = box.DataRate;
    Settings.CalLow = box.CalLow;
    Settings.CalHigh = box.CalHigh;
  }
  Settings.SamplePeriod = ComputeSamplePeriod(Settings.ClockCal, Settings.DataRate);
  applied = wanted;
}

void ChangeBoxFields(const std::function<void()>& change) {
  if (!applied) {
    change();
    return;
  }
  const bool wasPlaying = playing;
  const bool wasChosen = choice.Chosen;
  playing = false;
  choice.Chosen = false;
  UpdateSoundCalibration();
  change();
  playing = wasPlaying;
  choice.Chosen = wasChosen;
  UpdateSoundCalibration();
}

bool SoundCalibrationInUse() {
  return applied;
}

void ForgetSoundCalibration() {
  applied = false;
}

TSettings RecordForFile() {
  TSettings record = Settings;
  if (!applied) return record;
  record.DataRate = box.DataRate;
  record.CalLow = box.CalLow;
  record.CalHigh = box.CalHigh;
  record.SamplePeriod = ComputeSamplePeriod(record.ClockCal, record.DataRate);
  return record;
}

SoundInputChoice SoundInputForStore() {
  SoundInputChoice stored = choice;
  if (applied && ValidCalibration(Settings.CalLow, Settings.CalHigh)) {
    stored.CalLow = Settings.CalLow;
    stored.CalHigh = Settings.CalHigh;
  }
  return stored;
}

void SetSoundSourceLister(SoundSourceLister given) {
  lister = given;
}

bool ListSoundSources(std::vector<SoundSource>& sources, std::string& error) {
  sources.clear();
  if (lister) return lister(sources, error);
  error = "this program was built without sound input";
  return false;
}

std::string SoundSourceLabel() {
  return choice.Source.empty() ? std::string("default") : choice.Source;
}

}  // namespace zarvo
