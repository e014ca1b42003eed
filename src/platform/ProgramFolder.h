#pragma once
#include <string>

#include "platform/PosixFiles.h"  // ExecutableFolder

namespace zarvo {

// Makes `folder` the program folder (for --home and tests); "" goes back to the executable's.
void SetProgramFolder(const std::string& folder);
// The program folder with its trailing '/'.
std::string ProgramFolder();

// `name` beside the program: ProgramFile("Zarvo.cfg").
std::string ProgramFile(const std::string& name);

// True if a file or folder of that name exists.
bool PathExists(const std::string& path);

}  // namespace zarvo
