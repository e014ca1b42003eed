#pragma once
// A /dev and a /sys of a test's own: serial adapters as links to pseudo-terminals, serial ports
// with or without a UART as their type files say. The program lists these while it lives.
#include <filesystem>
#include <fstream>
#include <string>

#include "settings/SerialDevices.h"
#include "support/TempDir.h"

namespace zarvo::test {

class FakeDevices {
 public:
  FakeDevices() {
    std::filesystem::create_directories(Dev() + "/serial/by-id");
    std::filesystem::create_directories(Sys() + "/class/tty");
    SetSerialDeviceRoots(Dev(), Sys());
  }
  ~FakeDevices() { SetSerialDeviceRoots("/dev", "/sys"); }

  std::string Dev() const { return root_.File("dev"); }
  std::string Sys() const { return root_.File("sys"); }
  // dev/`name` (such as "ttyUSB0" or "serial/by-id/usb-...") as a link to `target`; its path.
  std::string Link(const std::string& name, const std::string& target) const {
    std::filesystem::create_symlink(target, Dev() + "/" + name);
    return Dev() + "/" + name;
  }
  // dev/`name` as a port whose UART type the kernel gives as `type` (0: none behind it).
  void Port(const std::string& name, int type) const {
    std::ofstream(Dev() + "/" + name).put('\n');
    std::filesystem::create_directories(Sys() + "/class/tty/" + name);
    std::ofstream(Sys() + "/class/tty/" + name + "/type") << type << '\n';
  }
  void Unplug(const std::string& name) const { std::filesystem::remove(Dev() + "/" + name); }

 private:
  TempDir root_;
};

}  // namespace zarvo::test
