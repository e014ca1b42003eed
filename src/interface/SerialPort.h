#pragma once
// The serial port seam: the POSIX termios port in the program, fakes in the tests.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace zarvo {

// The line settings of an interface type; always 8 data bits and no flow control.
struct LineSettings {
  std::int32_t BaudRate = 0;
  std::int32_t Parity = 0;    // 0 none, 1 odd, 2 even, 3 mark, 4 space
  std::int32_t StopBits = 0;  // 0 one, 1 one and a half, 2 two
};

// One open port. Read runs on the input thread; everything else on the GUI thread. Wake may be
// called from any thread while Read runs.
class SerialPort {
 public:
  virtual ~SerialPort() = default;
  // Reads up to `count` bytes; returns when all have arrived, or when 100 ms have passed in
  // total with every byte waiting by then (0 from a silent line). -1 when the read failed
  // before any byte came: the device is gone, or Wake was called; bytes that came before a
  // failure are returned, and the next read fails.
  virtual int Read(std::uint8_t* buffer, int count) = 0;
  // Writes all `count` bytes; false when that failed.
  virtual bool Write(const std::uint8_t* data, std::size_t count) = 0;
  // Discards what is waiting to be sent.
  virtual void PurgeTransmit() = 0;
  virtual void SetRts(bool on) = 0;
  // Makes a Read under way return at once (with the bytes it has, else -1), and every later
  // one return -1.
  virtual void Wake() = 0;
  // A source with an end (a recording) has handed out its last byte.
  virtual bool Ended() const { return false; }
  // Why reads fail, where the source can tell (a sound device that has gone); may be asked from
  // any thread.
  virtual std::string FailureReason() const { return {}; }
};

// Why a port did not open: the device tried and the system's errno (0 where neither is known).
struct PortOpenError {
  std::string Device;
  int Errno = 0;
};

class SerialPortOpener {
 public:
  virtual ~SerialPortOpener() = default;
  // Opens "COM1".."COM4" exclusively with the line settings; nullptr, with `error` filled in,
  // when it cannot.
  virtual std::unique_ptr<SerialPort> Open(const std::string& comName, const LineSettings& line,
                                           PortOpenError& error) = 0;
};

// Opens the sound input: the audio server's source ("" its default) demodulated around
// `centreHz` into the box's byte stream. nullptr, with the reason in `error`, when it cannot.
class SoundPortOpener {
 public:
  virtual ~SoundPortOpener() = default;
  virtual std::unique_ptr<SerialPort> Open(const std::string& source, double centreHz,
                                           std::string& error) = 0;
};

// The opener used by the serial link; nullptr restores the POSIX one.
void SetSerialPortOpener(SerialPortOpener* opener);
SerialPortOpener& CurrentSerialPortOpener();
// The sound opener; nullptr (the start) where the program has none.
void SetSoundPortOpener(SoundPortOpener* opener);
SoundPortOpener* CurrentSoundPortOpener();

// The device behind a port name: "COMn" opens $ZARVO_COMn when it is set, else the user's choice
// (settings/SerialDevices.h), else /dev/ttyS<n-1>. Any other name has no device ("").
std::string ComDevicePath(const std::string& comName);

}  // namespace zarvo
