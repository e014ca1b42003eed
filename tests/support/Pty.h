#pragma once
// A pseudo-terminal standing in for a serial port: the program opens SlavePath() as its device,
// the test plays the interface box on the master side.
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "interface/PosixSerial.h"

namespace zarvo::test {

class Pty {
 public:
  Pty() { master_ = OpenRawPseudoTerminal(slave_); }
  ~Pty() { CloseMaster(); }
  Pty(const Pty&) = delete;
  Pty& operator=(const Pty&) = delete;

  bool Ok() const { return master_ >= 0 && !slave_.empty(); }
  const std::string& SlavePath() const { return slave_; }
  int Master() const { return master_; }

  bool Write(const std::vector<std::uint8_t>& bytes) const {
    return write(master_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  }

  // Bytes sent by the program, with the time each read returned them.
  struct Arrival {
    std::vector<std::uint8_t> Bytes;
    std::chrono::steady_clock::time_point At;
  };
  // Reads what arrives until nothing has come for `quiet`, or `limit` has passed.
  std::vector<Arrival> ReadUntilQuiet(std::chrono::milliseconds quiet,
                                      std::chrono::milliseconds limit) const {
    std::vector<Arrival> arrivals;
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
      pollfd p = {master_, POLLIN, 0};
      if (poll(&p, 1, static_cast<int>(quiet.count())) <= 0 || !(p.revents & POLLIN)) break;
      std::uint8_t buffer[256];
      const ssize_t n = read(master_, buffer, sizeof buffer);
      if (n <= 0) break;
      arrivals.push_back({{buffer, buffer + n}, std::chrono::steady_clock::now()});
    }
    return arrivals;
  }

  static std::vector<std::uint8_t> Joined(const std::vector<Arrival>& arrivals) {
    std::vector<std::uint8_t> all;
    for (const auto& a : arrivals) all.insert(all.end(), a.Bytes.begin(), a.Bytes.end());
    return all;
  }

  // The other side hangs up, as an unplugged adapter does.
  void CloseMaster() {
    if (master_ >= 0) close(master_);
    master_ = -1;
  }

 private:
  int master_ = -1;
  std::string slave_;
};

}  // namespace zarvo::test
