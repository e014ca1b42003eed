// The reception window receiving a broadcast from a pseudo-terminal at 7200 samples/s: how long
// after its last sample reached the receive buffer a finished picture line is on screen (the line
// to buffer part is zarvo-bench-input's). For every repaint that shows a new line, the latency
// runs from the arrival of the sample that finished the first line the repaint shows: a decoder
// of the bench's own, fed the same broadcast, tells which sample that was.
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
#include <utility>
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

// The line the decoder is at after each number of samples of the broadcast (which fits the
// buffer without a wrap): the same decoder with the same settings, so the same lines.
std::vector<std::int32_t> LinesAfter(const std::vector<std::uint8_t>& stream, const TDecoder& like,
                                     TSettings settings) {
  NullDecoderHost host;
  TDecoder decoder(settings, host);
  decoder.Detector = like.Detector;
  decoder.Straighten = like.Straighten;
  decoder.SetMode(settings.DrumSpeed);
  std::vector<std::int32_t> lines{decoder.CurrentLine};
  for (const std::uint8_t sample : stream) {
    decoder.Process(&sample, 1);
    lines.push_back(decoder.CurrentLine);
  }
  return lines;
}

// Looks at the decoder between all other events: when a new line has been reached, the first
// line finished since the look before ended with the sample that moved the bench's decoder past
// it; the next repaint shows it.
class PaintWatch final : public QObject {
 public:
  PaintWatch(TInVid& window, const std::vector<std::int32_t>& linesAfter)
      : window_(window), linesAfter_(linesAfter) {
    connect(&look_, &QTimer::timeout, this, &PaintWatch::Look);
    look_.setTimerType(Qt::PreciseTimer);
    look_.start(1);
  }
  // When each repaint that showed a new line came, and the buffer index of the line's last
  // sample: its arrival may be seen only after the repaint, so the latencies are worked out last.
  std::vector<std::pair<Clock::time_point, std::size_t>> Shown;
  int Unlike = 0;  // looks that found the window's decoder elsewhere than the bench's
  bool eventFilter(QObject*, QEvent* event) override {
    // The drain that reached a new line may be followed by its repaint before the next look.
    if (event->type() == QEvent::Paint) Look();
    if (event->type() == QEvent::Paint && pending_) {
      Shown.emplace_back(Clock::now(), pendingLast_);
      pending_ = false;
    }
    return false;
  }

 private:
  void Look() {
    const int line = window_.Decoder.CurrentLine;
    const std::int32_t consumed = window_.Receive.ReadPos;
    const auto at = static_cast<std::size_t>(consumed);
    if (at < linesAfter_.size() && linesAfter_[at] != line) ++Unlike;
    if (line != lastLine_ && line < TDecoder::H && lastLine_ >= 0 && !pending_) {
      auto last = static_cast<std::size_t>(previousConsumed_);
      while (last + 1 < linesAfter_.size() && linesAfter_[last + 1] == linesAfter_[last]) ++last;
      pending_ = last + 1 < linesAfter_.size();
      pendingLast_ = last;
    }
    lastLine_ = line;
    previousConsumed_ = consumed;
  }
  TInVid& window_;
  const std::vector<std::int32_t>& linesAfter_;
  QTimer look_;
  int lastLine_ = -1;
  std::int32_t previousConsumed_ = 0;
  bool pending_ = false;
  std::size_t pendingLast_ = 0;
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
  sim::BroadcastOptions options;
  options.PhasingSeconds = 5;
  options.StopSeconds = 1;
  options.TrailerSeconds = 0;
  options.Lpm = 240;
  const auto stream = sim::MakeBroadcast(sim::TestChart(160), options);  // about 51 s
  const std::vector<std::int32_t> linesAfter = LinesAfter(stream, window.Decoder, Settings);
  PaintWatch watch(window, linesAfter);
  window.installEventFilter(&watch);
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

  // The watcher sees an arrival up to a look of its own late: at worst a repaint seems to come
  // before it, which counts as no delay. A move back to the top (a start tone, the picture after
  // its phasing) finishes no line: the tone detector decides it, not the line's last sample.
  std::vector<double> l;
  double latestTop = -1;
  for (const auto& [paintedAt, last] : watch.Shown) {
    if (arrivedAt[last].time_since_epoch().count() == 0) continue;  // never seen arriving
    const double ms = std::max(
        0.0, std::chrono::duration<double, std::milli>(paintedAt - arrivedAt[last]).count());
    if (linesAfter[last + 1] > linesAfter[last])
      l.push_back(ms);
    else
      latestTop = std::max(latestTop, ms);
  }
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
  if (latestTop >= 0) std::printf("picture back at its top on screen: max %.1f ms\n", latestTop);
  if (watch.Unlike > 0)
    std::printf("the bench's decoder parted from the window's %d times\n", watch.Unlike);
  close(master);
  return 0;
}
