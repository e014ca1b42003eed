// Settings loader and description parser on arbitrary bytes: a damaged Zarvo.cfg or description
// must never read outside the record.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "settings/SettingsDescription.h"
#include "settings/SettingsFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = "/tmp/zarvo-fuzz-" + std::to_string(getpid()) + ".cfg";
  if (std::FILE* file = std::fopen(path.c_str(), "wb")) {
    std::fwrite(data, 1, size, file);
    std::fclose(file);
  }
  zarvo::TSettings record{};
  if (zarvo::ReadSettingsFile(path, record)) {
    std::size_t total = zarvo::TextOf(record.InterfaceName).size() +
                        zarvo::TextOf(record.ComPortName).size() +
                        zarvo::TextOf(record.ViewDir).size() + zarvo::TextOf(record.SaveDir).size();
    if (total > 16 + 16 + 256 + 256) __builtin_trap();
    zarvo::ApplyInterfaceTypeFields(record, record.InterfaceType);
  }
  std::string error;
  zarvo::TSettings described{};
  zarvo::ParseSettingsDescription(std::string_view(reinterpret_cast<const char*>(data), size),
                                  described, error);
  return 0;
}
