#pragma once
// What the configuration window asks of the receive side without knowing it: its interface and
// port choices act on the open port, and the tone measurement reads the bytes that come in. The
// reception window's receive side answers while it exists; before it does, only the record
// changes.
#include <cstdint>

namespace zarvo {

class ReceiveControl {
 public:
  virtual ~ReceiveControl() = default;
  // The record holds a new interface type: its start-up sequence over the port still open, then
  // the port opened again with the new line settings.
  virtual void InterfaceTypeChanged() = 0;
  // The record's port has been chosen, `changed` when it is another one than before: opened
  // anew then, or when the one chosen has failed.
  virtual void ComPortChosen(bool changed) = 0;
  // Starts filling the buffer again at its first byte, its readers with it; false when there is
  // no buffer to fill.
  virtual bool RestartBuffer() = 0;
  // The bytes written since the restart, and each of them.
  virtual std::int32_t BytesWritten() const = 0;
  virtual std::uint8_t ByteAt(std::int32_t index) const = 0;
};

// The receive side in use; nullptr while there is none.
void SetReceiveControl(ReceiveControl* control);
ReceiveControl* CurrentReceiveControl();

}  // namespace zarvo
