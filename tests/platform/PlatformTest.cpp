// The platform's small rules: the message helpers (texts, titles and icons of the boxes, the
// guards against nested errors and repeated fatal reports, the length limit), the program's
// folder and the user's data folder, the window placement, the screen-saver rule and the version
// text.
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>
#include <filesystem>

#include "app/Version.h"
#include "platform/DataFolder.h"
#include "platform/Messages.h"
#include "platform/ProgramFolder.h"
#include "platform/ScreenSaverRule.h"
#include "platform/WindowPlacement.h"
#include "support/RecordingBoxes.h"
#include "support/TempDir.h"

namespace zarvo {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;
const std::string kTooLong = "ReportNote: Text too long\n\nZarvo Meteo will now shutdown...";

class MessagesTest : public ::testing::Test {
 protected:
  void SetUp() override { errno = 0; }
  // Each box as its icon (Error, Information, Question), title and text; or its text alone.
  Strings Shown(bool whole = false) const {
    Strings shown;
    for (const auto& b : boxes.Shown)
      shown.push_back(whole ? "EIQ"[static_cast<int>(b.Icon)] + (" " + b.Title + ": " + b.Text)
                            : b.Text);
    return shown;
  }
  test::RecordingBoxes boxes;
};

// Formatted texts under the program's title. An error raised while an error box is open is
// dropped for good; notes are not guarded. An exception's report ends with a period.
TEST_F(MessagesTest, BoxesAndTheNestedErrorGuard) {
  boxes.WhileOpen = [](const test::ShownBox& box) {
    if (box.Text != "COM3 failed") return;
    ReportError("second error");
    ReportNote("%d faxes", 3);
  };
  ReportError("%s failed", "COM3");
  boxes.Answer = false;
  EXPECT_FALSE(ReportQuestion("Exit %s?", "Zarvo Meteo"));
  ReportError("after the box closed");
  for (const char* what : {"Ends.", "", static_cast<const char*>(nullptr)})
    ShowExceptionReport(what);
  EXPECT_EQ(Shown(true),
            (Strings{"E Zarvo Meteo: COM3 failed", "I Zarvo Meteo: 3 faxes",
                     "Q Zarvo Meteo: Exit Zarvo Meteo?", "E Zarvo Meteo: after the box closed",
                     "E Zarvo Meteo: Ends.", "E Zarvo Meteo: Unknown error.",
                     "E Zarvo Meteo: Unknown error."}));
  EXPECT_EQ(boxes.CloseCount, 0);
}

// Only the first fatal report is shown, its text unchanged (it is no format), and the main window
// closed once.
TEST_F(MessagesTest, OnlyTheFirstFatalReportIsShown) {
  ReportFatal("100% %s");
  ReportFatal("second");
  EXPECT_EQ(
      Shown(true),
      Strings{"E Zarvo Meteo fatal error message: 100% %s\n\nZarvo Meteo will now shutdown..."});
  EXPECT_EQ(std::pair(boxes.CloseCount, FatalReported()), std::pair(1, true));
}

// Texts over 1000 characters are fatal, then shown cut. The error's limit counts the "." and the
// system's text for the last error code; the box shows the message alone.
TEST_F(MessagesTest, OverlongTextsAreFatalAndCut) {
  const std::string x1000(1000, 'x'), x1001(1001, 'x'), e999(999, 'e'), e990(990, 'e');
  ReportNote("%s", x1000.c_str());
  ReportError("%s", e999.c_str());
  EXPECT_FALSE(FatalReported());
  EXPECT_TRUE(ReportQuestion("%s", x1001.c_str()));
  EXPECT_EQ(Shown(), (Strings{x1000, e999, kTooLong, x1000}));
  EXPECT_EQ(boxes.CloseCount, 1);
  ResetMessageState();
  boxes.Shown.clear();
  errno = ENOENT;
  ReportError("%s", e990.c_str());
  EXPECT_EQ(Shown(), (Strings{kTooLong, e990}));
}

// The screen saver's command is swallowed only while it is disabled; the version's third decimal
// is shown only when it is not zero.
TEST(SmallRules, ScreenSaverCommandAndVersionText) {
  EXPECT_TRUE(DiscardSystemMessage(true, 0x0112, 0xF140));
  EXPECT_FALSE(DiscardSystemMessage(false, 0x0112, 0xF140));
  EXPECT_FALSE(DiscardSystemMessage(true, 0x0112, 0xF060));  // SC_CLOSE passes
  EXPECT_FALSE(DiscardSystemMessage(true, 0x0111, 0xF140));  // not a system command
  EXPECT_EQ(VersionText(1.025) + ", " + VersionText(2.0), "Version 1.025, Version 2.00");
}

// The program's files are beside the executable unless a home is given; a folder counts as
// existing.
TEST(ProgramFolder, ExecutableFolderUnlessAHomeIsGiven) {
  const std::string exe = ExecutableFolder();
  ASSERT_TRUE(!exe.empty() && exe.back() == '/' && PathExists(exe));
  EXPECT_EQ(ProgramFile("Zarvo.cfg"), exe + "Zarvo.cfg");
  test::TempDir home;
  SetProgramFolder(home.Path() + "/");  // the slash is not doubled
  EXPECT_EQ(ProgramFile("x"), home.File("x"));
  SetProgramFolder("");
  EXPECT_EQ(std::pair(ProgramFolder(), PathExists("")), std::pair(exe, false));
}

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

// The window ends inside the screen (1280 x 800, frame 10 x 30); the position has no lower bound,
// and sizes from a damaged file are made usable.
TEST(WindowPlacement, PulledBackToTheScreen) {
  const std::array<int, 8> cases[] = {
      // left, top, width, height as stored, and as placed
      {20, 30, 600, 400, 20, 30, 600, 400},
      {2000, 700, 600, 400, 670, 370, 600, 400},  // 1280 - 610, 800 - 430
      {5, 5, 3000, 2000, 0, 0, 1270, 770},        // outer size held to the screen
      {-300, -50, 200, 100, -300, -50, 200, 100},
      {INT_MAX, INT_MIN, INT_MAX, -50, 0, INT_MIN, 1270, 1}};
  for (const auto& c : cases) {
    const WindowPlacement p = PlaceWindow(c[0], c[1], c[2], c[3], 10, 30, 1280, 800);
    EXPECT_EQ((std::array{p.Left, p.Top, p.ClientWidth, p.ClientHeight}),
              (std::array{c[4], c[5], c[6], c[7]}))
        << c[0] << ", " << c[1];
  }
}

}  // namespace
}  // namespace zarvo
