#include "interface/SerialLink.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/Messages.h"
#include "settings/Settings.h"
#include "settings/SoundInput.h"

namespace zarvo {

namespace {
SoundPortOpener* soundOpener = nullptr;
}

void SetSoundPortOpener(SoundPortOpener* opener) {
  soundOpener = opener;
}

SoundPortOpener* CurrentSoundPortOpener() {
  return soundOpener;
}

std::string PortOpenMessage(const std::string& comName, const PortOpenError& error) {
  std::string text = "Unable to open I/O port \"" + comName + "\", check configuration.";
  if (!error.Device.empty())
    text +=
        "\n" + error.Device + (error.Errno ? ": " + std::string(std::strerror(error.Errno)) : "");
  // Debian gives serial devices to the group dialout; a user outside it is refused.
  if (error.Errno == EACCES || error.Errno == EPERM)
    text +=
        "\nTo use serial ports, join the group dialout: sudo usermod -aG dialout $USER, then "
        "log out and in again.";
  return text;
}

LineSettings RecordLineSettings() {
  return {Settings.BaudRate, Settings.Parity, Settings.StopBits};
}

void TSerialLink::OpenPort(InThread& thread) {
  if (SoundInput().Chosen) {
    OpenSound(thread);
    return;
  }
  const std::string name = TextOf(Settings.ComPortName);
  PortOpenError error;
  ComHandle = CurrentSerialPortOpener().Open(name, RecordLineSettings(), error);
  if (!ComHandle) ReportError("%s", PortOpenMessage(name, error).c_str());
  thread.Resume(ComHandle);
}

void TSerialLink::OpenSound(InThread& thread) {
  std::string error = "this program was built without sound input";
  if (SoundPortOpener* opener = CurrentSoundPortOpener())
    ComHandle = opener->Open(SoundInput().Source, SoundInput().CentreHz, error);
  if (!ComHandle)
    ReportError("Unable to open sound input \"%s\": %s.", SoundSourceLabel().c_str(),
                error.c_str());
  thread.Resume(ComHandle);
}

void TSerialLink::ClosePort(InThread& thread) {
  thread.Suspend();
  ComHandle.reset();
}

void TSerialLink::Purge() {
  if (ComHandle) ComHandle->PurgeTransmit();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
}

void TSerialLink::WriteBytes(const void* data, std::size_t count) {
  // Without a port the failed open has been reported already; one report is enough.
  if (!ComHandle) return;
  if (!ComHandle->Write(static_cast<const std::uint8_t*>(data), count))
    ReportError("Interface: error calling WriteFile");
}

void TSerialLink::PulseRts() {
  if (!ComHandle) return;
  ComHandle->SetRts(true);
  ComHandle->SetRts(false);
}

void TSerialLink::InterfaceStartup() {
  if (SoundInput().Chosen) return;  // no box to command
  Purge();
  if (Settings.InterfaceType == 3 && IsOn(Settings.AutoPTCII)) {
    const std::uint8_t wake[2] = {0x0D, 0x0D};
    WriteBytes(wake, sizeof wake);
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    WriteBytes(kPtcStartText, std::strlen(kPtcStartText));
  }
  if (Settings.InterfaceType == 2) {
    PulseRts();
    const std::uint8_t start = 0x01;
    WriteBytes(&start, 1);
  }
}

void TSerialLink::InterfaceShutdown() {
  if (SoundInput().Chosen) return;
  Purge();
  if (Settings.InterfaceType == 2) {
    PulseRts();
    const std::uint8_t stop = 0x00;
    WriteBytes(&stop, 1);
  }
  if (Settings.InterfaceType == 3 && IsOn(Settings.AutoPTCII)) {
    const std::uint8_t stop = 0xFF;
    WriteBytes(&stop, 1);
  }
}

}  // namespace zarvo
