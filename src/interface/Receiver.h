#pragma once
// The receive side of the reception window: the buffer, the input thread, the serial link and
// the decoder's read position, with their creation and destruction steps.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "interface/InThread.h"
#include "interface/SerialLink.h"
#include "settings/ReceiveControl.h"

namespace zarvo {

// While it exists it is the receive side in use: the configuration window's changes and the
// spectrum reach it through ActiveReceiveSide.
class TReceiveSide final : public ReceiveControl {
 public:
  TReceiveSide();
  ~TReceiveSide() override;
  TReceiveSide(const TReceiveSide&) = delete;
  TReceiveSide& operator=(const TReceiveSide&) = delete;

  // Buffer, thread (created suspended, buffer cleared), clock check, OpenPort. False after a
  // fatal report; the window then goes on without input.
  bool Create();
  // Destruction, in the window's order: the thread first, then (after the geometry is stored)
  // the shut-down commands, then the buffer.
  void TerminateThread();
  void ReleaseBuffer();

  // The decoder's drain: every byte available to it, in order.
  int Drain(const SampleSink& sink);

  // The configuration window's port change (1..4). Choosing the port already chosen does
  // nothing while that port works, and reopens it when it has failed. Without a created receive
  // side only the record changes.
  void ChangeComPort(int port);
  void ComPortChosen(bool changed) override;
  // The port part of a type change: the start-up sequence of the type now in the record over
  // the port still open with the old line settings, then close and open with the new ones.
  void StartupAndReopen();
  void InterfaceTypeChanged() override { StartupAndReopen(); }

  // The writer starts again at the buffer's first byte, and the decoder's reader with it rather
  // than waiting for it to come round.
  bool RestartBuffer() override;
  std::int32_t BytesWritten() const override;
  std::uint8_t ByteAt(std::int32_t index) const override;

  // Plays a recording in place of the input until it ends or StopPlaying: the input is closed
  // meanwhile, the sound's calibration in use, and the input chosen opened again afterwards.
  // `name` is the recording's, for the messages.
  void Play(std::shared_ptr<SerialPort> recording, const std::string& name);
  void StopPlaying();
  bool Playing() const { return recording_ != nullptr; }
  // The bytes written that the decoder has not taken yet; asked by a recording played as fast as
  // the decoder goes, on the input thread.
  std::int32_t Backlog() const;
  // The window's timer: a recording played to its end makes way for the input (true then), and a
  // sound input or recording whose reads fail is reported once.
  bool Poll();

  std::unique_ptr<std::uint8_t[]> RxBuffer;
  std::unique_ptr<InThread> InputThread;
  TSerialLink Link;
  std::int32_t ReadPos = 0;

 private:
  void ReportFailure();

  std::shared_ptr<SerialPort> recording_;
  std::string recordingName_;
  std::atomic<std::int32_t> decoderPos_{0};  // ReadPos, for the input thread
  bool failureReported_ = false;
};

// The receive side in use, null while there is none.
TReceiveSide* ActiveReceiveSide();

// True when the system has a monotonic clock of at least microsecond resolution.
bool HighResolutionClockPresent();

}  // namespace zarvo
