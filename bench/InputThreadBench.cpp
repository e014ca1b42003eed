// Streams 7200 bytes per second into the input thread through a pseudo-terminal and prints the
// thread's CPU share and the time from a byte's write on the line to its arrival in the buffer.
#include <fcntl.h>
#include <pthread.h>
#include <stdlib.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "interface/InThread.h"
#include "interface/PosixSerial.h"

using namespace std::chrono;
using namespace zarvo;

namespace {

double ThreadCpuSeconds(pthread_t thread) {
  clockid_t clock;
  timespec t{};
  pthread_getcpuclockid(thread, &clock);
  clock_gettime(clock, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

}  // namespace

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::max(1, atoi(argv[1])) : 10;
  const int rate = 7200;
  std::string slave;
  const int master = OpenRawPseudoTerminal(slave);
  if (master < 0) return 1;
  std::shared_ptr<SerialPort> port = OpenSerialDevice(slave, {115200, 3, 2});
  if (!port) return 1;

  std::vector<std::uint8_t> buffer(RxBufferSize);
  InThread thread(buffer.data());
  const int total = rate * seconds;
  std::vector<steady_clock::time_point> written(static_cast<std::size_t>(total));
  // Each advance of WritePos: the stream index of its oldest byte, its size, and when it was seen.
  struct Advance {
    int First, Count;
    steady_clock::time_point At;
  };
  std::vector<Advance> advances;
  std::atomic<bool> done{false};

  // Watches WritePos: an advance brings the bytes of one read into the buffer.
  std::thread watcher([&] {
    int last = 0;
    int taken = 0;
    while (!done) {
      const int pos = thread.WritePos.load();
      if (pos != last) {
        const int count = (pos - last + RxBufferSize) % RxBufferSize;
        advances.push_back({taken, count, steady_clock::now()});
        taken += count;
        last = pos;
      }
      std::this_thread::sleep_for(microseconds(200));
    }
  });

  thread.Resume(port);
  const double cpuStart = ThreadCpuSeconds(thread.NativeHandle());
  const auto start = steady_clock::now();
  auto next = start;
  // 8 bytes every 1.11 ms: as even as a real line, without a write per byte.
  const int chunk = 8;
  const auto period = duration_cast<nanoseconds>(duration<double>(double(chunk) / rate));
  for (int sent = 0; sent < total; sent += chunk) {
    std::uint8_t bytes[chunk];
    for (int i = 0; i < chunk; ++i) bytes[i] = static_cast<std::uint8_t>(sent + i);
    const auto now = steady_clock::now();
    for (int i = 0; i < chunk; ++i) written[static_cast<std::size_t>(sent + i)] = now;
    if (write(master, bytes, static_cast<std::size_t>(chunk)) != chunk) return 1;
    next += period;
    std::this_thread::sleep_until(next);
  }
  const double elapsed = duration<double>(steady_clock::now() - start).count();
  const double cpu = ThreadCpuSeconds(thread.NativeHandle()) - cpuStart;
  std::this_thread::sleep_for(milliseconds(200));
  done = true;
  watcher.join();
  thread.Suspend();

  // Latency of an advance: from the write of its first (oldest) byte to the advance that made it
  // available.
  std::vector<double> latencies;
  long bytes = 0;
  for (const Advance& a : advances) {
    if (a.First >= total) continue;
    bytes += a.Count;
    latencies.push_back(
        duration<double, std::milli>(a.At - written[static_cast<std::size_t>(a.First)]).count());
  }
  std::sort(latencies.begin(), latencies.end());
  const auto pct = [&](double p) {
    return latencies.empty()
               ? 0.0
               : latencies[static_cast<std::size_t>(p * static_cast<double>(latencies.size() - 1))];
  };
  std::printf("streamed %d bytes at %d/s for %.2f s\n", total, rate, elapsed);
  std::printf("input thread CPU: %.3f s = %.2f %% of a core\n", cpu, 100.0 * cpu / elapsed);
  std::printf(
      "reads: %zu of %.1f bytes on average, line-to-buffer latency of a read's oldest byte: "
      "median %.1f ms, p99 %.1f ms, max %.1f ms (a full read at %d/s = %.1f ms)\n",
      latencies.size(),
      latencies.empty() ? 0.0 : static_cast<double>(bytes) / static_cast<double>(latencies.size()),
      pct(0.5), pct(0.99), latencies.empty() ? 0.0 : latencies.back(), rate,
      1000.0 * RxBlockSize / rate);
  close(master);
  return 0;
}
