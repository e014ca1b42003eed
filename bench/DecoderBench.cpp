// The decoder's per-sample step on a typical broadcast, and an automatic save of a full picture.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <new>

#include "decoder/AutoSave.h"
#include "decoder/Decoder.h"
#include "sim/Broadcast.h"

// Counts allocations, to show that the per-sample step makes none.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
static std::size_t allocations = 0;
void* operator new(std::size_t size) {
  ++allocations;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}

namespace {

using namespace zarvo;

const std::vector<std::uint8_t>& Broadcast() {
  static const std::vector<std::uint8_t> stream = [] {
    sim::BroadcastOptions options;
    options.NoiseHz = 30;
    return sim::MakeBroadcast(sim::TestChart(), options);
  }();
  return stream;
}

// Samples are fed a millisecond at a time with the end of each tick, as the live timer does.
void PerSampleStep(benchmark::State& state) {
  const auto& stream = Broadcast();
  TSettings settings{};
  ApplyInterfaceTypeFields(settings, 1);
  settings.CalLow = 0;
  settings.CalHigh = 255;
  settings.IOC = 1;
  NullDecoderHost host;
  TDecoder decoder(settings, host);
  decoder.SetMode(2);
  const std::size_t tick = 8;  // 7.2 samples per millisecond at 7200/s
  const std::size_t allocationsBefore = allocations;
  for (auto _ : state) {
    for (std::size_t i = 0; i < stream.size(); i += tick) {
      decoder.Process(stream.data() + i, std::min(tick, stream.size() - i));
      decoder.EndOfTick();
    }
    benchmark::DoNotOptimize(decoder.CurrentLine);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * stream.size()));
  // Only the mode texts of a start tone and the measurement of the phasing lines allocate: a
  // handful per broadcast, none per sample.
  state.counters["allocs_per_broadcast"] = static_cast<double>(allocations - allocationsBefore) /
                                           static_cast<double>(state.iterations());
}
BENCHMARK(PerSampleStep)->Unit(benchmark::kMillisecond);

void AutoSaveFullPicture(benchmark::State& state) {
  Bitmap picture(TDecoder::W, TDecoder::H, TDecoder::kBlankColour);
  for (int y = 0; y < picture.Height(); ++y)
    for (int x = 0; x < picture.Width(); ++x) picture.SetPixel(x, y, GreyColour((x ^ y) & 255));
  const std::string folder =
      (std::filesystem::temp_directory_path() / ("zarvo-bench-" + std::to_string(getpid())))
          .string() +
      "/";
  std::filesystem::create_directories(folder);
  int minute = 0;
  for (auto _ : state) {
    const LocalDateTime moment{2026, 12, 7, (minute / 60) % 24, minute % 60, 0};
    ++minute;
    benchmark::DoNotOptimize(AutoSaveFax(picture, TDecoder::H, 7, folder, moment));
  }
  std::filesystem::remove_all(folder);
}
BENCHMARK(AutoSaveFullPicture)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
