#include "audio/AudioFile.h"

#include <sndfile.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>

#include "audio/AudioDemodulator.h"

namespace zarvo {
namespace {

std::string Lower(std::string text) {
  for (auto& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string Extension(const std::string& path) {
  const auto slash = path.find_last_of('/');
  const auto dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  return Lower(path.substr(dot + 1));
}

// libsndfile's virtual I/O over bytes in memory.
struct Memory {
  std::vector<std::uint8_t> Bytes;
  sf_count_t Position = 0;
};

sf_count_t MemoryLength(void* user) {
  return static_cast<sf_count_t>(static_cast<Memory*>(user)->Bytes.size());
}

sf_count_t MemorySeek(sf_count_t offset, int whence, void* user) {
  auto* m = static_cast<Memory*>(user);
  const auto size = static_cast<sf_count_t>(m->Bytes.size());
  sf_count_t position = whence == SEEK_SET   ? offset
                        : whence == SEEK_CUR ? m->Position + offset
                                             : size + offset;
  if (position < 0 || position > size) return -1;
  m->Position = position;
  return position;
}

sf_count_t MemoryRead(void* out, sf_count_t count, void* user) {
  auto* m = static_cast<Memory*>(user);
  const auto size = static_cast<sf_count_t>(m->Bytes.size());
  const sf_count_t n =
      std::clamp<sf_count_t>(size - m->Position, 0, std::max<sf_count_t>(count, 0));
  if (n > 0) std::memcpy(out, m->Bytes.data() + m->Position, static_cast<std::size_t>(n));
  m->Position += n;
  return n;
}

sf_count_t MemoryWrite(const void*, sf_count_t, void*) {
  return 0;
}

sf_count_t MemoryTell(void* user) {
  return static_cast<Memory*>(user)->Position;
}

}  // namespace

bool LooksLikeAudio(const std::uint8_t* head, std::size_t size) {
  const auto starts = [&](std::size_t at, const char* text) {
    const std::size_t n = std::strlen(text);
    return size >= at + n && std::memcmp(head + at, text, n) == 0;
  };
  const bool riff = starts(0, "RIFF") || starts(0, "RIFX") || starts(0, "RF64");
  return (riff && starts(8, "WAVE")) || starts(0, "fLaC") || starts(0, "OggS");
}

bool HasAudioExtension(const std::string& path) {
  const std::string e = Extension(path);
  return e == "wav" || e == "flac" || e == "ogg" || e == "oga";
}

struct AudioFileReader::Impl {
  SNDFILE* File = nullptr;
  Memory Source;
  SF_VIRTUAL_IO Io{MemoryLength, MemorySeek, MemoryRead, MemoryWrite, MemoryTell};
  ~Impl() {
    if (File) sf_close(File);
  }
};

AudioFileReader::AudioFileReader() = default;
AudioFileReader::~AudioFileReader() = default;

void AudioFileReader::Close() {
  impl_.reset();
  rate_ = channels_ = 0;
  frames_ = read_ = 0;
  format_.clear();
}

bool AudioFileReader::Open(const std::string& path, std::string& error) {
  Close();
  impl_ = std::make_unique<Impl>();
  SF_INFO info{};
  impl_->File = sf_open(path.c_str(), SFM_READ, &info);
  if (!impl_->File) {
    error = path + ": not a sound file that can be read (" + sf_strerror(nullptr) + ")";
    Close();
    return false;
  }
  if (!Opened(error)) {
    error = path + ": " + error;
    return false;
  }
  return true;
}

bool AudioFileReader::OpenMemory(const std::uint8_t* data, std::size_t size, std::string& error) {
  Close();
  impl_ = std::make_unique<Impl>();
  impl_->Source.Bytes.assign(data, data + size);
  SF_INFO info{};
  impl_->File = sf_open_virtual(&impl_->Io, SFM_READ, &info, &impl_->Source);
  if (!impl_->File) {
    error = std::string("not a sound file that can be read (") + sf_strerror(nullptr) + ")";
    Close();
    return false;
  }
  return Opened(error);
}

bool AudioFileReader::Opened(std::string& error) {
  SF_INFO info{};
  sf_command(impl_->File, SFC_GET_CURRENT_SF_INFO, &info, sizeof info);
  if (info.channels < 1 || info.channels > 1024) {
    error = "it has " + std::to_string(info.channels) + " channels";
    Close();
    return false;
  }
  if (info.samplerate < kLowestAudioRate || info.samplerate > kHighestAudioRate) {
    error =
        "its sample rate of " + std::to_string(info.samplerate) + " Hz is outside 8000..96000 Hz";
    Close();
    return false;
  }
  // libsndfile reads a WAV whose data ends early as far as it goes and notes it in its log, and
  // cannot tell the length of an Ogg stream whose last page is missing.
  std::string log(8192, '\0');
  sf_command(impl_->File, SFC_GET_LOG_INFO, log.data(), static_cast<int>(log.size()));
  const auto data = log.find("\ndata");
  if ((data != std::string::npos && log.find("should be", data) < log.find('\n', data + 1)) ||
      info.frames == SF_COUNT_MAX) {
    error = "the file is truncated: the sound its header announces is not all there";
    Close();
    return false;
  }
  rate_ = info.samplerate;
  channels_ = info.channels;
  frames_ = std::max<sf_count_t>(0, info.frames);
  switch (info.format & SF_FORMAT_TYPEMASK) {
    case SF_FORMAT_WAV:
    case SF_FORMAT_WAVEX:
    case SF_FORMAT_RF64:
      format_ = "WAV";
      break;
    case SF_FORMAT_FLAC:
      format_ = "FLAC";
      break;
    case SF_FORMAT_OGG:
      format_ = "Ogg";
      break;
    default: {
      SF_FORMAT_INFO name{};
      name.format = info.format & SF_FORMAT_TYPEMASK;
      sf_command(nullptr, SFC_GET_FORMAT_INFO, &name, sizeof name);
      format_ = name.name ? name.name : "sound";
    }
  }
  // Integer samples as +-1 full scale; float files as they are.
  sf_command(impl_->File, SFC_SET_NORM_FLOAT, nullptr, SF_TRUE);
  frame_.resize(static_cast<std::size_t>(channels_));
  return true;
}

long AudioFileReader::Read(float* out, std::size_t count, std::string& error) {
  if (!impl_ || !impl_->File) {
    error = "no sound file is open";
    return -1;
  }
  constexpr std::size_t Chunk = 4096;
  std::vector<float> frames;
  std::size_t done = 0;
  while (done < count) {
    const std::size_t want = std::min(Chunk, count - done);
    frames.resize(want * static_cast<std::size_t>(channels_));
    const sf_count_t got =
        sf_readf_float(impl_->File, frames.data(), static_cast<sf_count_t>(want));
    if (got < 0 || sf_error(impl_->File) != SF_ERR_NO_ERROR) {
      error = "the file is truncated or damaged after " + std::to_string(read_) + " of " +
              std::to_string(frames_) + " frames (" + sf_strerror(impl_->File) + ")";
      return -1;
    }
    for (sf_count_t i = 0; i < got; ++i)
      out[done + static_cast<std::size_t>(i)] = frames[static_cast<std::size_t>(i) * channels_];
    done += static_cast<std::size_t>(got);
    read_ += got;
    if (static_cast<std::size_t>(got) < want) break;
  }
  if (done == 0 && read_ < frames_) {
    error = "the file is truncated: " + std::to_string(read_) + " of " + std::to_string(frames_) +
            " frames";
    return -1;
  }
  return static_cast<long>(done);
}

struct AudioFileWriter::Impl {
  SNDFILE* File = nullptr;
  std::vector<float> Buffer;
  ~Impl() {
    if (File) sf_close(File);
  }
};

AudioFileWriter::AudioFileWriter() = default;
AudioFileWriter::~AudioFileWriter() = default;

bool AudioFileWriter::Create(const std::string& path, int rate, std::string& error,
                             const std::string& formatName) {
  impl_ = std::make_unique<Impl>();
  const std::string e = Extension(formatName.empty() ? path : formatName);
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = 1;
  if (e == "wav") {
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  } else if (e == "flac") {
    info.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
  } else if (e == "ogg" || e == "oga") {
    info.format = SF_FORMAT_OGG | SF_FORMAT_VORBIS;
  } else {
    error = (formatName.empty() ? path : formatName) + ": the name must end in .wav, .flac or .ogg";
    impl_.reset();
    return false;
  }
  impl_->File = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!impl_->File) {
    error = path + ": " + sf_strerror(nullptr);
    impl_.reset();
    return false;
  }
  // Full scale is +-1; what goes beyond is clipped rather than wrapped.
  sf_command(impl_->File, SFC_SET_CLIPPING, nullptr, SF_TRUE);
  return true;
}

bool AudioFileWriter::Write(const float* samples, std::size_t count, std::string& error) {
  if (!impl_ || !impl_->File) {
    error = "no sound file is open";
    return false;
  }
  impl_->Buffer.assign(samples, samples + count);
  for (auto& x : impl_->Buffer) x = std::isfinite(x) ? std::clamp(x, -1.0f, 1.0f) : 0.0f;
  const sf_count_t n =
      sf_write_float(impl_->File, impl_->Buffer.data(), static_cast<sf_count_t>(count));
  if (n != static_cast<sf_count_t>(count)) {
    error = sf_strerror(impl_->File);
    return false;
  }
  return true;
}

bool AudioFileWriter::Close(std::string& error) {
  if (!impl_ || !impl_->File) return true;
  const int result = sf_close(impl_->File);
  impl_->File = nullptr;
  impl_.reset();
  if (result != 0) {
    error = sf_error_number(result);
    return false;
  }
  return true;
}

}  // namespace zarvo
