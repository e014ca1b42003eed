// The installed tree: cmake --install into a fresh prefix holds the programs and everything they
// look for, and the installed program's first start in a fresh home makes the user's data folder
// from the installed default and runs on it.
#include <gtest/gtest.h>

#include "platform/DataFolder.h"
#include "platform/Help.h"
#include "settings/SettingsFile.h"
#include "support/ProgramRun.h"

namespace zarvo {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

TEST(Install, InstalledProgramMakesTheUserDataFolder) {
  test::TempDir prefix, home;
  const auto install = test::Shell(std::string(ZARVO_CMAKE) + " --install " + ZARVO_BUILD_DIR +
                                   " --prefix " + prefix.Path());
  ASSERT_EQ(install.Code, 0) << install.Text;

  const std::string bin = prefix.File("bin/");
  const std::string own = prefix.File("share/zarvo-meteo/");
  EXPECT_EQ(InstalledDataFolder(bin), own);  // where the program looks from bin/
  for (const int topic :
       {kHelpGettingStarted, kHelpReception, kHelpSpectrum, kHelpViewer, kHelpConfiguration})
    EXPECT_TRUE(fs::is_regular_file(own + "help/" + HelpPageName(topic))) << topic;
  EXPECT_EQ(fs::file_size(own + kSettingsFileName), kSettingsSize);
  // The rest of the tree: the programs, their man pages, the menu entry, metainfo and icons.
  std::vector<std::string> files = {"share/applications/org.zarvo.ZarvoMeteo.desktop",
                                    "share/metainfo/org.zarvo.ZarvoMeteo.metainfo.xml"};
  for (const std::string program : {"zarvo-meteo", "zarvo-decode", "zarvo-sim"})
    files.insert(files.end(), {"bin/" + program, "share/man/man1/" + program + ".1.gz"});
  for (const std::string size : {"16", "22", "24", "32", "48", "64", "128", "256"})
    files.push_back("share/icons/hicolor/" + size + "x" + size + "/apps/org.zarvo.ZarvoMeteo.png");
  for (const auto& file : files) EXPECT_FALSE(prefix.Read(file).empty()) << file;

  // The first start, every COM port a pseudo-terminal. Once the program reads its port it has
  // loaded the settings from the data folder; the end writes them back there.
  test::Pty line;
  auto env = test::OffscreenEnv(home, line);
  env.push_back("XDG_DATA_HOME=" + home.File("data"));
  const test::Child child = test::StartProcess({bin + "zarvo-meteo"}, env);
  ASSERT_GT(child.Pid, 0);
  test::WaitForTermHandler(child.Pid);
  EXPECT_TRUE(test::WaitForOpenDevice(child.Pid, line.SlavePath()));
  kill(child.Pid, SIGTERM);
  EXPECT_EQ(test::WaitFor(child.Pid, 20s), 0);
  close(child.OutFd);

  const std::string data = home.File("data/zarvo-meteo/");
  EXPECT_EQ(fs::file_size(data + kSettingsFileName), kSettingsSize);
  EXPECT_TRUE(fs::is_directory(data + "Auto"));
  // Nothing beside the installed program.
  EXPECT_FALSE(fs::exists(bin + kSettingsFileName) || fs::exists(bin + "Auto"));
}

}  // namespace
}  // namespace zarvo
