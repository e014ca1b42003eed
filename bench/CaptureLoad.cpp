// Captures a source of the audio server into the input thread, as the program does, and prints
// what that costs the process (every thread: the client's main loop, the demodulator, the input
// thread) as a share of one core. bench/capture-load.sh runs it on a private server.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "audio/AudioDemodulator.h"
#include "capture/PulseSound.h"
#include "interface/InThread.h"

using namespace std::chrono;
using namespace zarvo;

namespace {

double ProcessCpuSeconds() {
  rusage use{};
  getrusage(RUSAGE_SELF, &use);
  const auto seconds = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
  };
  return seconds(use.ru_utime) + seconds(use.ru_stime);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: zarvo-bench-capture SOURCE [SECONDS]\n");
    return 2;
  }
  const int measureSeconds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 30;
  std::string error;
  std::shared_ptr<SerialPort> port = OpenPulseSound(argv[1], 1900, error);
  if (!port) {
    std::fprintf(stderr, "zarvo-bench-capture: %s\n", error.c_str());
    return 1;
  }
  std::vector<std::uint8_t> buffer(RxBufferSize);
  InThread input(buffer.data());
  input.Resume(port);
  // The demodulator's second, and the server settling on the fragment size, before measuring.
  if (!input.WaitForWritePos(kAudioByteRate, seconds(10))) {
    std::fprintf(stderr, "zarvo-bench-capture: no bytes came\n");
    return 1;
  }
  // Nothing drains the buffer here, so the wrap count holds every pass.
  const auto written = [&] {
    return static_cast<double>(input.WrapCount) * RxBufferSize + input.WritePos;
  };
  const double from = written();
  const double cpuFrom = ProcessCpuSeconds();
  const auto wallFrom = steady_clock::now();
  std::this_thread::sleep_for(seconds(measureSeconds));
  const double cpu = ProcessCpuSeconds() - cpuFrom;
  const double wall = duration<double>(steady_clock::now() - wallFrom).count();
  const double to = written();
  auto* pulse = static_cast<PulseSoundPort*>(port.get());
  std::printf(
      "capture at %d Hz into the input thread: CPU %.2f %% of a core over %.0f s, "
      "%.0f bytes/s, %llu dropped%s%s\n",
      PulseSoundPort::kSampleRate, 100.0 * cpu / wall, wall, (to - from) / wall,
      static_cast<unsigned long long>(pulse->DroppedBytes()), input.PortFailed ? ", failed: " : "",
      input.PortFailed ? pulse->FailureReason().c_str() : "");
  input.Terminate();
  return input.PortFailed ? 1 : 0;
}
