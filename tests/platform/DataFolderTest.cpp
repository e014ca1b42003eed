#include "platform/DataFolder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "support/TempDir.h"

namespace zarvo {
namespace {

namespace fs = std::filesystem;

TEST(DataFolder, PathsFromTheEnvironmentAndTheProgram) {
  EXPECT_EQ(UserDataFolder("/x/data", "/home/u"), "/x/data/zarvo-meteo/");
  EXPECT_EQ(UserDataFolder("/x/data/", "/home/u"), "/x/data/zarvo-meteo/");
  EXPECT_EQ(UserDataFolder("", "/home/u"), "/home/u/.local/share/zarvo-meteo/");
  EXPECT_EQ(UserDataFolder("rel/data", "/home/u/"), "/home/u/.local/share/zarvo-meteo/");
  EXPECT_EQ(InstalledDataFolder("/usr/bin/"), "/usr/share/zarvo-meteo/");
  EXPECT_EQ(InstalledDataFolder("/opt/z/bin"), "/opt/z/share/zarvo-meteo/");
}

class DataFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* old = std::getenv("XDG_DATA_HOME");
    if (old) saved_ = old;
    hadValue_ = old != nullptr;
    setenv("XDG_DATA_HOME", dir.File("data").c_str(), 1);
    fs::create_directory(dir.File("bin"));
  }
  void TearDown() override {
    if (hadValue_)
      setenv("XDG_DATA_HOME", saved_.c_str(), 1);
    else
      unsetenv("XDG_DATA_HOME");
  }
  test::TempDir dir;
  std::string saved_;
  bool hadValue_ = false;
};

// --home wins; a folder beside the program that holds the settings keeps them (a build tree);
// an installed program without them goes to the user's data folder, a build tree without them
// stays where it reports them missing.
TEST_F(DataFolderTest, ChoosesWhereTheSettingsLive) {
  const std::string bin = dir.File("bin") + "/", user = dir.File("data") + "/zarvo-meteo/";
  const std::string installed = dir.File("share/zarvo-meteo/Zarvo.cfg");
  const struct {
    const char* Beside;  // what is beside the program under the settings' name
    bool Installed;      // the default settings in share/zarvo-meteo
    const char* Home;
    std::string Folder;
    bool UserFolder;
  } cases[] = {{"file", true, "/h", "/h/", false},
               {"file", true, "", bin, false},
               {"none", true, "", user, true},
               {"folder", true, "", user, true},
               {"none", false, "", bin, false}};
  fs::create_directories(dir.File("share/zarvo-meteo"));
  for (const auto& c : cases) {
    fs::remove_all(bin + "Zarvo.cfg");
    fs::remove(installed);
    if (std::string(c.Beside) == "file") dir.Write("bin/Zarvo.cfg", {1, 2});
    if (std::string(c.Beside) == "folder") fs::create_directory(bin + "Zarvo.cfg");
    if (c.Installed) dir.Write("share/zarvo-meteo/Zarvo.cfg", {1, 2});
    const DataFolderChoice choice = ChooseDataFolder(c.Home, bin, "Zarvo.cfg");
    EXPECT_EQ(choice.Folder, c.Folder) << c.Beside << " " << c.Installed << " " << c.Home;
    EXPECT_EQ(choice.UserFolder, c.UserFolder) << c.Beside << " " << c.Installed << " " << c.Home;
  }
  if (geteuid() == 0) return;  // root may write anything
  dir.Write("share/zarvo-meteo/Zarvo.cfg", {1, 2});
  dir.Write("bin/Zarvo.cfg", {1, 2});
  fs::permissions(bin + "Zarvo.cfg", fs::perms::owner_read);
  EXPECT_TRUE(ChooseDataFolder("", bin, "Zarvo.cfg").UserFolder);
}

// The first start makes the folder, the settings from a read-only default and Auto; a later one
// keeps what is there.
TEST_F(DataFolderTest, FirstStartMakesTheFolderOnce) {
  dir.Write("Zarvo.cfg", {7, 8, 9});
  fs::permissions(dir.File("Zarvo.cfg"), fs::perms::owner_read | fs::perms::group_read);
  const std::string folder = dir.File("data/zarvo-meteo/");
  DataFolderStart start = PrepareDataFolder(folder, dir.File("Zarvo.cfg"));
  EXPECT_EQ(start.Error, "");
  EXPECT_TRUE(start.AutoMade);
  EXPECT_TRUE(fs::is_directory(folder + "Auto"));
  EXPECT_EQ(dir.Read("data/zarvo-meteo/Zarvo.cfg"), (std::vector<unsigned char>{7, 8, 9}));
  EXPECT_NE(fs::status(folder + "Zarvo.cfg").permissions() & fs::perms::owner_write,
            fs::perms::none);

  dir.Write("data/zarvo-meteo/Zarvo.cfg", {1});
  start = PrepareDataFolder(folder, dir.File("Zarvo.cfg"));
  EXPECT_EQ(start.Error, "");
  EXPECT_FALSE(start.AutoMade);
  EXPECT_EQ(dir.Read("data/zarvo-meteo/Zarvo.cfg"), std::vector<unsigned char>{1});
}

// A failure names the path and the system's reason, and makes nothing after it.
TEST_F(DataFolderTest, FailuresNameThePathAndTheReason) {
  dir.Write("Zarvo.cfg", {1});
  dir.Write("file", {1});
  const struct {
    std::string Folder, Default, Error;
  } cases[] = {
      {dir.File("file/zarvo-meteo"), dir.File("Zarvo.cfg"),
       "Cannot create the folder \"" + dir.File("file/zarvo-meteo") + "\": Not a directory"},
      {dir.File("new"), dir.File("missing.cfg"),
       "Cannot copy \"" + dir.File("missing.cfg") + "\" to \"" + dir.File("new/missing.cfg") +
           "\": No such file or directory"},
  };
  for (const auto& c : cases) {
    const DataFolderStart start = PrepareDataFolder(c.Folder, c.Default);
    EXPECT_EQ(start.Error, c.Error);
    EXPECT_FALSE(start.AutoMade);
    EXPECT_FALSE(fs::exists(c.Folder + "/Auto"));
  }
}

}  // namespace
}  // namespace zarvo
