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
  EXPECT_EQ(ProgramFile("Auto"), home.Path() + "/Auto");
  EXPECT_FALSE(PathExists(ProgramFile("Auto")));
  std::filesystem::create_directory(home.File("Auto"));
  EXPECT_TRUE(PathExists(ProgramFile("Auto")));  // a folder counts
  SetProgramFolder(home.Path() + "/");
  EXPECT_EQ(ProgramFile("x"), home.Path() + "/x");
  SetProgramFolder("");
  EXPECT_EQ(ProgramFolder(), exe);
  EXPECT_FALSE(PathExists(""));
}

TEST(WindowPlacement, PulledBackToTheScreenWithoutLowerBound) {
  // Fits: unchanged.
  WindowPlacement p = PlaceWindow(20, 30, 600, 400, 10, 30, 1280, 800);
  EXPECT_EQ(p.Left, 20);
  EXPECT_EQ(p.Top, 30);
  EXPECT_EQ(p.ClientWidth, 600);
  EXPECT_EQ(p.ClientHeight, 400);
  // Beyond the right and bottom edges: ends at the edge (1280 - 610, 800 - 430).
  p = PlaceWindow(2000, 700, 600, 400, 10, 30, 1280, 800);
  EXPECT_EQ(p.Left, 670);
  EXPECT_EQ(p.Top, 370);
  // Larger than the screen: outer size limited to it, then placed at 0.
  p = PlaceWindow(5, 5, 3000, 2000, 10, 30, 1280, 800);
  EXPECT_EQ(p.ClientWidth, 1270);
  EXPECT_EQ(p.ClientHeight, 770);
  EXPECT_EQ(p.Left, 0);
  EXPECT_EQ(p.Top, 0);
  // Negative positions stay.
  p = PlaceWindow(-300, -50, 200, 100, 0, 0, 1280, 800);
  EXPECT_EQ(p.Left, -300);
  EXPECT_EQ(p.Top, -50);
}

// Sizes from a damaged file are made usable; the position keeps its missing lower bound.
TEST(WindowPlacement, DamagedValuesGiveUsableSizes) {
  WindowPlacement p = PlaceWindow(INT_MAX, INT_MIN, INT_MAX, -50, 10, 30, 1280, 800);
  EXPECT_EQ(p.ClientWidth, 1270);
  EXPECT_EQ(p.ClientHeight, 1);
  EXPECT_EQ(p.Left, 0);
  EXPECT_EQ(p.Top, INT_MIN);
}

TEST(Help, PageNames) {
  EXPECT_EQ(HelpPageName(100), "topic-100.html");
  EXPECT_EQ(HelpPageName(kHelpConfiguration), "topic-5000.html");
}

}  // namespace
}  // namespace zarvo
