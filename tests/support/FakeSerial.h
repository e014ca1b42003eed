#pragma once
// A serial port that records what the link does to it, and can stream bytes to the input thread
// as fast as it reads them; openers that hand such ports out as the serial and the sound input.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "interface/SerialPort.h"

namespace zarvo::test {

// What was done to one port, all of it on the GUI thread; outlives the port, which the link
// closes when it likes.
struct CallLog {
  std::vector<std::string> Calls;
};

class FakeSerialPort final : public SerialPort {
 public:
  explicit FakeSerialPort(std::shared_ptr<CallLog> log = std::make_shared<CallLog>())
      : log_(std::move(log)) {}

  // Each Read delivers this many bytes at once (counting up from 0), or fails when negative;
  // 0 is a silent line: the read waits its 100 ms, or until woken.
  std::atomic<int> BytesPerRead{100};
  std::atomic<bool> FailWrites{false};
  // When set, Read asks this instead (it must return once Woken() is true).
  std::function<int(std::uint8_t*, int)> ReadHook;
  // A recording's end, and the reason a sound source gives for failing.
  std::atomic<bool> End{false};
  std::string Reason;

  int Read(std::uint8_t* buffer, int count) override {
    if (woken_) return -1;
    if (ReadHook) return ReadHook(buffer, count);
    const int n = std::min(BytesPerRead.load(), count);
    for (int waited = 0; n == 0 && waited < 100 && !woken_; waited += 5)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (n < 0 || woken_) return -1;
    for (int i = 0; i < n; ++i) buffer[i] = next_++;
    return n;
  }
  bool Write(const std::uint8_t* data, std::size_t count) override {
    std::string call = "write ";
    for (std::size_t i = 0; i < count; ++i)
      call += {"0123456789ABCDEF"[data[i] >> 4], "0123456789ABCDEF"[data[i] & 15]};
    log_->Calls.push_back(call);
    return !FailWrites;
  }
  void PurgeTransmit() override { log_->Calls.push_back("purge"); }
  void SetRts(bool on) override { log_->Calls.push_back(on ? "rts on" : "rts off"); }
  void Wake() override { woken_ = true; }
  bool Woken() const { return woken_; }
  bool Ended() const override { return End; }
  std::string FailureReason() const override { return Reason; }
  std::vector<std::string> Calls() const { return log_->Calls; }

 private:
  std::shared_ptr<CallLog> log_;
  std::atomic<bool> woken_{false};
  std::uint8_t next_ = 0;
};

// What both openers hand out: the last port, which streams NextBytesPerRead bytes a read.
struct FakeOpener {
  std::unique_ptr<SerialPort> Port(std::shared_ptr<CallLog> log) {
    auto port = std::make_unique<FakeSerialPort>(std::move(log));
    port->BytesPerRead = NextBytesPerRead;
    Last = port.get();
    return port;
  }
  FakeSerialPort* Last = nullptr;
  int NextBytesPerRead = 0;
};

// The serial ports, and what was asked of each.
class FakeSerialOpener final : public SerialPortOpener, public FakeOpener {
 public:
  FakeSerialOpener() { SetSerialPortOpener(this); }
  ~FakeSerialOpener() override { SetSerialPortOpener(nullptr); }

  std::unique_ptr<SerialPort> Open(const std::string& comName, const LineSettings& line,
                                   PortOpenError& error) override {
    Opened.push_back({comName, line, std::make_shared<CallLog>()});
    if (Refuse) error = Refusal;
    return Refuse ? nullptr : Port(Opened.back().Log);
  }

  struct Opening {
    std::string Name;
    LineSettings Line;
    std::shared_ptr<CallLog> Log;
  };
  std::vector<Opening> Opened;
  bool Refuse = false;
  PortOpenError Refusal;  // what a refusal says
};

// The sound input, and the source and centre it was opened with.
class FakeSoundOpener final : public SoundPortOpener, public FakeOpener {
 public:
  FakeSoundOpener() { SetSoundPortOpener(this); }
  ~FakeSoundOpener() override { SetSoundPortOpener(nullptr); }

  std::unique_ptr<SerialPort> Open(const std::string& source, double centreHz,
                                   std::string& error) override {
    Opened.push_back({source, centreHz});
    error = Refusal;
    return Refusal.empty() ? Port(std::make_shared<CallLog>()) : nullptr;
  }

  std::vector<std::pair<std::string, double>> Opened;
  std::string Refusal;  // refuses with this reason when set
};

}  // namespace zarvo::test
