// Random streams with random calibrations, sample periods, IOC and drum speeds through the
// decoder: it must neither crash nor hang nor stray outside its picture.
#include <cstdint>
#include <cstring>

#include "decoder/Decoder.h"

namespace {}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 16) return 0;
  zarvo::TSettings settings{};
  std::memcpy(&settings.CalLow, data, 4);
  std::memcpy(&settings.CalHigh, data + 4, 4);
  std::memcpy(&settings.SamplePeriod, data + 8, 4);
  settings.IOC = data[12] % 3;
  const int speed = static_cast<int>(data[13] % 7) - 1;  // -1..5: out-of-range values too
  const std::size_t tick = 1 + data[14] % 64;
  static zarvo::TDecoder* decoder = nullptr;  // one picture for all runs: it is large
  static zarvo::NullDecoderHost* staticHost = nullptr;
  static zarvo::TSettings staticSettings{};
  if (!decoder) {
    staticHost = new zarvo::NullDecoderHost;
    decoder = new zarvo::TDecoder(staticSettings, *staticHost);
  }
  staticSettings = settings;
  decoder->SetMode(speed);
  // Either detector, switched between runs in whatever state the last one left.
  decoder->Detector = data[15] & 4 ? zarvo::DetectorKind::Described : zarvo::DetectorKind::Robust;
  if (data[15] & 1) decoder->ManualStart();
  if (data[15] & 2) decoder->CurrentColumn = -static_cast<int>(data[15]);
  for (std::size_t i = 16; i < size; i += tick) {
    decoder->Process(data + i, std::min(tick, size - i));
    decoder->EndOfTick();
  }
  return 0;
}
