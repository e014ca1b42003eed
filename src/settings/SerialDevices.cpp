#include "settings/SerialDevices.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace zarvo {
namespace {

namespace fs = std::filesystem;

std::string devRoot = "/dev";
std::string sysRoot = "/sys";
std::array<std::string, kComPortCount> chosen;

// The number after `prefix` in a device name ("ttyUSB12" -> 12); -1 when the name is not such.
long DeviceNumber(const std::string& name, const std::string& prefix) {
  if (name.size() <= prefix.size() || name.size() > prefix.size() + 6 ||
      name.compare(0, prefix.size(), prefix) != 0)
    return -1;
  long number = 0;
  for (std::size_t i = prefix.size(); i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9') return -1;
    number = number * 10 + (name[i] - '0');
  }
  return number;
}

// A serial driver that has no UART behind a ttyS reports type 0 (PORT_UNKNOWN).
bool HasUart(const std::string& sys, const std::string& name) {
  std::ifstream type(sys + "/class/tty/" + name + "/type");
  int value = 0;
  return type >> value && value != 0;
}

}  // namespace

std::vector<SerialDevice> ListSerialDevices(const std::string& dev, const std::string& sys) {
  std::vector<SerialDevice> devices;
  std::error_code error;
  std::vector<std::string> ids;
  for (const auto& entry : fs::directory_iterator(dev + "/serial/by-id", error))
    if (fs::exists(entry.path(), error)) ids.push_back(entry.path().filename().string());
  std::sort(ids.begin(), ids.end());
  for (const std::string& id : ids) devices.push_back({dev + "/serial/by-id/" + id, id});

  // Numbered names in number order, ttyUSB2 before ttyUSB10.
  static const char* const kPrefixes[] = {"ttyUSB", "ttyACM", "ttyS"};
  std::vector<std::pair<long, std::string>> named[3];
  for (const auto& entry : fs::directory_iterator(dev, error)) {
    const std::string name = entry.path().filename().string();
    for (int p = 0; p < 3; ++p)
      if (const long n = DeviceNumber(name, kPrefixes[p]); n >= 0) {
        if (p < 2 ? fs::exists(entry.path(), error) : HasUart(sys, name))
          named[p].push_back({n, name});
      }
  }
  for (auto& group : named) {
    std::sort(group.begin(), group.end());
    for (const auto& [n, name] : group) devices.push_back({dev + "/" + name, dev + "/" + name});
  }
  return devices;
}

void SetSerialDeviceRoots(const std::string& dev, const std::string& sys) {
  devRoot = dev;
  sysRoot = sys;
}

const std::string& SerialDevRoot() {
  return devRoot;
}

const std::string& SerialSysRoot() {
  return sysRoot;
}

std::string SerialDeviceLabel(const std::string& path) {
  const std::string byId = devRoot + "/serial/by-id/";
  if (path.size() > byId.size() && path.compare(0, byId.size(), byId) == 0)
    return path.substr(byId.size());
  return path;
}

std::string& ChosenComDevice(int number) {
  static std::string none;
  if (number < 1 || number > kComPortCount) return none = {};
  return chosen[static_cast<std::size_t>(number - 1)];
}

std::string DefaultComDevice(int number) {
  return "/dev/ttyS" + std::to_string(number - 1);
}

ComDevice ResolveComDevice(int number) {
  const std::string variable = "ZARVO_COM" + std::to_string(number);
  if (const char* device = std::getenv(variable.c_str()); device && *device)
    return {device, ComDeviceOrigin::Environment};
  if (const std::string& path = ChosenComDevice(number); !path.empty())
    return {path, ComDeviceOrigin::Chosen};
  return {DefaultComDevice(number), ComDeviceOrigin::Default};
}

}  // namespace zarvo
