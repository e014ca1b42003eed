// Random bytes as a sound recording: the reader must refuse them or read them, and what it reads
// goes through the demodulator; neither may crash, hang or read beyond the bytes given.
#include <cstdint>
#include <string>
#include <vector>

#include "audio/AudioDemodulator.h"
#include "audio/AudioFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  zarvo::AudioFileReader reader;
  std::string error;
  if (!reader.OpenMemory(data, size, error)) return 0;
  zarvo::AudioDemodulator demodulator(reader.Rate());
  std::vector<float> samples(4096);
  std::vector<std::uint8_t> bytes;
  // A header may announce far more than a few kilobytes hold; what is read is bounded anyway.
  long total = 0;
  for (long n; total < (1L << 21) && (n = reader.Read(samples.data(), samples.size(), error)) > 0;
       total += n) {
    bytes.clear();
    demodulator.Push(samples.data(), static_cast<std::size_t>(n), bytes);
  }
  demodulator.Flush(bytes);
  return 0;
}
