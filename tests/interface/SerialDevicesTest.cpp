// The serial devices offered for COM1..COM4, the device each port opens, and what the user is
// told when it does not open.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "interface/PosixSerial.h"
#include "interface/Receiver.h"
#include "settings/Settings.h"
#include "support/FakeDevices.h"
#include "support/Pty.h"
#include "support/RecordingBoxes.h"

namespace zarvo {
namespace {

using Devices = std::vector<SerialDevice>;

// Adapters by id first, then by kernel name in number order; a ttyS only with a UART behind it,
// and nothing else of /dev.
TEST(SerialDevices, ListedInTheOrderAUserLooksForThem) {
  test::FakeDevices fake;
  test::Pty a, b;
  const std::string d = fake.Dev();
  fake.Link("serial/by-id/usb-Prolific_PL2303-if00-port0", b.SlavePath());
  fake.Link("serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0", a.SlavePath());
  fake.Link("serial/by-id/usb-gone-if00", d + "/ttyUSB7");  // left behind by an unplugged adapter
  for (const char* name : {"ttyUSB10", "ttyUSB2", "ttyACM0", "ttyUSBx", "tty0", "console"})
    fake.Link(name, a.SlavePath());
  fake.Port("ttyS0", 4);
  fake.Port("ttyS1", 0);
  fake.Port("ttyS12", 4);
  fake.Port("ttyS3", 4);
  std::ofstream(d + "/ttyS5").put('\n');  // no entry in /sys at all
  const Devices expected = {
      {d + "/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0",
       "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0"},
      {d + "/serial/by-id/usb-Prolific_PL2303-if00-port0", "usb-Prolific_PL2303-if00-port0"},
      {d + "/ttyUSB2", d + "/ttyUSB2"},
      {d + "/ttyUSB10", d + "/ttyUSB10"},
      {d + "/ttyACM0", d + "/ttyACM0"},
      {d + "/ttyS0", d + "/ttyS0"},
      {d + "/ttyS3", d + "/ttyS3"},
      {d + "/ttyS12", d + "/ttyS12"},
  };
  EXPECT_EQ(ListSerialDevices(fake.Dev(), fake.Sys()), expected);
  EXPECT_EQ(SerialDeviceLabel(expected[1].Path), expected[1].Label);
  EXPECT_EQ(ListSerialDevices(d + "/none", fake.Sys()), Devices{});
}

// $ZARVO_COMn before the user's choice before /dev/ttyS<n-1>, each port on its own; a name that
// is no COM port has no device.
TEST(SerialDevices, WhatEachPortOpens) {
  const struct {
    int Number;
    const char *Environment, *Chosen, *Path;
    ComDeviceOrigin Origin;
  } cases[] = {
      {1, "/dev/pts/7", "/dev/ttyUSB0", "/dev/pts/7", ComDeviceOrigin::Environment},
      {1, "", "/dev/ttyUSB0", "/dev/ttyUSB0", ComDeviceOrigin::Chosen},
      {2, nullptr, "/dev/serial/by-id/usb-x", "/dev/serial/by-id/usb-x", ComDeviceOrigin::Chosen},
      {3, nullptr, "", "/dev/ttyS2", ComDeviceOrigin::Default},
      {4, "/dev/pts/9", "", "/dev/pts/9", ComDeviceOrigin::Environment},
  };
  for (const auto& c : cases) {
    const std::string variable = "ZARVO_COM" + std::to_string(c.Number);
    c.Environment ? setenv(variable.c_str(), c.Environment, 1) : unsetenv(variable.c_str());
    ChosenComDevice(c.Number) = c.Chosen;
    const ComDevice device = ResolveComDevice(c.Number);
    EXPECT_EQ(device.Path, c.Path) << c.Number;
    EXPECT_EQ(device.Origin, c.Origin) << c.Number;
    EXPECT_EQ(ComDevicePath("COM" + std::to_string(c.Number)), c.Path);
    unsetenv(variable.c_str());
    ChosenComDevice(c.Number).clear();
  }
  for (const char* none : {"COM0", "COM", "COM1/../../etc/passwd", "/etc/passwd", "COM99999999999"})
    EXPECT_EQ(ComDevicePath(none), "") << none;
}

TEST(SerialDevices, MessageWhenThePortDoesNotOpen) {
  const std::string first = "Unable to open I/O port \"COM1\", check configuration.";
  const std::string dialout =
      "\nTo use serial ports, join the group dialout: sudo usermod -aG dialout $USER, then log "
      "out and in again.";
  const struct {
    PortOpenError Error;
    std::string Text;
  } cases[] = {
      {{"/dev/ttyUSB0", EACCES}, first + "\n/dev/ttyUSB0: Permission denied" + dialout},
      {{"/dev/ttyUSB0", EPERM}, first + "\n/dev/ttyUSB0: Operation not permitted" + dialout},
      {{"/dev/ttyACM1", EBUSY}, first + "\n/dev/ttyACM1: Device or resource busy"},
      {{"", 0}, first},
  };
  for (const auto& c : cases) EXPECT_EQ(PortOpenMessage("COM1", c.Error), c.Text);
}

// A device the user may not open really gives EACCES: a user other than root is refused a
// pseudo-terminal without permissions (root passes every permission check, so the open is tried
// in a child that has given root up).
TEST(SerialDevices, DeviceWithoutPermissionIsRefusedAsSuch) {
  test::Pty pty;
  ASSERT_EQ(chmod(pty.SlavePath().c_str(), 0), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(100);
    int error = 0;
    _exit(OpenSerialDevice(pty.SlavePath(), {115200, 3, 2}, &error) ? 0 : error);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), EACCES);
}

// A device that is not there, end to end: the report names it and the system's reason.
TEST(SerialDevices, MissingDeviceIsReportedWithItsPath) {
  setenv("ZARVO_COM1", "/nonexistent/ttyUSB0", 1);
  ClearSettings(Settings);
  ResetMessageState();
  SetComPortFields(1);
  SetInterfaceTypeFields(1);
  test::RecordingBoxes boxes;
  TReceiveSide rx;
  ASSERT_TRUE(rx.Create());
  unsetenv("ZARVO_COM1");
  ASSERT_EQ(boxes.Shown.size(), 1u);
  EXPECT_EQ(boxes.Shown[0].Text,
            "Unable to open I/O port \"COM1\", check configuration.\n"
            "/nonexistent/ttyUSB0: No such file or directory");
  EXPECT_EQ(rx.Link.ComHandle, nullptr);
}

}  // namespace
}  // namespace zarvo
