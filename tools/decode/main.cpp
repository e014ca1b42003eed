// zarvo-decode: decodes a recording of interface bytes, or a sound recording turned into them,
// with the receiver's own decoder.

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>
#include <vector>

#include "audio/AudioDemodulator.h"
#include "audio/AudioFile.h"
#include "decode/DecodeRun.h"

namespace {

using namespace zarvo;
using namespace zarvo::decode;

// Appends what is left of `in` to `bytes`; false on a read error.
bool ReadAll(std::FILE* in, std::vector<std::uint8_t>& bytes) {
  std::vector<std::uint8_t> buffer(1 << 16);
  std::size_t n;
  while ((n = std::fread(buffer.data(), 1, buffer.size(), in)) > 0)
    bytes.insert(bytes.end(), buffer.begin(), buffer.begin() + static_cast<long>(n));
  return std::ferror(in) == 0;
}

// Opens the sound recording: the file itself, or standard input's bytes held in memory.
bool OpenSound(AudioFileReader& reader, const std::string& input, std::FILE* in,
               std::vector<std::uint8_t>& head, std::string& error) {
  if (in != stdin) return reader.Open(input, error);
  if (!ReadAll(in, head)) return error = "error reading standard input", false;
  return reader.OpenMemory(head.data(), head.size(), error);
}

// Every frame the header announces is there and readable: a damaged or truncated recording is
// refused before any fax is saved from it.
bool CheckSound(AudioFileReader& reader, std::string& error) {
  std::vector<float> samples(1 << 14);
  long n;
  while ((n = reader.Read(samples.data(), samples.size(), error)) > 0) {
  }
  return n == 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  for (const auto& a : args)
    if (a == "--help" || a == "-h") {
      std::fputs(DecodeUsage().c_str(), stdout);
      return 0;
    }
  DecodeOptions options;
  std::string input, error;
  if (!ParseDecodeOptions(args, options, input, error)) {
    std::fprintf(stderr, "zarvo-decode: %s\n\n%s", error.c_str(), DecodeUsage().c_str());
    return 2;
  }
  std::FILE* in = input == "-" ? stdin : std::fopen(input.c_str(), "rb");
  if (!in) {
    std::fprintf(stderr, "zarvo-decode: cannot read %s\n", input.c_str());
    return 2;
  }
  const auto fail = [&](const std::string& text) {
    std::fprintf(stderr, "zarvo-decode: %s\n", text.c_str());
    if (in != stdin) std::fclose(in);
    return 2;
  };
  std::error_code folderError;
  std::filesystem::create_directories(options.OutDir, folderError);
  if (!std::filesystem::is_directory(options.OutDir))
    return fail("cannot make the folder " + options.OutDir +
                (folderError ? ": " + folderError.message() : std::string()));

  // A sound recording is told by its first bytes; a name that claims one must hold one.
  std::vector<std::uint8_t> head(12);
  head.resize(std::fread(head.data(), 1, head.size(), in));
  const bool sound =
      LooksLikeAudio(head.data(), head.size()) || (in != stdin && HasAudioExtension(input));
  AudioFileReader reader;
  std::unique_ptr<AudioDemodulator> demodulator;
  if (sound) {
    if (!UseAudioStream(options, error)) return fail(error);
    if (!OpenSound(reader, input, in, head, error) || !CheckSound(reader, error))
      return fail(error);
    // Read again from the start for decoding.
    if (in != stdin ? !reader.Open(input, error)
                    : !reader.OpenMemory(head.data(), head.size(), error))
      return fail(error);
    demodulator = std::make_unique<AudioDemodulator>(reader.Rate(), options.CentreHz);
    std::printf("%s, %d Hz, %d channel%s%s, %.1f s of sound\n", reader.Format().c_str(),
                reader.Rate(), reader.Channels(), reader.Channels() == 1 ? "" : "s",
                reader.Channels() == 1 ? "" : " (the left taken)",
                static_cast<double>(reader.Frames()) / reader.Rate());
  } else if (options.CentreGiven) {
    return fail("--centre is for sound recordings; " + input + " is a byte stream");
  }

  const auto started = std::chrono::steady_clock::now();
  DecodeRun run(options, [](const std::string& line) { std::printf("%s\n", line.c_str()); });
  bool readFailed = false;
  if (sound) {
    std::vector<float> samples(1 << 14);
    std::vector<std::uint8_t> bytes;
    long n;
    while ((n = reader.Read(samples.data(), samples.size(), error)) > 0) {
      bytes.clear();
      demodulator->Push(samples.data(), static_cast<std::size_t>(n), bytes);
      run.Feed(bytes.data(), bytes.size());
    }
    readFailed = n < 0;
    bytes.clear();
    demodulator->Flush(bytes);
    run.Feed(bytes.data(), bytes.size());
  } else {
    run.Feed(head.data(), head.size());
    std::vector<std::uint8_t> buffer(1 << 16);
    std::size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), in)) > 0) run.Feed(buffer.data(), n);
    readFailed = std::ferror(in) != 0;
    error = "error reading " + input;
  }
  if (in != stdin) std::fclose(in);
  run.Finish();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  const double streamSeconds = run.StreamMs() / 1000.0;
  std::printf("%llu samples, %.1f s of stream, decoded in %.3f s: %zu fax(es) saved\n",
              static_cast<unsigned long long>(run.Samples()), streamSeconds, seconds,
              run.Saved().size());
  if (readFailed) {
    std::fprintf(stderr, "zarvo-decode: %s\n", error.c_str());
    return 2;
  }
  return run.Errors().empty() ? 0 : 1;
}
