#pragma once
// A pseudo-terminal standing in for a serial port: the program opens SlavePath() as its device,
// the test plays the interface box on the master side.
#include <poll.h>
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

  bool Ok() const { return master_ >= 0 && !slave_.empty(); }
  const std::string& SlavePath() const { return slave_; }
  int Master() const { return master_; }

  bool Write(const std::vector<std::uint8_t>& bytes) const {
    return write(master_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  }
  // What the program sends until nothing more comes for `quiet`.
  std::vector<std::uint8_t> Read(std::chrono::milliseconds quiet) const {
    std::vector<std::uint8_t> bytes;
    std::uint8_t buffer[256];
    pollfd p = {master_, POLLIN, 0};
    for (ssize_t n = 0; poll(&p, 1, static_cast<int>(quiet.count())) > 0 &&
                        (n = read(master_, buffer, sizeof buffer)) > 0;) {
      bytes.insert(bytes.end(), buffer, buffer + n);
    }
    return bytes;
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
