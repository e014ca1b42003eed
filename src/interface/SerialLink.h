#pragma once
// The serial link to the interface box: the open port, and the command bytes two of the
// interface types need at start-up, at a type change and at the end.
#include <memory>
#include <string>

#include "interface/InThread.h"
#include "interface/SerialPort.h"

namespace zarvo {

inline constexpr const char* kPtcStartText = "fax\rd 900\rmb 57600\rfmfax\r";

class TSerialLink {
 public:
  // The open port, or null while none is open. Written only by OpenPort and ClosePort.
  std::shared_ptr<SerialPort> ComHandle;

  // Opens Settings.ComPortName with the interface type's line settings, or the sound input when
  // the user has chosen it, and resumes the input thread with it. A port that cannot be opened
  // is reported; the thread then reads nothing.
  void OpenPort(InThread& thread);
  // Takes the port from the input thread (after its read under way), closes it and leaves the
  // thread suspended.
  void ClosePort(InThread& thread);
  // The configured type's start-up and shut-down command sequences; none for the sound input.
  void InterfaceStartup();
  void InterfaceShutdown();

 private:
  void OpenSound(InThread& thread);
  void Purge();
  void PulseRts();
  void WriteBytes(const void* data, std::size_t count);
};

// What the user is told when port `comName` did not open: the device and the system's reason,
// and for a refused permission how to get it.
std::string PortOpenMessage(const std::string& comName, const PortOpenError& error);

// The line settings of the record (BaudRate, Parity, StopBits).
LineSettings RecordLineSettings();

}  // namespace zarvo
