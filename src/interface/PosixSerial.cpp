#include "interface/PosixSerial.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>

#include "settings/SerialDevices.h"

namespace zarvo {
namespace {

speed_t SpeedCode(std::int32_t baud) {
  switch (baud) {
    case 1200:
      return B1200;
    case 2400:
      return B2400;
    case 4800:
      return B4800;
    case 9600:
      return B9600;
    case 19200:
      return B19200;
    case 38400:
      return B38400;
    case 57600:
      return B57600;
    case 115200:
      return B115200;
    case 230400:
      return B230400;
    case 460800:
      return B460800;
    case 921600:
      return B921600;
    default:
      return 0;
  }
}

class PosixSerialPort final : public SerialPort {
 public:
  PosixSerialPort(int fd, int wakeFd) : fd_(fd), wakeFd_(wakeFd) {}
  ~PosixSerialPort() override {
    // Exclusive mode outlives the descriptor on some devices (a pseudo-terminal keeps it while
    // its other side is open): give it up, so that the port can be opened again.
    ioctl(fd_, TIOCNXCL);
    close(fd_);
    close(wakeFd_);
  }

  int Read(std::uint8_t* buffer, int count) override {
    const auto deadline = Clock::now() + std::chrono::milliseconds(100);
    const auto msLeft = [&] {
      return std::max<long long>(
          0,
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count());
    };
    // A line streaming at a known pace: sleep for the time the bytes not yet waiting take at that
    // pace, then take what has come. One wakeup a block, where waiting on the line would wake
    // for every few bytes it delivers (a box writes in bursts, a UART a FIFO's worth at a time).
    // Rounded up: a sleep cut short by the rounding wakes to a part of the block, and the read
    // after it to the rest, two wakeups where one does.
    int waiting = 0;
    if (msPerByte_ > 0 && ioctl(fd_, FIONREAD, &waiting) == 0 && waiting < count) {
      const auto gather = static_cast<long long>(std::ceil((count - waiting) * msPerByte_));
      pollfd wake = {wakeFd_, POLLIN, 0};
      if (gather >= 1 && poll(&wake, 1, static_cast<int>(std::min(gather, msLeft()))) > 0)
        return Took(-1);  // woken: the port is being taken away
    }
    for (;;) {
      const long long left = msLeft();
      pollfd fds[2] = {{fd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
      const int ready = poll(fds, 2, static_cast<int>(left));
      if (ready < 0) {
        if (errno == EINTR) continue;
        return Took(-1);
      }
      if (fds[1].revents) return Took(-1);  // woken: the port is being taken away
      if (fds[0].revents & POLLIN) {
        const ssize_t n = read(fd_, buffer, static_cast<std::size_t>(count));
        if (n > 0) return Took(static_cast<int>(n));  // all that was waiting, up to the block
        if (n < 0 && (errno == EAGAIN || errno == EINTR) && left > 0) continue;
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) return Took(0);
        return Took(-1);  // end of file or EIO: the device has gone
      }
      if (fds[0].revents & (POLLERR | POLLNVAL | POLLHUP)) return Took(-1);
      // The time-out ends the read only after a look at the line that found nothing waiting.
      if (ready == 0 && left == 0) return Took(0);
    }
  }

  bool Write(const std::uint8_t* data, std::size_t count) override {
    // Synchronous and whole; a line that takes nothing for two seconds has failed, so that a
    // stuck device cannot freeze the program.
    std::size_t done = 0;
    while (done < count) {
      const ssize_t n = write(fd_, data + done, count - done);
      if (n > 0) {
        done += static_cast<std::size_t>(n);
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && errno != EAGAIN) return false;
      pollfd out = {fd_, POLLOUT, 0};
      if (poll(&out, 1, 2000) <= 0 || (out.revents & (POLLERR | POLLHUP | POLLNVAL))) return false;
    }
    return true;
  }

  void PurgeTransmit() override { tcflush(fd_, TCOFLUSH); }

  void SetRts(bool on) override {
    int bits = TIOCM_RTS;
    ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bits);
  }

  void Wake() override {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = write(wakeFd_, &one, sizeof one);
  }

 private:
  using Clock = std::chrono::steady_clock;

