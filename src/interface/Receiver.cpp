#include "interface/Receiver.h"

#include <time.h>

#include <new>
#include <system_error>

#include "platform/Messages.h"
#include "settings/Settings.h"
#include "settings/SoundInput.h"

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
  if (recording_) {
    recording_.reset();
    SetRecordingPlaying(false);
    UpdateSoundCalibration();
  }
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
  decoderPos_.store(0);
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
  const int taken = DrainDecoder(*InputThread, ReadPos, sink);
  decoderPos_.store(ReadPos, std::memory_order_relaxed);
  return taken;
}

std::int32_t TReceiveSide::Backlog() const {
  if (!InputThread) return 0;
  const std::int32_t written = InputThread->WritePos.load(std::memory_order_relaxed);
  const std::int32_t read = decoderPos_.load(std::memory_order_relaxed);
  return written >= read ? written - read : written + RxBufferSize - read;
}

void TReceiveSide::Play(std::shared_ptr<SerialPort> recording, const std::string& name) {
  if (!InputThread || !recording) return;
  if (recording_) {
    InputThread->Suspend();
  } else {
    Link.ClosePort(*InputThread);
  }
  recording_ = std::move(recording);
  recordingName_ = name;
  SetRecordingPlaying(true);
  UpdateSoundCalibration();
  failureReported_ = false;
  InputThread->Resume(recording_);
}

void TReceiveSide::StopPlaying() {
  if (!recording_ || !InputThread) return;
  InputThread->Suspend();
  recording_.reset();
  SetRecordingPlaying(false);
  UpdateSoundCalibration();
  failureReported_ = false;
  Link.OpenPort(*InputThread);
}

bool TReceiveSide::Poll() {
  if (!InputThread) return false;
  if (recording_ && recording_->Ended()) {
    StopPlaying();
    return true;
  }
  // Noted before the report: its message box runs the event loop, and this timer with it.
  const bool failed = InputThread->PortFailed.load(std::memory_order_relaxed);
  const bool report = failed && !failureReported_;
  failureReported_ = failed;
  if (report) ReportFailure();
  return false;
}

void TReceiveSide::ReportFailure() {
  // A serial port that has gone is found again by choosing it; a sound source or a recording
  // can say why it stopped, and the user would not otherwise know.
  if (recording_) {
    const std::string reason = recording_->FailureReason();
    ReportError("The recording \"%s\" could not be played to its end: %s.", recordingName_.c_str(),
                reason.empty() ? "read error" : reason.c_str());
    StopPlaying();
    return;
  }
  if (!SoundInput().Chosen || !Link.ComHandle) return;
  const std::string reason = Link.ComHandle->FailureReason();
  ReportError(
      "The sound input \"%s\" has stopped: %s.\nChoose Sound card again in the configuration "
      "menu to reopen it.",
      SoundSourceLabel().c_str(), reason.empty() ? "read error" : reason.c_str());
}

void TReceiveSide::ChangeComPort(int port) {
  ComPortChosen(SetComPortFields(port));
}

void TReceiveSide::ComPortChosen(bool changed) {
  if (!InputThread) return;
  // A new choice ends the recording being played; the input chosen is opened after it.
  if (recording_) {
    StopPlaying();
    return;
  }
  // The port already chosen is left alone while it works; one that has failed or gone
  // (an unplugged adapter) is opened again.
  const bool working = Link.ComHandle && !InputThread->PortFailed.load();
  if (!changed && working) return;
  Link.ClosePort(*InputThread);
  Link.OpenPort(*InputThread);
}

void TReceiveSide::StartupAndReopen() {
  // While a recording plays the port is closed; the new type's port opens when it ends.
  if (!InputThread || recording_) return;
  Link.InterfaceStartup();
  Link.ClosePort(*InputThread);
  Link.OpenPort(*InputThread);
}

bool TReceiveSide::RestartBuffer() {
  if (!InputThread) return false;
  InputThread->ResetWritePos();
  ReadPos = 0;
  decoderPos_.store(0);
  return true;
}

std::int32_t TReceiveSide::BytesWritten() const {
  return InputThread ? InputThread->WritePos.load() : 0;
}

std::uint8_t TReceiveSide::ByteAt(std::int32_t index) const {
  return InputThread ? InputThread->ByteAt(index) : 0;
}

}  // namespace zarvo
