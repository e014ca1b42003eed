// Recordings through libsndfile: what the writer makes the reader gives back, the left of two
// channels, and clear refusals of what is no usable recording.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <string>
#include <vector>

#include "audio/AudioFile.h"
#include "support/TempDir.h"

namespace zarvo {
namespace {

using Bytes = std::vector<unsigned char>;

std::vector<float> Sine(int rate, double seconds, double hz, float amplitude) {
  std::vector<float> s(static_cast<std::size_t>(seconds * rate));
  for (std::size_t i = 0; i < s.size(); ++i)
    s[i] = amplitude *
           static_cast<float>(std::sin(2 * std::numbers::pi * hz * static_cast<double>(i) / rate));
  return s;
}

// A 16-bit PCM WAV made by hand: `dataBytes` is what its header announces.
Bytes Wav(int rate, int channels, const std::vector<std::int16_t>& samples,
          std::uint32_t dataBytes) {
  Bytes b;
  auto text = [&](const char* t) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<unsigned char>(t[i]));
  };
  auto u32 = [&](std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<unsigned char>(v >> (8 * i)));
  };
  auto u16 = [&](std::uint32_t v) {
    for (int i = 0; i < 2; ++i) b.push_back(static_cast<unsigned char>(v >> (8 * i)));
  };
  text("RIFF");
  u32(36 + dataBytes);
  text("WAVE");
  text("fmt ");
  u32(16);
  u16(1);
  u16(static_cast<std::uint32_t>(channels));
  u32(static_cast<std::uint32_t>(rate));
  u32(static_cast<std::uint32_t>(rate * channels * 2));
  u16(static_cast<std::uint32_t>(channels * 2));
  u16(16);
  text("data");
  u32(dataBytes);
  for (const auto s : samples) u16(static_cast<std::uint16_t>(s));
  return b;
}

Bytes Wav(int rate, int channels, const std::vector<std::int16_t>& samples) {
  return Wav(rate, channels, samples, static_cast<std::uint32_t>(samples.size() * 2));
}

std::vector<float> ReadAll(AudioFileReader& reader, std::string& error) {
  std::vector<float> all, chunk(1000);
  long n;
  while ((n = reader.Read(chunk.data(), chunk.size(), error)) > 0)
    all.insert(all.end(), chunk.begin(), chunk.begin() + n);
  if (n < 0) all.clear();
  return all;
}

struct RoundTrip {
  const char* Extension;
  const char* Format;
  int Rate;
  double Tolerance;  // per sample: 16 bits, or the lossy coder's error
};

class AudioFileRoundTrip : public testing::TestWithParam<RoundTrip> {};

TEST_P(AudioFileRoundTrip, GivesBackWhatWasWritten) {
  const RoundTrip c = GetParam();
  test::TempDir dir;
  const std::string path = dir.File(std::string("tone.") + c.Extension);
  const auto sound = Sine(c.Rate, 0.5, 1000, 0.5f);
  std::string error;
  AudioFileWriter writer;
  ASSERT_TRUE(writer.Create(path, c.Rate, error)) << error;
  ASSERT_TRUE(writer.Write(sound.data(), sound.size(), error)) << error;
  ASSERT_TRUE(writer.Close(error)) << error;

  AudioFileReader reader;
  ASSERT_TRUE(reader.Open(path, error)) << error;
  EXPECT_EQ(reader.Rate(), c.Rate);
  EXPECT_EQ(reader.Channels(), 1);
  EXPECT_EQ(reader.Frames(), static_cast<std::int64_t>(sound.size()));
  EXPECT_EQ(reader.Format(), c.Format);
  const auto back = ReadAll(reader, error);
  ASSERT_EQ(back.size(), sound.size()) << error;
  double worst = 0;
  // The lossy coder's first frame is its own; the rest must follow the tone.
  for (std::size_t i = back.size() / 10; i < back.size(); ++i)
    worst = std::max(worst, static_cast<double>(std::abs(back[i] - sound[i])));
  EXPECT_LT(worst, c.Tolerance);

  // The same from memory.
  const Bytes bytes = dir.Read(std::string("tone.") + c.Extension);
  AudioFileReader memory;
  ASSERT_TRUE(memory.OpenMemory(bytes.data(), bytes.size(), error)) << error;
  EXPECT_EQ(ReadAll(memory, error), back);
  EXPECT_TRUE(LooksLikeAudio(bytes.data(), bytes.size()));
}

INSTANTIATE_TEST_SUITE_P(Formats, AudioFileRoundTrip,
                         testing::Values(RoundTrip{"wav", "WAV", 8000, 1.0 / 16384},
                                         RoundTrip{"flac", "FLAC", 48000, 1.0 / 16384},
                                         RoundTrip{"ogg", "Ogg", 11025, 0.05}),
                         [](const testing::TestParamInfo<RoundTrip>& param) {
                           return std::string(param.param.Extension);
                         });

TEST(AudioFileReader, TakesTheLeftOfTwoChannels) {
  std::vector<std::int16_t> frames;
  for (int i = 0; i < 100; ++i) {
    frames.push_back(static_cast<std::int16_t>(i * 100));  // left
    frames.push_back(-16384);                              // right
  }
  const Bytes wav = Wav(22050, 2, frames);
  AudioFileReader reader;
  std::string error;
  ASSERT_TRUE(reader.OpenMemory(wav.data(), wav.size(), error)) << error;
  EXPECT_EQ(reader.Channels(), 2);
  EXPECT_EQ(reader.Frames(), 100);
  const auto left = ReadAll(reader, error);
  ASSERT_EQ(left.size(), 100u);
  for (int i = 0; i < 100; ++i)
    EXPECT_FLOAT_EQ(left[static_cast<std::size_t>(i)], static_cast<float>(i * 100) / 32768);
}

