#pragma once
#include <string>

namespace zarvo {

inline constexpr double kProgramVersion = 1.02;

// "Version %.3f", without the third decimal when it is 0: 1.02 reads "Version 1.02".
std::string VersionText(double version = kProgramVersion);

}  // namespace zarvo
