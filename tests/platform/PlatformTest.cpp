#include <gtest/gtest.h>

#include <array>
#include <climits>

#include "platform/ProgramFolder.h"
#include "platform/WindowPlacement.h"
#include "support/TempDir.h"

namespace zarvo {
namespace {

// The program's files are beside the executable unless a home is given; a folder counts as
// existing.
TEST(ProgramFolder, ExecutableFolderUnlessAHomeIsGiven) {
  const std::string exe = ExecutableFolder();
  ASSERT_TRUE(!exe.empty() && exe.back() == '/' && PathExists(exe));
  EXPECT_EQ(ProgramFile("Zarvo.cfg"), exe + "Zarvo.cfg");
  test::TempDir home;
  SetProgramFolder(home.Path());
  EXPECT_EQ(std::pair(ProgramFile("x"), PathExists(home.Path())), std::pair(home.File("x"), true));
  SetProgramFolder(home.Path() + "/");
  EXPECT_EQ(ProgramFile("x"), home.File("x"));
  SetProgramFolder("");
  EXPECT_EQ(ProgramFolder(), exe);
  EXPECT_FALSE(PathExists(""));
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
