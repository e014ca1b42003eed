#pragma once
// A simulated interface box for trying the program without a receiver: a pseudo-terminal stands
// in for every COM port, and a generator streams broadcasts into it in real time, one after
// another, for as long as the program runs.
#include <atomic>
#include <string>
#include <thread>

namespace zarvo::demo {

class DemoInterface {
 public:
  DemoInterface() = default;
  ~DemoInterface();
  DemoInterface(const DemoInterface&) = delete;
  DemoInterface& operator=(const DemoInterface&) = delete;

  // Opens the pseudo-terminal, points ZARVO_COM1..4 at it and starts streaming. False, with the
  // reason, when no pseudo-terminal can be had.
  bool Start(std::string& error);
  void Stop();
  const std::string& DevicePath() const { return device_; }

 private:
  void Run();
  int master_ = -1;
  std::string device_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace zarvo::demo
