#include "app/Version.h"

#include <cstdio>

namespace zarvo {

std::string VersionText(double version) {
  char text[64];
  std::snprintf(text, sizeof text, "Version %.3f", version);
  std::string result = text;
  if (!result.empty() && result.back() == '0') result.pop_back();
  return result;
}

}  // namespace zarvo
