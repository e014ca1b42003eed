#pragma once
// A serial port that records what the link does to it, and can stream bytes to the input thread
// as fast as it reads them.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "interface/SerialPort.h"

namespace zarvo::test {

// What was done to one port; outlives the port, which the link closes when it likes.
struct CallLog {
  void Add(std::string call) {
    std::lock_guard lock(Mutex);
    Calls.push_back(std::move(call));
  }
  std::vector<std::string> Get() const {
    std::lock_guard lock(Mutex);
    return Calls;
  }
  mutable std::mutex Mutex;
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

  int Read(std::uint8_t* buffer, int count) override {
    if (woken_) return -1;
    if (ReadHook) return ReadHook(buffer, count);
    const int n = BytesPerRead.load();
    if (n < 0) return -1;
    if (n == 0) {
      for (int waited = 0; waited < 100 && !woken_; waited += 5)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      return woken_ ? -1 : 0;
    }
    const int got = n < count ? n : count;
    for (int i = 0; i < got; ++i) buffer[i] = next_++;
    return got;
  }
  bool Write(const std::uint8_t* data, std::size_t count) override {
    std::string call = "write ";
    for (std::size_t i = 0; i < count; ++i)
      call += {"0123456789ABCDEF"[data[i] >> 4], "0123456789ABCDEF"[data[i] & 15]};
    log_->Add(call);
    return !FailWrites;
  }
  void PurgeTransmit() override { log_->Add("purge"); }
  void SetRts(bool on) override { log_->Add(on ? "rts on" : "rts off"); }
  void Wake() override { woken_ = true; }
  bool Woken() const { return woken_; }
  // A recording's end, and the reason a sound source gives for failing.
  std::atomic<bool> End{false};
  std::string Reason;
  bool Ended() const override { return End; }
  std::string FailureReason() const override { return Reason; }

  std::vector<std::string> Calls() const { return log_->Get(); }

 private:
  std::shared_ptr<CallLog> log_;
  std::atomic<bool> woken_{false};
  std::uint8_t next_ = 0;
};

// Hands out FakeSerialPorts and remembers what was asked of it.
class FakeSerialOpener final : public SerialPortOpener {
 public:
  FakeSerialOpener() { SetSerialPortOpener(this); }
  ~FakeSerialOpener() override { SetSerialPortOpener(nullptr); }

  std::unique_ptr<SerialPort> Open(const std::string& comName, const LineSettings& line,
                                   PortOpenError& error) override {
    auto log = std::make_shared<CallLog>();
    Opened.push_back({comName, line, log});
    if (Refuse) {
      error = Refusal;
      return nullptr;
    }
    auto port = std::make_unique<FakeSerialPort>(log);
    port->BytesPerRead = NextBytesPerRead;
    Last = port.get();
    return port;
  }

  struct Opening {
    std::string Name;
    LineSettings Line;
    std::shared_ptr<CallLog> Log;
  };
  std::vector<Opening> Opened;
  FakeSerialPort* Last = nullptr;
  bool Refuse = false;
  PortOpenError Refusal;  // what a refusal says
  int NextBytesPerRead = 0;
};

// Hands out FakeSerialPorts as the sound input, and remembers what was asked of it.
class FakeSoundOpener final : public SoundPortOpener {
 public:
  FakeSoundOpener() { SetSoundPortOpener(this); }
  ~FakeSoundOpener() override { SetSoundPortOpener(nullptr); }

  std::unique_ptr<SerialPort> Open(const std::string& source, double centreHz,
                                   std::string& error) override {
    Opened.push_back({source, centreHz});
    if (!Refusal.empty()) {
      error = Refusal;
      return nullptr;
    }
    auto port = std::make_unique<FakeSerialPort>();
    port->BytesPerRead = NextBytesPerRead;
    port->Reason = NextReason;
    Last = port.get();
    return port;
  }

  std::vector<std::pair<std::string, double>> Opened;
  FakeSerialPort* Last = nullptr;
  std::string Refusal;  // refuses with this reason when set
  int NextBytesPerRead = 0;
  std::string NextReason;
};

}  // namespace zarvo::test
