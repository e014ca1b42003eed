#pragma once
// The audio calibration's measurement: the sample the interface gives for a tone applied to its
// input is the mean of the first 10000 bytes that arrive once the receive buffer has started
// again.
#include <chrono>
#include <cstdint>

#include "settings/ReceiveControl.h"

namespace zarvo {

class ToneMeasurement {
 public:
  static constexpr std::int32_t kBytes = 10000;

  // Restarts the receive side's buffer. Without a receive side, or one without a buffer, there
  // is nothing to measure: Started() is false.
  explicit ToneMeasurement(ReceiveControl* control);
  bool Started() const { return control_ != nullptr; }

  // Waits up to `limit` for the bytes still to come; true once all of them are in.
  bool Wait(std::chrono::milliseconds limit) const;
  // How many have come so far, at most kBytes.
  std::int32_t Received() const;
  // The mean of the kBytes bytes, as an integer division; for a measurement that has its bytes.
  std::int32_t Average() const;

 private:
  ReceiveControl* control_ = nullptr;
};

}  // namespace zarvo
