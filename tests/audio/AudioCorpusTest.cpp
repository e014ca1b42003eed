// The recorded corpus received as sound: each stream turned back into the tone its box heard
// (each byte's frequency by its calibration, in one continuous phase), through the demodulator
// and the receiver's decoder, must give what its bytes give: the same faxes and rows, the left
// edge and the greys close.
#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cmath>

#include "audio/AudioDemodulator.h"
#include "measure/AudioReception.h"
#include "measure/CorpusFile.h"
#include "measure/ReceptionScore.h"
#include "support/TempDir.h"

namespace zarvo {
namespace {

struct Case {
  const char* Name;
  int AudioRate;
  bool Phasing = true;  // without, the line start falls wherever the start tone left it
};

// Every usual rate once.
const Case kCases[] = {
    {"grid-90-576-4800-noise40", 8000}, {"ramp-60-576-7200-nophasing", 11025, false},
    {"resolution-240-288-5760", 96000}, {"text-180-576-7200-clock60ppm-mistune40", 44100},
    {"two-broadcasts-7200", 48000},     {"weather-120-576-7200", 22050},
};

class AudioCorpusTest : public testing::TestWithParam<Case> {
 protected:
  void SetUp() override { std::setlocale(LC_TIME, "C"); }
};

TEST_P(AudioCorpusTest, SoundGivesWhatTheBytesGive) {
  const Case c = GetParam();
  measure::CorpusFile file;
  std::string error;
  ASSERT_TRUE(measure::ReadCorpusFile(std::string(ZARVO_CORPUS_DIR) + "/" + c.Name + ".raw.json",
                                      file, error))
      << error;
  std::vector<measure::SentBroadcast> sent;
  ASSERT_TRUE(measure::CorpusBroadcasts(file, sent, error)) << error;
  const auto stream = measure::ReadStream(file.Stream);
  test::TempDir out;

  decode::DecodeOptions byteOptions = measure::CorpusOptions(file, false);
  byteOptions.OutDir = out.Path();
  const auto fromBytes = measure::Score(measure::Receive(stream, byteOptions), sent,
                                        static_cast<std::uint64_t>(file.Rate));

  // The sound card's clock runs as the box's did; the drum speed is set where no phasing is sent.
  decode::DecodeOptions soundOptions = measure::AudioStreamOptions();
  soundOptions.ClockCal = byteOptions.ClockCal;
  soundOptions.DrumSpeed = byteOptions.DrumSpeed;
  soundOptions.OutDir = out.Path();
  const auto sound =
      measure::StreamToAudio(stream, file.Rate, file.CalLow, file.CalHigh, c.AudioRate);
  // The statuses' places on the 7200/s stream, on the file's own rate for scoring.
  auto reception = measure::Receive(measure::Demodulate(sound, c.AudioRate), soundOptions);
  for (auto& e : reception.Events)
    e.Sample = e.Sample * static_cast<std::uint64_t>(file.Rate) / kAudioByteRate;
  for (auto& f : reception.Faxes)
    f.Sample = f.Sample * static_cast<std::uint64_t>(file.Rate) / kAudioByteRate;
  const auto fromSound = measure::Score(reception, sent, static_cast<std::uint64_t>(file.Rate));

  EXPECT_TRUE(reception.Errors.empty());
  EXPECT_EQ(fromSound.Faxes, fromBytes.Faxes);
  EXPECT_EQ(fromSound.FalseStarts, 0);
  EXPECT_LE(fromSound.FalseStops, fromBytes.FalseStops);
  ASSERT_EQ(fromSound.Broadcasts.size(), fromBytes.Broadcasts.size());
  for (std::size_t k = 0; k < sent.size(); ++k) {
    SCOPED_TRACE("broadcast " + std::to_string(k));
    const auto& b = fromBytes.Broadcasts[k];
    const auto& s = fromSound.Broadcasts[k];
    EXPECT_EQ(s.StartFound, b.StartFound);
    EXPECT_EQ(s.IocFound, b.IocFound);
    EXPECT_EQ(s.ModeAtWaiting, b.ModeAtWaiting);
    ASSERT_TRUE(s.HaveFax && s.Fax.Valid);
    RecordProperty(
        "broadcast" + std::to_string(k),
        "rows " + std::to_string(s.Fax.RowsSaved) + "/" + std::to_string(b.Fax.RowsSaved) +
            ", border " + std::to_string(s.Fax.Border) + "/" + std::to_string(b.Fax.Border) +
            ", grey " + std::to_string(s.Fax.GreyError) + "/" + std::to_string(b.Fax.GreyError) +
            ", grey+-1 " + std::to_string(s.Fax.GreyErrorNear) + "/" +
            std::to_string(b.Fax.GreyErrorNear));
    EXPECT_NEAR(s.Fax.RowsSaved, b.Fax.RowsSaved, 2);
    if (c.Phasing) {
      EXPECT_NEAR(s.Fax.Border, b.Fax.Border, 1.0);
    }
    // The fax's bandwidth (1100 Hz) softens a sharp edge over a pixel or two at the fast drum
    // speeds, which the pixel-for-pixel error counts in full on text and bars (22 against 3.5
    // for the text at 180 lines per minute); a pixel between its sent neighbours counts as
    // right, and there the sound is within 4 of the bytes.
    EXPECT_LE(s.Fax.GreyErrorNear, b.Fax.GreyErrorNear + 4);
    EXPECT_LE(s.Fax.GreyError, b.Fax.GreyError + 20);
  }
}

INSTANTIATE_TEST_SUITE_P(Corpus, AudioCorpusTest, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<Case>& param) {
                           std::string name = param.param.Name;
                           std::replace(name.begin(), name.end(), '-', '_');
                           return name;
                         });

}  // namespace
}  // namespace zarvo
