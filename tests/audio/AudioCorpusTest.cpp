// The recorded corpus received as sound: each stream turned back into the tone its box heard
// (each byte's frequency by its calibration, in one continuous phase), through the demodulator
// and the receiver's decoder, must give what its bytes give: the same faxes and rows, the left
// edge and the greys close.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>

#include "audio/AudioDemodulator.h"
#include "measure/AudioReception.h"
#include "measure/CorpusFile.h"
#include "measure/ReceptionScore.h"
#include "support/TempDir.h"

namespace zarvo {
namespace {

TEST(AudioCorpus, SoundGivesWhatTheBytesGive) {
  std::setlocale(LC_TIME, "C");
  // Each stream at one of the usual rates.
  const std::pair<std::string, int> cases[] = {
      {"grid-90-576-4800-noise40", 8000}, {"ramp-60-576-7200-nophasing", 11025},
      {"resolution-240-288-5760", 96000}, {"text-180-576-7200-clock60ppm-mistune40", 44100},
      {"two-broadcasts-7200", 48000},     {"weather-120-576-7200", 22050}};
  for (const auto& [name, rate] : cases) {
    SCOPED_TRACE(name);
    measure::CorpusFile file;
    std::string error;
    ASSERT_TRUE(measure::ReadCorpusFile(ZARVO_CORPUS_DIR "/" + name + ".raw.json", file, error))
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
    const auto sound = measure::StreamToAudio(stream, file.Rate, file.CalLow, file.CalHigh, rate);
    // The statuses' places on the 7200/s stream, on the file's own rate for scoring.
    auto reception = measure::Receive(measure::Demodulate(sound, rate), soundOptions);
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
      EXPECT_NEAR(s.Fax.RowsSaved, b.Fax.RowsSaved, 2);
      // Without phasing the line start falls wherever the start tone left it.
      if (name.find("nophasing") == std::string::npos) {
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
}

}  // namespace
}  // namespace zarvo
