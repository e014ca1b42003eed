#pragma once
// The serial devices a COM port can stand for: those present now, and the device each of
// COM1..COM4 opens.
#include <string>
#include <vector>

namespace zarvo {

inline constexpr int kComPortCount = 4;

struct SerialDevice {
  std::string Path;   // what is opened and remembered: /dev/serial/by-id/... or /dev/ttyUSB0
  std::string Label;  // as the user reads it
  bool operator==(const SerialDevice&) const = default;
};

// The serial devices under `devRoot` (normally /dev) in the order a user looks for them: adapters
// by their stable id (serial/by-id), then ttyUSB*, ttyACM*, then the ttyS* that have a UART as
// `sysRoot` (normally /sys) tells. Nothing is opened: opening a ttyS can hang or disturb it.
std::vector<SerialDevice> ListSerialDevices(const std::string& devRoot, const std::string& sysRoot);

// The roots the program lists and labels by; tests point them at folders of their own.
void SetSerialDeviceRoots(const std::string& devRoot, const std::string& sysRoot);
const std::string& SerialDevRoot();
const std::string& SerialSysRoot();

// A device as the user reads it: a by-id link by its id name, anything else by its path.
std::string SerialDeviceLabel(const std::string& path);

enum class ComDeviceOrigin { Environment, Chosen, Default };
struct ComDevice {
  std::string Path;
  ComDeviceOrigin Origin = ComDeviceOrigin::Default;
};

// The user's device for COM1..COM4 (`number` 1..4), "" where none is chosen.
std::string& ChosenComDevice(int number);
// The device COMn stands for when nothing else is said: /dev/ttyS<n-1>.
std::string DefaultComDevice(int number);
// What COMn opens: $ZARVO_COMn when it is set, else the user's choice, else the default.
ComDevice ResolveComDevice(int number);

}  // namespace zarvo
