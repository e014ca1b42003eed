#include "settings/ToneMeasurement.h"

#include <algorithm>
#include <thread>

namespace zarvo {
ToneMeasurement::ToneMeasurement(ReceiveControl* control) {
  if (control && control->RestartBuffer()) control_ = control;
}

bool ToneMeasurement::Wait(std::chrono::milliseconds limit) const {
  if (!control_) return false;
  const auto end = std::chrono::steady_clock::now() + limit;
  while (control_->BytesWritten() < kBytes) {
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

std::int32_t ToneMeasurement::Received() const {
  return control_ ? std::min(control_->BytesWritten(), kBytes) : 0;
}

std::int32_t ToneMeasurement::Average() const {
  if (!control_) return 0;
  std::int64_t sum = 0;
  for (std::int32_t i = 0; i < kBytes; ++i) sum += control_->ByteAt(i);
  return static_cast<std::int32_t>(sum / kBytes);
}

}  // namespace zarvo
