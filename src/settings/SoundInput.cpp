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
  float ClockCal = 0;
};
BoxFields box;
bool applied = false;
SoundSourceLister lister = nullptr;

bool ValidCalibration(std::int32_t low, std::int32_t high) {
  return low >= 0 && low <= 255 && high >= 0 && high <= 255 && low != high;
}

// The track bar's range: -0.1 % to +0.1 %.
bool ValidClockCal(float percent) {
  return percent >= -0.1f && percent <= 0.1f;
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
  if (!ValidClockCal(valid.ClockCal)) valid.ClockCal = 0;
  return valid;
}

void SetRecordingPlaying(bool on) {
  playing = on;
}

void UpdateSoundCalibration() {
  const bool wanted = choice.Chosen || playing;
  if (wanted == applied) return;
  if (wanted) {
    box = {Settings.DataRate, Settings.CalLow, Settings.CalHigh, Settings.ClockCal};
    Settings.DataRate = kAudioByteRate;
    Settings.CalLow = choice.CalLow;
    Settings.CalHigh = choice.CalHigh;
    Settings.ClockCal = choice.ClockCal;
  } else {
    if (ValidCalibration(Settings.CalLow, Settings.CalHigh)) {
      choice.CalLow = Settings.CalLow;
      choice.CalHigh = Settings.CalHigh;
    }
    if (ValidClockCal(Settings.ClockCal)) choice.ClockCal = Settings.ClockCal;
    Settings.DataRate = box.DataRate;
    Settings.CalLow = box.CalLow;
    Settings.CalHigh = box.CalHigh;
    Settings.ClockCal = box.ClockCal;
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
  record.ClockCal = box.ClockCal;
  record.SamplePeriod = ComputeSamplePeriod(record.ClockCal, record.DataRate);
  return record;
}

SoundInputChoice SoundInputForStore() {
  SoundInputChoice stored = choice;
  if (applied && ValidCalibration(Settings.CalLow, Settings.CalHigh)) {
    stored.CalLow = Settings.CalLow;
    stored.CalHigh = Settings.CalHigh;
  }
  if (applied && ValidClockCal(Settings.ClockCal)) stored.ClockCal = Settings.ClockCal;
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
