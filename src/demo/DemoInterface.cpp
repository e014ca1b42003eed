#include "demo/DemoInterface.h"

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <vector>

#include "interface/PosixSerial.h"
#include "sim/Broadcast.h"

namespace zarvo::demo {
namespace {

// A weather chart of our own: a latitude/longitude grid, isobars round a low and a high, and a
// front with its triangles, black on white.
sim::GreyImage WeatherChart(int height) {
  constexpr int width = sim::LineColumns;
  sim::GreyImage chart{width, height, std::vector<std::uint8_t>(width * height, 255)};
  const auto ink = [&](int x, int y) {
    if (x >= 0 && y >= 0 && x < width && y < height)
      chart.Pixels[static_cast<std::size_t>(y) * width + x] = 0;
  };
  for (int y = 40; y < height - 20; ++y)
    for (int x = 60; x < width - 60; ++x) {
      const bool frame = y < 44 || y >= height - 24 || x < 64 || x >= width - 64;
      const bool grid = (x - 64) % 150 == 0 || (y - 44) % 120 == 0;
      if (frame || (grid && (x + y) % 6 < 3)) ink(x, y);
      // Isobars: rings round a low at (600, 45 %) and a high at (1300, 60 %).
      const double low = std::hypot((x - 600) / 1.3, y - 0.45 * height);
      const double high = std::hypot((x - 1300) / 1.1, y - 0.6 * height);
      if (std::fmod(low, 55.0) < 2.5 && low < 330) ink(x, y);
      if (std::fmod(high, 70.0) < 2.5 && high < 280) ink(x, y);
    }
  // A cold front from the low, with triangles on its warm side.
  for (int x = 600; x < 1150; ++x) {
    const int y = static_cast<int>(0.45 * height + (x - 600) * 0.55 + 30 * std::sin(x / 60.0));
    for (int t = -2; t <= 2; ++t) ink(x, y + t);
    if (x % 50 < 18)
      for (int t = 0; t < 18 - x % 50; ++t) ink(x, y - 3 - t);
  }
  return chart;
}

}  // namespace

DemoInterface::~DemoInterface() {
  Stop();
}

bool DemoInterface::Start(std::string& error) {
  master_ = OpenRawPseudoTerminal(device_);
  if (master_ < 0) {
    error = "no pseudo-terminal for the simulated interface";
    return false;
  }
  // An interface box streams whether anyone listens or not: bytes the line cannot take are lost.
  fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
  for (int n = 1; n <= 4; ++n)
    setenv(("ZARVO_COM" + std::to_string(n)).c_str(), device_.c_str(), 1);
  thread_ = std::thread([this] { Run(); });
  return true;
}

void DemoInterface::Stop() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  if (master_ >= 0) close(master_);
  master_ = -1;
}

void DemoInterface::Run() {
  using Clock = std::chrono::steady_clock;
  const sim::GreyImage pictures[2] = {sim::TestChart(600), WeatherChart(700)};
  const int speeds[2] = {240, 120};
  const int iocs[2] = {576, 288};
  std::vector<std::uint8_t> chunk;
  auto next = Clock::now();
  for (unsigned k = 0; !stop_; ++k) {
    sim::BroadcastOptions options;
    options.Lpm = speeds[k % 2];
    options.Ioc = iocs[k % 2];
    options.PhasingSeconds = 10;
    options.LeadSeconds = k == 0 ? 2 : 0;  // a steady carrier before the very first
    options.NoiseHz = 25;
    options.Seed = k + 1;
    sim::BroadcastStream stream(pictures[k % 2], options);
    const std::size_t perTick = static_cast<std::size_t>(options.DataRate / 100);
    chunk.resize(perTick);
    for (;;) {
      if (stop_) return;
      std::size_t count = perTick;
      if (!stream.Next(chunk.data(), count)) break;
      [[maybe_unused]] const ssize_t n = write(master_, chunk.data(), count);
      next += std::chrono::milliseconds(10);
      // After a pause (a suspended machine) go on from now rather than racing to catch up.
      if (Clock::now() - next > std::chrono::milliseconds(100)) next = Clock::now();
      std::this_thread::sleep_until(next);
    }
  }
}

}  // namespace zarvo::demo
