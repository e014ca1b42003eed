#include "interface/Receiver.h"

#include <time.h>

#include <new>
#include <system_error>

#include "platform/Messages.h"
#include "settings/Settings.h"

namespace zarvo {

namespace {
TReceiveSide* activeReceiveSide = nullptr;
}

TReceiveSide* ActiveReceiveSide() {
  return activeReceiveSide;
}

TReceiveSide::TReceiveSide() {
  activeReceiveSide = this;
  SetReceiveControl(this);
}

TReceiveSide::~TReceiveSide() {
  TerminateThread();
  ReleaseBuffer();
  if (activeReceiveSide != this) return;
  activeReceiveSide = nullptr;
  SetReceiveControl(nullptr);
}

bool HighResolutionClockPresent() {
  timespec resolution{};
  return clock_getres(CLOCK_MONOTONIC, &resolution) == 0 && resolution.tv_sec == 0 &&
         resolution.tv_nsec <= 1000;
}

bool TReceiveSide::Create() {
  RxBuffer.reset(new (std::nothrow) std::uint8_t[RxBufferSize]);
  if (!RxBuffer) {
    ReportFatal("Not enough memory to create receive buffer");
    return false;
  }
  try {
    InputThread = std::make_unique<InThread>(RxBuffer.get());
  } catch (const std::system_error&) {
    ReportFatal("Not enough memory to create incoming video thread");
    return false;
  } catch (const std::bad_alloc&) {
    ReportFatal("Not enough memory to create incoming video thread");
    return false;
  }
  if (!HighResolutionClockPresent()) {
    ReportFatal("System has no high-resolution performance counter");
    return false;
  }
  ReadPos = 0;
  Link.OpenPort(*InputThread);
  return true;
}

void TReceiveSide::TerminateThread() {
  if (InputThread) InputThread->Terminate();
}

void TReceiveSide::ReleaseBuffer() {
  InputThread.reset();  // joined already; the buffer goes only after the thread
  RxBuffer.reset();
}

int TReceiveSide::Drain(const SampleSink& sink) {
  if (!InputThread) return 0;
  return DrainDecoder(*InputThread, ReadPos, sink);
}

void TReceiveSide::ChangeComPort(int port) {
  ComPortChosen(SetComPortFields(port));
}

void TReceiveSide::ComPortChosen(bool changed) {
  if (!InputThread) return;
  // The port already chosen is left alone while it works; one that has failed or gone
  // (an unplugged adapter) is opened again.
  const bool working = Link.ComHandle && !InputThread->PortFailed.load();
  if (!changed && working) return;
  Link.ClosePort(*InputThread);
  Link.OpenPort(*InputThread);
}

void TReceiveSide::StartupAndReopen() {
  if (!InputThread) return;
  Link.InterfaceStartup();
  Link.ClosePort(*InputThread);
  Link.OpenPort(*InputThread);
}

bool TReceiveSide::RestartBuffer() {
  if (!InputThread) return false;
  InputThread->ResetWritePos();
  ReadPos = 0;
  return true;
}

std::int32_t TReceiveSide::BytesWritten() const {
  return InputThread ? InputThread->WritePos.load() : 0;
}

std::uint8_t TReceiveSide::ByteAt(std::int32_t index) const {
  return InputThread ? InputThread->ByteAt(index) : 0;
}

}  // namespace zarvo
