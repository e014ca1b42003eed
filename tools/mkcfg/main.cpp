// zarvo-mkcfg DESCRIPTION OUTPUT: writes the 1340-byte settings record that DESCRIPTION
// describes. The build uses it for the Zarvo.cfg installed beside the program.
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "settings/SettingsDescription.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: zarvo-mkcfg DESCRIPTION OUTPUT\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "zarvo-mkcfg: cannot read %s\n", argv[1]);
    return 1;
  }
  std::stringstream text;
  text << in.rdbuf();
  zarvo::TSettings record{};
  std::string error;
  if (!zarvo::ParseSettingsDescription(text.str(), record, error)) {
    std::fprintf(stderr, "%s: %s\n", argv[1], error.c_str());
    return 1;
  }
  std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(&record), sizeof record);
  out.close();
  if (!out) {
    std::fprintf(stderr, "zarvo-mkcfg: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
