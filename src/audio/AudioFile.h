#pragma once
// Sound recordings through libsndfile: WAV, FLAC and Ogg Vorbis. The reader gives the left
// channel as floats at full scale +-1 and refuses what the demodulator cannot take; the writer
// makes 16-bit WAV or FLAC, or Ogg Vorbis, by the file name's extension.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace zarvo {

// True when `head` (the first bytes of a file) starts like a WAV, FLAC or Ogg file.
bool LooksLikeAudio(const std::uint8_t* head, std::size_t size);
// True for the extensions .wav, .flac, .ogg and .oga, in any case.
bool HasAudioExtension(const std::string& path);

class AudioFileReader {
 public:
  AudioFileReader();
  ~AudioFileReader();
  AudioFileReader(const AudioFileReader&) = delete;
  AudioFileReader& operator=(const AudioFileReader&) = delete;

  // False, with the reason in `error`, for a file that cannot be read, is no sound libsndfile
  // knows, has no channel or a sample rate outside 8000..96000 Hz.
  bool Open(const std::string& path, std::string& error);
  // The same for a recording held in memory (a copy is kept).
  bool OpenMemory(const std::uint8_t* data, std::size_t size, std::string& error);
  void Close();

  int Rate() const { return rate_; }
  int Channels() const { return channels_; }
  // As the file's header tells; Read finds out whether they are all there.
  std::int64_t Frames() const { return frames_; }
  // "WAV", "FLAC", "Ogg" or libsndfile's name of the container.
  const std::string& Format() const { return format_; }

  // Reads up to `count` frames and writes their left channel to `out`. Returns the frames read,
  // 0 at the end, or -1 with the reason in `error` when the file is damaged or ends before the
  // frames its header announces.
  long Read(float* out, std::size_t count, std::string& error);

 private:
  bool Opened(std::string& error);
  struct Impl;
  std::unique_ptr<Impl> impl_;
  int rate_ = 0;
  int channels_ = 0;
  std::int64_t frames_ = 0;
  std::int64_t read_ = 0;
  std::string format_;
  std::vector<float> frame_;
};

class AudioFileWriter {
 public:
  AudioFileWriter();
  ~AudioFileWriter();
  AudioFileWriter(const AudioFileWriter&) = delete;
  AudioFileWriter& operator=(const AudioFileWriter&) = delete;

  // Mono at `rate`; the format from the extension (.wav, .flac, .ogg or .oga) of `path`, or of
  // `formatName` when given (a temporary name that becomes `formatName` later).
  bool Create(const std::string& path, int rate, std::string& error,
              const std::string& formatName = {});
  // Samples beyond +-1 are clipped.
  bool Write(const float* samples, std::size_t count, std::string& error);
  bool Close(std::string& error);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace zarvo
