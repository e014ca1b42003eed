// Recordings through libsndfile: what the writer makes the reader gives back, the left of two
// channels, and clear refusals of what is no usable recording.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <numbers>
#include <tuple>

#include "audio/AudioFile.h"
#include "support/TempDir.h"

namespace zarvo {
namespace {

using Bytes = std::vector<unsigned char>;
using namespace std::string_literals;

std::vector<float> Sine(int rate, double seconds, double hz) {
  std::vector<float> s(static_cast<std::size_t>(seconds * rate));
  for (std::size_t i = 0; i < s.size(); ++i)
    s[i] = 0.5f * static_cast<float>(std::sin(2 * std::numbers::pi * hz * double(i) / rate));
  return s;
}

// Empty after a read error.
std::vector<float> ReadAll(AudioFileReader& reader, std::string& error) {
  std::vector<float> all, chunk(1000);
  long n;
  while ((n = reader.Read(chunk.data(), chunk.size(), error)) > 0)
    all.insert(all.end(), chunk.begin(), chunk.begin() + n);
  if (n < 0) all.clear();
  return all;
}

// The writer refuses an unknown extension and clips beyond full scale.
TEST(AudioFile, WhatIsWrittenIsReadBackAndTheLeftOfTwoChannels) {
  // Each file, its format, rate, and the error allowed a sample: 16 bits, or the lossy coder's.
  const std::tuple<const char*, const char*, int, double> cases[] = {
      {"tone.wav", "WAV", 8000, 1.0 / 16384},
      {"tone.flac", "FLAC", 48000, 1.0 / 16384},
      {"tone.ogg", "Ogg", 11025, 0.05}};
  test::TempDir dir;
  for (const auto& [name, format, rate, tolerance] : cases) {
    SCOPED_TRACE(name);
    const auto sound = Sine(rate, 0.5, 1000);
    AudioFileReader reader;
    std::string error;
    ASSERT_TRUE(reader.Open(dir.WriteSound(name, sound, rate), error)) << error;
    EXPECT_EQ(std::tuple(reader.Rate(), reader.Channels(), reader.Frames(), reader.Format()),
              std::tuple(rate, 1, std::int64_t(sound.size()), std::string(format)));
    const auto back = ReadAll(reader, error);
    ASSERT_EQ(back.size(), sound.size()) << error;
    // The lossy coder's first frame is its own; the rest must follow the tone.
    for (std::size_t i = back.size() / 10; i < back.size(); ++i)
      ASSERT_NEAR(back[i], sound[i], tolerance) << i;
  }
  std::string error;
  EXPECT_FALSE(AudioFileWriter().Create(dir.File("sound.mp3"), 8000, error));
  EXPECT_NE(error.find(".wav, .flac or .ogg"), std::string::npos) << error;
  AudioFileReader reader;
  ASSERT_TRUE(reader.Open(dir.WriteSound("loud.wav", {2.0f, -3.0f, 0.25f, NAN}, 8000), error));
  const auto back = ReadAll(reader, error);
  const float clipped[] = {1, -1, 0.25f, 0};  // not wrapped; NaN as silence
  ASSERT_EQ(back.size(), 4u);
  for (std::size_t i = 0; i < 4; ++i) EXPECT_NEAR(back[i], clipped[i], 1e-4) << i;

  // The reader takes the left of two channels; the writer makes only mono. RIFF of 436 bytes;
  // PCM, 2 channels, 22050 Hz, 88200 bytes a second, 4 a frame, 16 bits; 400 bytes of data:
  // left i, right -16384.
  const std::string head =
      "RIFF\xb4\x01\0\0WAVEfmt \x10\0\0\0\x01\0\x02\0\x22\x56\0\0\x88\x58\x01\0\x04\0\x10\0data\x90\x01\0\0"s;
  Bytes wav(head.begin(), head.end());
  for (int i = 0; i < 100; ++i) wav.insert(wav.end(), {std::uint8_t(i), 0, 0, 0xc0});
  AudioFileReader stereo;
  ASSERT_TRUE(stereo.OpenMemory(wav.data(), wav.size(), error)) << error;
  EXPECT_EQ(stereo.Channels(), 2);
  const auto left = ReadAll(stereo, error);
  ASSERT_EQ(left.size(), 100u) << error;
  for (std::size_t i = 0; i < 100; ++i) EXPECT_FLOAT_EQ(left[i], float(i) / 32768);
}

TEST(AudioFile, ReaderRefusesWhatIsNoUsableRecording) {
  test::TempDir dir;
  dir.Write("text.wav", {'1', '2', '0', '0', '\n'});
  dir.Write("empty.wav", {});
  dir.WriteSound("slow.wav", Sine(4000, 1, 700), 4000);
  dir.WriteSound("fast.wav", Sine(192000, 1, 700), 192000);
  for (const char* name : {"cut.wav", "cut.flac"}) {
    const std::string path = dir.WriteSound(name, Sine(48000, 2, 700), 48000);
    std::filesystem::resize_file(path, std::filesystem::file_size(path) * 2 / 3);
  }
  // Each file and a part of its message; the cut FLAC is found only once read.
  const std::pair<const char*, const char*> cases[] = {
      {"text.wav", "not a sound file"},
      {"empty.wav", "not a sound file"},
      {"missing.wav", "not a sound file"},
      {"cut.wav", "truncated"},
      {"cut.flac", "truncated"},
      {"slow.wav", "sample rate of 4000 Hz is outside 8000..96000"},
      {"fast.wav", "sample rate of 192000 Hz is outside"}};
  for (const auto& [name, reason] : cases) {
    const Bytes bytes = dir.Read(name);
    for (const bool fromMemory : {false, true}) {
      SCOPED_TRACE(testing::Message() << name << (fromMemory ? " from memory" : ""));
      AudioFileReader reader;
      std::string error;
      const bool opened = fromMemory ? reader.OpenMemory(bytes.data(), bytes.size(), error)
                                     : reader.Open(dir.File(name), error);
      EXPECT_TRUE(!opened || ReadAll(reader, error).empty());
      EXPECT_NE(error.find(reason), std::string::npos) << error;
      // A file refused when opened is named; a refused reader reads nothing.
      EXPECT_TRUE(opened || fromMemory || error.find(dir.File(name)) == 0) << error;
      float sample;
      EXPECT_TRUE(opened || reader.Read(&sample, 1, error) == -1);
    }
  }
}

TEST(AudioFile, IsToldByContentAndName) {
  const auto looks = [](const std::string& h) {
    return LooksLikeAudio(Bytes(h.begin(), h.end()).data(), h.size());
  };
  for (const auto& head : {"RIFF\x24\0\0\0WAVEfmt "s, "RIFX\x24\0\0\0WAVE"s,
                           "RF64\xff\xff\xff\xffWAVE"s, "fLaC\0\0\0\x22"s, "OggS"s})
    EXPECT_TRUE(looks(head)) << head;
  for (const auto& head : {"RIFF\x24\0\0\0AVI "s, "RIFF"s, ""s}) EXPECT_FALSE(looks(head)) << head;
  for (const char* name : {"a/b.WAV", "x.flac", "x.ogg", "x.oga"})
    EXPECT_TRUE(HasAudioExtension(name)) << name;
  for (const char* name : {"x.raw", "x.wav/raw", "wav"})
    EXPECT_FALSE(HasAudioExtension(name)) << name;
}

}  // namespace
}  // namespace zarvo
