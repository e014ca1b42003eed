#include "platform/DataFolder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "support/TempDir.h"

namespace zarvo {
namespace {

namespace fs = std::filesystem;

// The user's data folder from XDG_DATA_HOME (only an absolute one) or the home. --home wins; a
// folder beside the program that holds the settings keeps them (a build tree); an installed
// program without them goes to the user's data folder, a build tree without them stays where it
// reports them missing. (Where the installed program looks from its bin/: InstallTest.)
TEST(DataFolder, ChoosesWhereTheSettingsLive) {
  EXPECT_EQ(UserDataFolder("/x/data/", "/home/u"), "/x/data/zarvo-meteo/");
  EXPECT_EQ(UserDataFolder("", "/home/u"), "/home/u/.local/share/zarvo-meteo/");
  EXPECT_EQ(UserDataFolder("rel/data", "/home/u/"), "/home/u/.local/share/zarvo-meteo/");
  test::TempDir dir;
  const std::string bin = dir.File("bin/");
  fs::create_directories(dir.File("share/zarvo-meteo"));
  const struct {
    const char* Beside;  // what is beside the program under the settings' name
    bool Installed;      // the default settings in share/zarvo-meteo
    const char* Home;
    std::string Folder;  // "": the user's data folder
  } cases[] = {{"file", true, "/h", "/h/"},
               {"file", true, "", bin},
               {"none", true, "", ""},
               {"folder", true, "", ""},
               {"none", false, "", bin}};
  for (const auto& c : cases) {
    fs::remove_all(bin);
    fs::create_directory(bin);
    fs::remove(dir.File("share/zarvo-meteo/Zarvo.cfg"));
    if (std::string(c.Beside) == "file") dir.Write("bin/Zarvo.cfg", {1});
    if (std::string(c.Beside) == "folder") fs::create_directory(bin + "Zarvo.cfg");
    if (c.Installed) dir.Write("share/zarvo-meteo/Zarvo.cfg", {1});
    const DataFolderChoice choice = ChooseDataFolder(c.Home, bin, "Zarvo.cfg");
    SCOPED_TRACE(std::string(c.Beside) + (c.Installed ? " installed " : " ") + c.Home);
    EXPECT_EQ(choice.UserFolder, c.Folder.empty());
    EXPECT_EQ(c.Folder.empty() ? "" : choice.Folder, c.Folder);
  }
  if (geteuid() == 0) return;  // root may write anything
  dir.Write("share/zarvo-meteo/Zarvo.cfg", {1});
  dir.Write("bin/Zarvo.cfg", {1});
  fs::permissions(bin + "Zarvo.cfg", fs::perms::owner_read);
  EXPECT_TRUE(ChooseDataFolder("", bin, "Zarvo.cfg").UserFolder);
}

// The first start makes the folder, the settings from a read-only default and Auto; a later one
// keeps what is there. A failure names the path and the system's reason and makes nothing more.
TEST(DataFolder, FirstStartMakesTheFolderOnce) {
  test::TempDir dir;
  const std::vector<unsigned char> installed = {7, 8, 9}, edited = {1, 8, 9};
  dir.Write("Zarvo.cfg", installed);
  fs::permissions(dir.File("Zarvo.cfg"), fs::perms::owner_read);
  const std::string folder = dir.File("data/zarvo-meteo/");
  for (const bool first : {true, false}) {
    const DataFolderStart start = PrepareDataFolder(folder, dir.File("Zarvo.cfg"));
    EXPECT_EQ(std::tuple(start.Error, start.AutoMade, fs::is_directory(folder + "Auto")),
              std::tuple("", first, true));
    EXPECT_EQ(dir.Read("data/zarvo-meteo/Zarvo.cfg"), first ? installed : edited);
    EXPECT_NE(fs::status(folder + "Zarvo.cfg").permissions() & fs::perms::owner_write,
              fs::perms::none);
    dir.Write("data/zarvo-meteo/Zarvo.cfg", edited);
  }

  dir.Write("file", {1});
  EXPECT_EQ(PrepareDataFolder(dir.File("file/z"), dir.File("Zarvo.cfg")).Error,
            "Cannot create the folder \"" + dir.File("file/z") + "\": Not a directory");
  const DataFolderStart start = PrepareDataFolder(dir.File("new"), dir.File("none.cfg"));
  EXPECT_EQ(start.Error, "Cannot copy \"" + dir.File("none.cfg") + "\" to \"" +
                             dir.File("new/none.cfg") + "\": No such file or directory");
  EXPECT_FALSE(fs::exists(dir.File("new/Auto")));
}

}  // namespace
}  // namespace zarvo
