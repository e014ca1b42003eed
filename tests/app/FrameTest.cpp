// The program's frame run in-process: the splash, the windows made in order and destroyed in
// reverse, the about box, the settings file at the end, runs that go wrong, and the help pages.
#include <gtest/gtest.h>

#include <QtWidgets>

#include "app/MainProg.h"
#include "app/Splash.h"
#include "platform/Lifecycle.h"
#include "platform/ProgramFolder.h"
#include "platform/QtHelpViewer.h"
#include "reception/InVideo.h"
#include "reception/ModeDialog.h"
#include "settings/Config.h"
#include "spectrum/Spectrum.h"
#include "support/FreshState.h"
#include "support/ProgramRun.h"
#include "support/RealInput.h"
#include "viewer/DetailView.h"
#include "viewer/ViewPicture.h"

namespace zarvo {
namespace {

class RecordingHelp final : public HelpViewer {
 public:
  RecordingHelp() { SetHelpViewer(this); }
  ~RecordingHelp() override { SetHelpViewer(nullptr); }
  void ShowTopic(int topic) override { Topics.push_back(topic); }
  std::vector<int> Topics;
};

const char* kAllWindows =
    "+Main +Conf +InVid +Spec +ModeDlg +ViewPic +Detail -Detail -ViewPic -ModeDlg -Spec -InVid "
    "-Conf -Main";

struct FrameTest : test::FreshStateTest {
  void SetUp() override {
    std::filesystem::create_directory(dir.File("Auto"));
    ASSERT_TRUE(
        test::WriteSettingsRecord(dir, test::FirstTypeOnCom1(7) + "InVidWindow = 10 20 300 400\n"));
    options.Home = dir.Path();
    // Windows made and destroyed as "+Name" and "-Name"; start-up throws at `throwAt`.
    SetLifecycleObserver([this](const std::string& e) {
      if (e == throwAt) throw std::runtime_error("no spectrum today");
      if (e.find("SplashForm") != std::string::npos) return;
      events += (events.empty() ? "" : " ") + std::string(e[0] == 'c' ? "+" : "-") +
                e.substr(e.find(' ') + 1);
    });
  }
  void TearDown() override { SetLifecycleObserver(nullptr); }
  // Runs the program; `during` runs once every window is there, and must end the run (by default
  // it just does). A run that does not end is a failure, not a hang. Then the box shown ("title:
  // text"), the windows made, and the settings file read back, where it should be there.
  TSettings Run(std::function<void()> during, const std::string& shown, const std::string& made,
                bool fileAfter = true) {
    QObject scope;  // ends the timers with the run: a run that never reaches its loop leaves none
    // Showing the splash already runs pending events: wait until every window is there.
    std::function<void()> start = [&] {
      if (!Detail) return QTimer::singleShot(0, &scope, start);
      during ? during() : CloseMain();
    };
    QTimer::singleShot(0, &scope, start);
    QTimer::singleShot(10000, &scope, [] {
      ADD_FAILURE() << "the run did not end";
      CloseMain();
    });
    boxes.OnClose = [] { CloseMain(); };
    EXPECT_EQ(RunProgram(options), 0);
    std::string seen;
    for (const auto& box : boxes.Shown) seen += box.Title + ": " + box.Text;
    EXPECT_EQ(std::pair(seen, events), std::pair(shown, made));
    TSettings saved{};
    EXPECT_EQ(ReadSettingsFile(dir.File(kSettingsFileName), saved), fileAfter);
    return saved;
  }
  ProgramOptions options;
  RecordingHelp help;
  std::string events;
  std::string throwAt;
};

// The splash leaves at its timer and hides the main window as well; the about box's OK does not
// end the run; the title-bar close of the reception window does, and the windows' places go to
// the file.
TEST_F(FrameTest, FromTheSplashToTheEndOfTheRun) {
  const TSettings saved = Run(
      [] {
        // Hide Spectrum is off; the configuration, the viewer and the detail wait to be asked.
        EXPECT_TRUE(InVid->isVisible() && Spec->isVisible() && !Conf->isVisible() &&
                    !ViewPic->isVisible() && !Detail->isVisible());
        EXPECT_EQ(InVid->size(), QSize(400, 300));  // the block: client height, width
        ASSERT_NE(SplashForm, nullptr);
        Main->show();  // as if shown off the screen
        SplashForm->Timer1.start(1);
        EXPECT_TRUE(QTest::qWaitFor([] { return !SplashForm && !Main->isVisible(); }));
        QTimer::singleShot(50, Main, [] {
          EXPECT_TRUE(QTest::qWaitForWindowExposed(Main));
          test::MouseClick(Main->OkButton);
        });
        Main->ShowAbout();
        EXPECT_FALSE(MainClosed() || Main->isVisible());
        int n = 0;
        for (QWidget* window : std::vector<QWidget*>{Spec, Detail, ViewPic, InVid}) {
          window->move(31 + n, 32 + n);
          window->resize(133 + n, 134 + n);
          n += 10;
        }
        InVid->close();
      },
      "", kAllWindows);
  EXPECT_TRUE(!Main && !Conf && !InVid && !Spec && !ModeDlg && !ViewPic && !Detail && !SplashForm);
  const auto placed = [](const auto& b) {
    return std::vector<int>{b.Left, b.Top, b.ClientWidth, b.ClientHeight};
  };
  EXPECT_EQ((std::vector{placed(saved.SpecWindow), placed(saved.DetailWindow),
                         placed(saved.ViewPicWindow), placed(saved.InVidWindow)}),
            (std::vector<std::vector<int>>{
                {31, 32, 133, 134}, {41, 42, 143, 144}, {51, 52, 153, 154}, {61, 62, 163, 164}}));
  EXPECT_EQ(RegisteredHelpFolder(), QDir::currentPath());
  EXPECT_TRUE(help.Topics.empty());  // Auto exists: no getting-started page
}

// Nothing is built on a record that was never loaded, and no file is made.
TEST_F(FrameTest, MissingSettingsFileIsFatalAndCreatesNothing) {
  std::filesystem::remove(dir.File(kSettingsFileName));
  Run(nullptr,
      "Zarvo Meteo fatal error message: Unable to read Zarvo Meteo's configuration file "
      "\"Zarvo.cfg\".\n\nZarvo Meteo will now shutdown...",
      "+Main +Conf -Conf -Main", false);
}

TEST_F(FrameTest, ExceptionDuringStartUpEndsTheRunAfterItsReport) {
  throwAt = "create Spec";
  Run(nullptr, "Zarvo Meteo: no spectrum today.", "+Main +Conf +InVid -InVid -Conf -Main");
}

class Thrower final : public QObject {
 public:
  bool event(QEvent*) override { throw std::runtime_error("Cannot create file \"x.bmp\""); }
};

// Without the Auto folder (a new installation) the getting-started page opens.
TEST_F(FrameTest, ExceptionInAnEventHandlerIsReportedAndTheRunGoesOn) {
  std::filesystem::remove(dir.File("Auto"));
  Run(
      [] {
        Thrower thrower;
        QEvent event(QEvent::User);
        QCoreApplication::sendEvent(&thrower, &event);
        EXPECT_TRUE(Main && InVid && !MainClosed());
        CloseMain();
      },
      "Zarvo Meteo: Cannot create file \"x.bmp\".", kAllWindows);
  EXPECT_EQ(help.Topics, std::vector<int>{100});
}

TEST(HelpPages, EveryTopicOpensItsPage) {
  SetProgramFolder(ZARVO_BIN_DIR);
  QtHelpViewer viewer;
  viewer.ShowTopic(kHelpReception);  // InstallTest finds every topic's page on the disk
  EXPECT_TRUE(viewer.Window() && viewer.Window()->toPlainText().size() > 500);
  SetProgramFolder("");
}

}  // namespace
}  // namespace zarvo
