#pragma once
// The one exception type for failures of the platform's file, bitmap and printer operations.
// It travels up to the event loop, which shows it in the standard exception report.
#include <stdexcept>
#include <string>

namespace zarvo {

class PlatformError : public std::runtime_error {
 public:
  explicit PlatformError(const std::string& what) : std::runtime_error(what) {}
};

}  // namespace zarvo