TEST(AudioFileReader, RefusesWhatIsNoUsableRecording) {
  const std::vector<std::int16_t> second(8000, 1000);
  Bytes truncated = Wav(8000, 1, second);
  truncated.resize(truncated.size() / 2);
  Bytes cutFlac;
  {
    test::TempDir dir;
    AudioFileWriter writer;
    std::string error;
    const auto sound = Sine(48000, 2, 700, 0.7f);
    ASSERT_TRUE(writer.Create(dir.File("a.flac"), 48000, error));
    ASSERT_TRUE(writer.Write(sound.data(), sound.size(), error));
    ASSERT_TRUE(writer.Close(error));
    cutFlac = dir.Read("a.flac");
    cutFlac.resize(cutFlac.size() * 2 / 3);
  }
  const std::string text = "1200 2300 1500\n";
  struct Case {
    const char* Name;
    Bytes Content;
    const char* Error;  // a part of the message
  };
  const Case cases[] = {
      {"text", Bytes(text.begin(), text.end()), "not a sound file"},
      {"empty", Bytes(), "not a sound file"},
      {"rate 4000", Wav(4000, 1, second), "sample rate of 4000 Hz is outside 8000..96000"},
      {"rate 192000", Wav(192000, 1, second), "sample rate of 192000 Hz is outside"},
      {"no channel", Wav(8000, 0, second), "not a sound file"},
      {"truncated WAV", truncated, "truncated"},
      {"truncated FLAC", cutFlac, "truncated"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    test::TempDir dir;
    dir.Write("input.wav", c.Content);
    for (const bool fromMemory : {false, true}) {
      AudioFileReader reader;
      std::string error;
      const bool opened = fromMemory ? reader.OpenMemory(c.Content.data(), c.Content.size(), error)
                                     : reader.Open(dir.File("input.wav"), error);
      // Some damage shows only once the sound is read.
      if (opened) {
        EXPECT_TRUE(ReadAll(reader, error).empty());
      }
      EXPECT_NE(error.find(c.Error), std::string::npos) << error;
    }
  }
  AudioFileReader reader;
  std::string error;
  EXPECT_FALSE(reader.Open("/nonexistent/sound.wav", error));
  EXPECT_NE(error.find("/nonexistent/sound.wav"), std::string::npos);
  float sample;
  EXPECT_EQ(reader.Read(&sample, 1, error), -1);
}

TEST(AudioFile, IsToldByContentAndName) {
  struct Case {
    std::string Head;
    bool Audio;
  };
  using namespace std::string_literals;
  const Case cases[] = {{"RIFF\x24\0\0\0WAVEfmt "s, true},
                        {"RIFX\x24\0\0\0WAVE"s, true},
                        {"RF64\xff\xff\xff\xffWAVE"s, true},
                        {"RIFF\x24\0\0\0AVI "s, false},
                        {"fLaC\0\0\0\x22"s, true},
                        {"OggS\0\x02"s, true},
                        {"OggS", true},
                        {"RIFF", false},
                        {"\x45\x45\x45\x45", false},
                        {"", false}};
  for (const auto& c : cases) {
    const auto* head = reinterpret_cast<const std::uint8_t*>(c.Head.data());
    EXPECT_EQ(LooksLikeAudio(head, c.Head.size()), c.Audio) << c.Head;
  }
  EXPECT_TRUE(HasAudioExtension("a/b.WAV"));
  EXPECT_TRUE(HasAudioExtension("x.flac"));
  EXPECT_TRUE(HasAudioExtension("x.ogg"));
  EXPECT_TRUE(HasAudioExtension("x.oga"));
  EXPECT_FALSE(HasAudioExtension("x.raw"));
  EXPECT_FALSE(HasAudioExtension("x.wav/raw"));
  EXPECT_FALSE(HasAudioExtension("wav"));
}

TEST(AudioFileWriter, RefusesAnUnknownExtensionAndClipsBeyondFullScale) {
  test::TempDir dir;
  AudioFileWriter writer;
  std::string error;
  EXPECT_FALSE(writer.Create(dir.File("sound.mp3"), 8000, error));
  EXPECT_NE(error.find(".wav, .flac or .ogg"), std::string::npos) << error;

  ASSERT_TRUE(writer.Create(dir.File("loud.wav"), 8000, error)) << error;
  const float loud[] = {2.0f, -3.0f, 0.25f, NAN};
  ASSERT_TRUE(writer.Write(loud, 4, error));
  ASSERT_TRUE(writer.Close(error));
  AudioFileReader reader;
  ASSERT_TRUE(reader.Open(dir.File("loud.wav"), error)) << error;
  const auto back = ReadAll(reader, error);
  ASSERT_EQ(back.size(), 4u);
  EXPECT_NEAR(back[0], 1.0f, 1e-4);
  EXPECT_NEAR(back[1], -1.0f, 1e-4);
  EXPECT_NEAR(back[2], 0.25f, 1e-4);
  EXPECT_EQ(back[3], 0.0f);
}

}  // namespace
}  // namespace zarvo
