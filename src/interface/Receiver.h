#pragma once
// The receive side of the reception window: the buffer, the input thread, the serial link and
// the decoder's read position, with their creation and destruction steps.
#include <cstdint>
#include <functional>
#include <memory>

#include "interface/InThread.h"
#include "interface/SerialLink.h"

namespace zarvo {

class TReceiveSide {
 public:
  ~TReceiveSide();

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
  // The port part of a type change: the start-up sequence of the type now in the record over
  // the port still open with the old line settings, then close and open with the new ones.
  void StartupAndReopen();

  std::unique_ptr<std::uint8_t[]> RxBuffer;
  std::unique_ptr<InThread> InputThread;
  TSerialLink Link;
  std::int32_t ReadPos = 0;
};

// Record-only parts of the two changes, shared with the configuration window's creation.
bool SetComPortFields(int port);  // false when `port` is the one already chosen
void SetInterfaceTypeFields(int type);

// True when the system has a monotonic clock of at least microsecond resolution.
bool HighResolutionClockPresent();

}  // namespace zarvo
