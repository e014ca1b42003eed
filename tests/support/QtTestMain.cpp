// main() of the window tests: one application object on Qt's offscreen platform.
#include <gtest/gtest.h>

#include <QStandardPaths>
#include <cstdlib>

#include "app/MainProg.h"

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  // Per-user values (the help folder) go to a test location, not the user's settings.
  QStandardPaths::setTestModeEnabled(true);
  ::testing::InitGoogleTest(&argc, argv);
  zarvo::TZarvoApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  return RUN_ALL_TESTS();
}
