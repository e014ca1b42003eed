#pragma once
// The file operations that need the operating system's own calls: exclusive creation, reads that
// tell a folder from a file, the running program's path. Everything else uses std::filesystem.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zarvo {

enum class WriteResult { Written, Exists, Failed };

// Writes `bytes` to `path`, replacing a file there, or with `exclusive` only when nothing is
// there yet (Exists otherwise). A file that could not be written whole is removed; errno then
// tells why.
// Writes all of `bytes` to the open file `fd`, through short writes and interruptions; on failure
// errno tells why (ENOSPC for a write that took nothing).
bool WriteAll(int fd, const std::vector<std::uint8_t>& bytes);

WriteResult WriteWholeFile(const std::string& path, const std::vector<std::uint8_t>& bytes,
                           bool exclusive);

enum class ReadResult { Read, Failed, TooLarge };

// Reads the whole file at `path` into `bytes`, stopping at `maxSize` (TooLarge). A folder or a
// file that cannot be opened or read is Failed.
ReadResult ReadWholeFile(const std::string& path, std::size_t maxSize,
                         std::vector<std::uint8_t>& bytes);

// The folder of the running program's file, with a trailing '/'; "" when it cannot be told.
std::string ExecutableFolder();

}  // namespace zarvo
