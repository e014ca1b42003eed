// zarvo-decode: decodes a recording of interface bytes with the receiver's own decoder.

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <vector>

#include "decode/DecodeRun.h"

int main(int argc, char** argv) {
  using namespace zarvo::decode;
  std::vector<std::string> args(argv + 1, argv + argc);
  for (const auto& a : args)
    if (a == "--help" || a == "-h") {
      std::fputs(DecodeUsage().c_str(), stdout);
      return 0;
    }
  DecodeOptions options;
  std::string input, error;
  if (!ParseDecodeOptions(args, options, input, error)) {
    std::fprintf(stderr, "zarvo-decode: %s\n\n%s", error.c_str(), DecodeUsage().c_str());
    return 2;
  }
  std::FILE* in = input == "-" ? stdin : std::fopen(input.c_str(), "rb");
  if (!in) {
    std::fprintf(stderr, "zarvo-decode: cannot read %s\n", input.c_str());
    return 2;
  }
  std::error_code folderError;
  if (!std::filesystem::is_directory(options.OutDir, folderError)) {
    std::fprintf(stderr, "zarvo-decode: no folder %s\n", options.OutDir.c_str());
    if (in != stdin) std::fclose(in);
    return 2;
  }

  const auto started = std::chrono::steady_clock::now();
  DecodeRun run(options, [](const std::string& line) { std::printf("%s\n", line.c_str()); });
  std::vector<std::uint8_t> buffer(1 << 16);
  std::size_t n;
  while ((n = std::fread(buffer.data(), 1, buffer.size(), in)) > 0) run.Feed(buffer.data(), n);
  const bool readFailed = std::ferror(in) != 0;
  if (in != stdin) std::fclose(in);
  run.Finish();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  const double streamSeconds = run.StreamMs() / 1000.0;
  std::printf("%llu samples, %.1f s of stream, decoded in %.3f s: %zu fax(es) saved\n",
              static_cast<unsigned long long>(run.Samples()), streamSeconds, seconds,
              run.Saved().size());
  if (readFailed) {
    std::fprintf(stderr, "zarvo-decode: error reading %s\n", input.c_str());
    return 2;
  }
  return run.Errors().empty() ? 0 : 1;
}
