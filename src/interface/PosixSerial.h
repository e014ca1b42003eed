#pragma once
#include <termios.h>

#include "interface/SerialPort.h"

namespace zarvo {

// The raw 8-bit termios of a line: speed, parity, stop bits, no flow control, reads that do not
// wait (the port waits in poll instead).
termios MakeTermios(const termios& current, const LineSettings& line);

// Opens a device file as a serial port: read-write, exclusive (TIOCEXCL and an advisory lock),
// no controlling terminal, DTR and RTS low. When it cannot, `error` (if given) gets the errno;
// a device another program holds gives EBUSY.
std::unique_ptr<SerialPort> OpenSerialDevice(const std::string& path, const LineSettings& line,
                                             int* error = nullptr);

// A new pseudo-terminal in raw mode (set on the master, it holds for the other side too, so bytes
// pass unchanged both ways): the master's descriptor and, in `slavePath`, the device to open as a
// port. -1 when the system has none to give.
int OpenRawPseudoTerminal(std::string& slavePath);

class PosixSerialOpener final : public SerialPortOpener {
 public:
  std::unique_ptr<SerialPort> Open(const std::string& comName, const LineSettings& line,
                                   PortOpenError& error) override;
};

}  // namespace zarvo
