#pragma once
#include <string>

#include "app/ProgramVersion.h"

namespace zarvo {

// "Version %.3f", without the third decimal when it is 0: 1.02 reads "Version 1.02".
std::string VersionText(double version = kProgramVersion);

}  // namespace zarvo
