// main() of the window tests: one application object on Qt's offscreen platform.
#include <gtest/gtest.h>

#include "app/MainProg.h"
#include "support/Pty.h"
#include "support/TempDir.h"

namespace {

// Every test starts a new run: closing the main window in one test (destroying the reception
// window does) must not end the loops of the next.
class NewRunPerTest final : public ::testing::EmptyTestEventListener {
  void OnTestStart(const ::testing::TestInfo&) override { zarvo::ResetRunState(); }
};

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  // Per-user values (the help folder) go to a folder of this run's own: neither the user's
  // settings nor another test run's, which may be writing its own at the same time.
  const zarvo::test::TempDir config;
  setenv("XDG_CONFIG_HOME", config.Path().c_str(), 1);
  // Every COM port is one pseudo-terminal: never a real serial port of the test machine.
  zarvo::test::Pty line;
  for (int n = 1; n <= 4; ++n)
    setenv(("ZARVO_COM" + std::to_string(n)).c_str(), line.SlavePath().c_str(), 1);
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::UnitTest::GetInstance()->listeners().Append(new NewRunPerTest);
  zarvo::TZarvoApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  return RUN_ALL_TESTS();
}