  // The line's pace, measured afresh over each quarter second of streaming from the first bytes
  // after a silence or a failure, which forget it. Input thread only.
  static constexpr double kPaceWindowMs = 250;
  int Took(int got) {
    const auto now = Clock::now();
    if (got <= 0) {
      msPerByte_ = 0;
      paceBytes_ = -1;
    } else if (paceBytes_ < 0) {
      paceFrom_ = now;  // these bytes end the silence: the pace counts from them
      paceBytes_ = 0;
    } else {
      paceBytes_ += got;
      const double ms = std::chrono::duration<double, std::milli>(now - paceFrom_).count();
      if (ms >= kPaceWindowMs) {
        msPerByte_ = ms / static_cast<double>(paceBytes_);
        paceFrom_ = now;
        paceBytes_ = 0;
      }
    }
    return got;
  }

  int fd_;
  int wakeFd_;
  double msPerByte_ = 0;  // 0: not known
  long paceBytes_ = -1;   // since paceFrom_; -1: none yet
  Clock::time_point paceFrom_;
};

PosixSerialOpener posixOpener;
SerialPortOpener* currentOpener = &posixOpener;

}  // namespace

termios MakeTermios(const termios& current, const LineSettings& line) {
  termios t = current;
  cfmakeraw(&t);
  t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | HUPCL);
  t.c_cflag |= CS8 | CREAD | CLOCAL;
  switch (line.Parity) {
    case 1:
      t.c_cflag |= PARENB | PARODD;
      break;
    case 2:
      t.c_cflag |= PARENB;
      break;
    case 3:
      t.c_cflag |= PARENB | CMSPAR | PARODD;
      break;
    case 4:
      t.c_cflag |= PARENB | CMSPAR;
      break;
    default:
      break;
  }
  if (line.StopBits != 0) t.c_cflag |= CSTOPB;
  // The parity bit is sent but not checked on input, and no byte is ever translated.
  t.c_iflag &= ~static_cast<tcflag_t>(INPCK | PARMRK | ISTRIP | IXON | IXOFF | IXANY);
  t.c_iflag |= IGNPAR;
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
  if (const speed_t speed = SpeedCode(line.BaudRate)) cfsetspeed(&t, speed);
  return t;
}

std::unique_ptr<SerialPort> OpenSerialDevice(const std::string& path, const LineSettings& line,
                                             int* error) {
  const auto fail = [error](int code) -> std::unique_ptr<SerialPort> {
    if (error) *error = code;
    return nullptr;
  };
  if (path.empty()) return fail(ENOENT);
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return fail(errno);
  termios current{};
  // Not a terminal, or another program already holds the port: that is no port for us.
  int code = 0;
  if (tcgetattr(fd, &current) != 0)
    code = errno;
  else if (flock(fd, LOCK_EX | LOCK_NB) != 0)
    code = errno == EWOULDBLOCK ? EBUSY : errno;
  if (code != 0) {
    close(fd);
    return fail(code);
  }
  ioctl(fd, TIOCEXCL);
  const int wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wakeFd < 0) {
    code = errno;
    close(fd);
    return fail(code);
  }
  // Line settings and modem lines: results ignored, as a port that takes them partly still works.
  const termios wanted = MakeTermios(current, line);
  tcsetattr(fd, TCSANOW, &wanted);
  int lines = TIOCM_DTR | TIOCM_RTS;
  ioctl(fd, TIOCMBIC, &lines);
  return std::make_unique<PosixSerialPort>(fd, wakeFd);
}

int OpenRawPseudoTerminal(std::string& slavePath) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  const char* slave =
      master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0 ? ptsname(master) : nullptr;
  if (!slave) {
    if (master >= 0) close(master);
    return -1;
  }
  slavePath = slave;
  termios raw{};
  tcgetattr(master, &raw);
  cfmakeraw(&raw);
  tcsetattr(master, TCSANOW, &raw);
  return master;
}

std::unique_ptr<SerialPort> PosixSerialOpener::Open(const std::string& comName,
                                                    const LineSettings& line,
                                                    PortOpenError& error) {
  error.Device = ComDevicePath(comName);
  return OpenSerialDevice(error.Device, line, &error.Errno);
}

void SetSerialPortOpener(SerialPortOpener* opener) {
  currentOpener = opener ? opener : &posixOpener;
}

SerialPortOpener& CurrentSerialPortOpener() {
  return *currentOpener;
}

std::string ComDevicePath(const std::string& comName) {
  if (comName.size() < 4 || comName.compare(0, 3, "COM") != 0) return {};
  int number = 0;
  for (std::size_t i = 3; i < comName.size(); ++i) {
    if (comName[i] < '0' || comName[i] > '9' || number > 99) return {};
    number = number * 10 + (comName[i] - '0');
  }
  if (number < 1) return {};
  return ResolveComDevice(number).Path;
}

}  // namespace zarvo
