#pragma once
#include <cstdint>

namespace zarvo {

inline constexpr unsigned kWmSysCommand = 0x0112;
inline constexpr std::uintptr_t kScScreenSave = 0xF140;

// The application-wide message rule: while the screen saver is disabled, the system command
// that would start it is swallowed (true = discard); every other message passes.
bool DiscardSystemMessage(bool disableSaver, unsigned message, std::uintptr_t parameter);

}  // namespace zarvo
