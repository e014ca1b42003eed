// The reception window receiving a broadcast from a pseudo-terminal at 7200 samples/s: how long
// after its last sample reached the receive buffer a finished picture line is on screen (the line
// to buffer part is zarvo-bench-input's). For every repaint that shows a new line, the bound is
// the arrival of the first sample not yet decoded at the look before.
#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

#include "interface/PosixSerial.h"
#include "interface/Receiver.h"
#include "platform/Messages.h"
#include "reception/InVideo.h"
#include "settings/Settings.h"
#include "sim/Broadcast.h"

using Clock = std::chrono::steady_clock;
using namespace zarvo;

namespace {

// When each byte of the receive buffer arrived, watched from a thread of our own.
std::mutex timesLock;
std::vector<Clock::time_point> arrivedAt(RxBufferSize);

// Looks at the decoder between all other events: when a new line has been reached, its last
// sample lies after the first one not yet decoded at the look before; the next repaint shows it.
class PaintWatch final : public QObject {
 public:
  explicit PaintWatch(TInVid& window) : window_(window) {
    connect(&look_, &QTimer::timeout, this, &PaintWatch::Look);
    look_.setTimerType(Qt::PreciseTimer);
    look_.start(1);
  }
  std::vector<double> LatenciesMs;
  bool eventFilter(QObject*, QEvent* event) override {
    // The drain that reached a new line may be followed by its repaint before the next look.
    if (event->type() == QEvent::Paint) Look();
    if (event->type() == QEvent::Paint && pending_) {
      LatenciesMs.push_back(
          std::chrono::duration<double, std::milli>(Clock::now() - pendingSince_).count());
      pending_ = false;
    }
    return false;
  }

 private:
  void Look() {
    const int line = window_.Decoder.CurrentLine;
    const std::int32_t consumed = window_.Receive.ReadPos;
    if (line != lastLine_ && line < TDecoder::H && lastLine_ >= 0 && !pending_) {
      std::lock_guard lock(timesLock);
      pendingSince_ = arrivedAt[static_cast<std::size_t>(previousConsumed_)];
      pending_ = pendingSince_.time_since_epoch().count() != 0;  // seen arriving
    }
    lastLine_ = line;
    previousConsumed_ = consumed;
  }
  TInVid& window_;
  QTimer look_;
  int lastLine_ = -1;
  std::int32_t previousConsumed_ = 0;
  bool pending_ = false;
  Clock::time_point pendingSince_;
};

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  std::string slave;
  const int master = OpenRawPseudoTerminal(slave);
  if (master < 0) return 1;
  setenv("ZARVO_COM1", slave.c_str(), 1);

  ClearSettings(Settings);
  SetInterfaceTypeFields(1);
  SetComPortFields(1);
  Settings.CalHigh = 255;
  Settings.IOC = 1;
  Settings.DrumSpeed = 2;
  Settings.InVidWindow = {0, 0, 480, 600};
  TInVid window;
  PaintWatch watch(window);
  window.installEventFilter(&watch);

  sim::BroadcastOptions options;
  options.PhasingSeconds = 5;
  options.StopSeconds = 1;
  options.TrailerSeconds = 0;
  options.Lpm = 240;
  const auto stream = sim::MakeBroadcast(sim::TestChart(160), options);  // about 51 s
  std::atomic<bool> done{false};
  std::thread box([&] {
    auto next = Clock::now();
    for (std::size_t sent = 0; sent < stream.size(); sent += 8) {
      const std::size_t n = std::min<std::size_t>(8, stream.size() - sent);
      if (write(master, stream.data() + sent, n) < 0) break;
      next += std::chrono::microseconds(1111);
      std::this_thread::sleep_until(next);
    }
    done = true;
  });
  std::thread watcher([&] {
    int last = window.Receive.InputThread->WritePos.load();
    while (!done) {
      const int pos = window.Receive.InputThread->WritePos.load();
      if (pos != last) {
        std::lock_guard lock(timesLock);
        const auto now = Clock::now();
        for (int b = last; b != pos; b = (b + 1) % RxBufferSize)
          arrivedAt[static_cast<std::size_t>(b)] = now;
        last = pos;
      }
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  });
  QTimer stop;
  QObject::connect(&stop, &QTimer::timeout, [&] {
    if (done) app.quit();
  });
  stop.start(200);
  app.exec();
  box.join();
  watcher.join();

  auto& l = watch.LatenciesMs;
  std::sort(l.begin(), l.end());
  if (l.empty()) {
    std::printf("no lines were drawn\n");
    return 1;
  }
  std::printf(
      "finished line on screen after its last sample reached the receive buffer: %zu lines,"
      " median %.1f ms, p99 %.1f ms, max %.1f ms\n",
      l.size(), l[l.size() / 2],
      l[static_cast<std::size_t>(0.99 * static_cast<double>(l.size() - 1))], l.back());
  close(master);
  return 0;
}
