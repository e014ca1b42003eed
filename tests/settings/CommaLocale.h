#pragma once
// Numbers as a German desktop writes them: LC_NUMERIC switched to de_DE.UTF-8 (decimal comma)
// for one scope and back. The locale comes from the system, or from the folder in the build
// tree where the build generated it when the system lacks it.
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <string>

namespace zarvo::test {

class CommaNumbers {
 public:
  CommaNumbers() : previous_(std::setlocale(LC_NUMERIC, nullptr)) {
    // glibc looks at LOCPATH when it loads a locale; afterwards the variable can go again.
    const char* oldPath = std::getenv("LOCPATH");
    const std::string kept = oldPath ? oldPath : "";
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8") && *ZARVO_TEST_LOCPATH) {
      setenv("LOCPATH", ZARVO_TEST_LOCPATH, 1);
      std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
      oldPath ? setenv("LOCPATH", kept.c_str(), 1) : unsetenv("LOCPATH");
    }
  }
  ~CommaNumbers() { std::setlocale(LC_NUMERIC, previous_.c_str()); }

  // False when the locale could be neither found nor built (no `locales` package).
  bool Active() const { return std::strcmp(std::localeconv()->decimal_point, ",") == 0; }
  static constexpr const char* kMissing =
      "de_DE.UTF-8 is not installed and could not be built here (install the 'locales' package)";

 private:
  std::string previous_;
};

}  // namespace zarvo::test
