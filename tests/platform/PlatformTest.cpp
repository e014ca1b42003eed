#include <gtest/gtest.h>

#include <climits>

#include "platform/Help.h"
#include "platform/ProgramFolder.h"
#include "platform/WindowPlacement.h"
#include "support/TempDir.h"

namespace zarvo {
namespace {

TEST(ProgramFolder, ExecutableFolderUnlessAHomeIsGiven) {
  const std::string exe = ExecutableFolder();
  ASSERT_FALSE(exe.empty());
  EXPECT_EQ(exe.back(), '/');
  EXPECT_TRUE(PathExists(exe));
  EXPECT_EQ(ProgramFile("Zarvo.cfg"), exe + "Zarvo.cfg");
  test::TempDir home;
  SetProgramFolder(home.Path());
  EXPECT_FALSE(PathExists(ProgramFile("Auto")));
  std::filesystem::create_directory(home.Path() + "/Auto");
  EXPECT_TRUE(PathExists(ProgramFile("Auto")));  // a folder counts
  SetProgramFolder(home.Path() + "/");
  EXPECT_EQ(ProgramFile("x"), home.Path() + "/x");
  SetProgramFolder("");
  EXPECT_EQ(ProgramFolder(), exe);
  EXPECT_FALSE(PathExists(""));
}

// The window ends inside the screen (1280 x 800, frame 10 x 30); the position has no lower bound,
// and sizes from a damaged file are made usable.
TEST(WindowPlacement, PulledBackToTheScreen) {
  const struct {
    int Left, Top, Width, Height;
    WindowPlacement Placed;
  } cases[] = {
      {20, 30, 600, 400, {20, 30, 600, 400}},
      {2000, 700, 600, 400, {670, 370, 600, 400}},  // 1280 - 610, 800 - 430
      {5, 5, 3000, 2000, {0, 0, 1270, 770}},        // outer size held to the screen
      {-300, -50, 200, 100, {-300, -50, 200, 100}},
      {INT_MAX, INT_MIN, INT_MAX, -50, {0, INT_MIN, 1270, 1}},
  };
  for (const auto& c : cases) {
    const WindowPlacement p = PlaceWindow(c.Left, c.Top, c.Width, c.Height, 10, 30, 1280, 800);
    EXPECT_EQ(std::tie(p.Left, p.Top, p.ClientWidth, p.ClientHeight),
              std::tie(c.Placed.Left, c.Placed.Top, c.Placed.ClientWidth, c.Placed.ClientHeight))
        << c.Left << ", " << c.Top;
  }
}

TEST(Help, PageNames) {
  EXPECT_EQ(HelpPageName(kHelpConfiguration), "topic-5000.html");
}

}  // namespace
}  // namespace zarvo
