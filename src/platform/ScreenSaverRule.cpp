#include "platform/ScreenSaverRule.h"

namespace zarvo {

bool DiscardSystemMessage(bool disableSaver, unsigned message, std::uintptr_t parameter) {
  return disableSaver && message == kWmSysCommand && parameter == kScScreenSave;
}

}  // namespace zarvo
