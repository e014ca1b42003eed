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
    bool switched = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
    if (!switched && *ZARVO_TEST_LOCPATH) {
      // glibc looks at LOCPATH when it loads a locale; afterwards the variable can go again.
      const char* oldPath = std::getenv("LOCPATH");
      const std::string kept = oldPath ? oldPath : "";
      setenv("LOCPATH", ZARVO_TEST_LOCPATH, 1);
      switched = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
      oldPath ? setenv("LOCPATH", kept.c_str(), 1) : unsetenv("LOCPATH");
    }
    active_ = switched && std::strcmp(std::localeconv()->decimal_point, ",") == 0;
  }
  ~CommaNumbers() { std::setlocale(LC_NUMERIC, previous_.c_str()); }
  CommaNumbers(const CommaNumbers&) = delete;
  CommaNumbers& operator=(const CommaNumbers&) = delete;

  // False when the locale could be neither found nor built (no `locales` package).
  bool Active() const { return active_; }
  static constexpr const char* kMissing =
      "de_DE.UTF-8 is not installed and could not be built here (install the 'locales' package)";

 private:
  std::string previous_;
  bool active_ = false;
};

}  // namespace zarvo::test
