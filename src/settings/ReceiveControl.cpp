#include "settings/ReceiveControl.h"

namespace zarvo {
namespace {
ReceiveControl* currentControl = nullptr;
}

void SetReceiveControl(ReceiveControl* control) {
  currentControl = control;
}

ReceiveControl* CurrentReceiveControl() {
  return currentControl;
}

}  // namespace zarvo
