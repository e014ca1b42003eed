#pragma once
// A fresh folder under /tmp, removed with everything in it at the end of the test.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "audio/AudioFile.h"

namespace zarvo::test {

class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "zarvo-test-XXXXXX").string();
    path_ = mkdtemp(pattern.data()) ? pattern : std::string();
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

  void Write(const std::string& name, const std::vector<unsigned char>& bytes) const {
    std::ofstream out(File(name), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
  }
  // A recording of `samples` at `rate`, in the format its name's extension asks for; its path.
  std::string WriteSound(const std::string& name, const std::vector<float>& samples,
                         int rate) const {
    AudioFileWriter writer;
    std::string error;
    EXPECT_TRUE(writer.Create(File(name), rate, error) &&
                writer.Write(samples.data(), samples.size(), error) && writer.Close(error))
        << error;
    return File(name);
  }
  std::vector<unsigned char> Read(const std::string& name) const {
    std::ifstream in(File(name), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

 private:
  std::string path_;
};

}  // namespace zarvo::test
