// The program's frame run in-process: the splash, the windows made in order and destroyed in
// reverse, the about box, the settings file at the end, runs that go wrong, and the help pages.
#include <gtest/gtest.h>

#include <QtWidgets>

#include "app/MainProg.h"
#include "app/Splash.h"
#include "platform/Help.h"
#include "platform/Lifecycle.h"
#include "platform/PlatformError.h"
#include "platform/ProgramFolder.h"
#include "platform/QtHelpViewer.h"
#include "reception/InVideo.h"
#include "reception/ModeDialog.h"
#include "settings/Config.h"
#include "settings/SettingsFile.h"
#include "spectrum/Spectrum.h"
#include "support/ProgramRun.h"
#include "support/RealInput.h"
#include "support/RecordingBoxes.h"
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

struct FrameTest : ::testing::Test {
  void SetUp() override {
    std::filesystem::create_directory(home.File("Auto"));
    ASSERT_TRUE(test::WriteSettingsRecord(
        home,
        "InterfaceType = 1\nCalHigh = 255\nComPortName = COM1\nInVidWindow = 10 20 300 400\n"));
    options.Home = home.Path();
    // Windows made and destroyed as "+Name" and "-Name"; start-up throws at `throwAt`.
    SetLifecycleObserver([this](const std::string& e) {
      if (e == throwAt) throw std::runtime_error("no spectrum today");
      if (e.find("SplashForm") != std::string::npos) return;
      events += (events.empty() ? "" : " ") + std::string(e[0] == 'c' ? "+" : "-") +
                e.substr(e.find(' ') + 1);
    });
  }
  void TearDown() override {
    SetLifecycleObserver(nullptr);
    SetProgramFolder("");
  }
  // Runs the program; `during` runs once every window is there, and must end the run (by default
  // it just does). A run that does not end is a failure, not a hang.
  int Run(std::function<void()> during) {
    QTimer starter;  // owned here, so that a run that never reaches its loop leaves nothing
    starter.setSingleShot(true);
    QObject::connect(&starter, &QTimer::timeout, [&] {
      if (!Detail) return starter.start(0);
      during ? during() : CloseMain();
    });
    starter.start(0);
    QTimer::singleShot(10000, &starter, [this] {
      timedOut = true;
      CloseMain();
    });
    boxes.OnClose = [] { CloseMain(); };
    return RunProgram(options);
  }
  // After a run: the box shown ("title: text"), the windows made, and the settings file read
  // back, with its calibration, where it should be there.
  TSettings ExpectRun(const std::string& shown, const std::string& made, bool fileAfter = true) {
    EXPECT_FALSE(timedOut);
    std::string seen;
    for (const auto& box : boxes.Shown) seen += box.Title + ": " + box.Text;
    EXPECT_EQ(seen, shown);
    EXPECT_EQ(events, made);
    TSettings saved{};
    EXPECT_EQ(ReadSettingsFile(home.File(kSettingsFileName), saved), fileAfter);
    EXPECT_TRUE(!fileAfter || (saved.CalLow == 0 && saved.CalHigh == 255)) << saved.CalLow;
    return saved;
  }
  test::TempDir home;
  ProgramOptions options;
  test::RecordingBoxes boxes;
  RecordingHelp help;
  std::string events;
  std::string throwAt;
  bool timedOut = false;
};

// The splash stays on top for its three seconds and then hides the main window as well; the
// about box comes centred each time and its OK does not end the run; the title-bar close of the
// reception window does, and the windows' places go to the file.
TEST_F(FrameTest, FromTheSplashToTheEndOfTheRun) {
  QSize splash, about;
  std::vector<QPoint> offCentre;
  EXPECT_EQ(Run([&] {
              EXPECT_TRUE(InVid->isVisible() && Spec->isVisible());  // Hide Spectrum is off
              EXPECT_FALSE(Main->isVisible() || Conf->isVisible() || ViewPic->isVisible() ||
                           Detail->isVisible());
              EXPECT_EQ(InVid->size(), QSize(400, 300));  // the block: client height, width
              ASSERT_NE(SplashForm, nullptr);
              EXPECT_TRUE(SplashForm->isVisible() &&
                          SplashForm->windowFlags().testFlags(Qt::WindowStaysOnTopHint |
                                                              Qt::FramelessWindowHint));
              EXPECT_EQ(SplashForm->Timer1.interval(), 3000);
              splash = SplashForm->grab().size();
              Main->show();  // as if shown off the screen
              SplashForm->Timer1.start(1);
              EXPECT_TRUE(QTest::qWaitFor([] { return !SplashForm && !Main->isVisible(); }));

              for (int i = 0; i < 2; ++i) {
                QTimer::singleShot(50, Main, [&] {
                  EXPECT_TRUE(QTest::qWaitForWindowExposed(Main));
                  const QRect screen = QGuiApplication::primaryScreen()->geometry();
                  offCentre.push_back(Main->frameGeometry().center() - screen.center());
                  about = Main->grab().size();
                  test::MouseClick(Main->OkButton);
                });
                Main->ShowAbout();
                Main->move(5, 5);  // moved by the user in between
              }
              EXPECT_FALSE(MainClosed() || Main->isVisible());
              EXPECT_EQ(Main->Version->text(), "Version 1.02");

              int n = 0;
              for (QWidget* window : std::vector<QWidget*>{Spec, Detail, ViewPic, InVid}) {
                window->move(31 + 10 * n, 32 + 10 * n);
                window->resize(133 + 10 * n, 134 + 10 * n);
                ++n;
              }
              InVid->close();
            }),
            0);
  const TSettings saved = ExpectRun("", kAllWindows);
  EXPECT_TRUE(!Main && !Conf && !InVid && !Spec && !ModeDlg && !ViewPic && !Detail && !SplashForm);
  EXPECT_EQ(splash, QSize(330, 226));
  EXPECT_EQ(about, QSize(294, 204));
  EXPECT_EQ(offCentre, std::vector<QPoint>(2, QPoint(0, 0)));
  const auto placed = [](const auto& b) {
    return std::vector<int>{b.Left, b.Top, b.ClientWidth, b.ClientHeight};
  };
  EXPECT_EQ(placed(saved.SpecWindow), (std::vector<int>{31, 32, 133, 134}));
  EXPECT_EQ(placed(saved.DetailWindow), (std::vector<int>{41, 42, 143, 144}));
  EXPECT_EQ(placed(saved.ViewPicWindow), (std::vector<int>{51, 52, 153, 154}));
  EXPECT_EQ(placed(saved.InVidWindow), (std::vector<int>{61, 62, 163, 164}));
  EXPECT_EQ(RegisteredHelpFolder(), QDir::currentPath());
  EXPECT_TRUE(help.Topics.empty());  // Auto exists: no getting-started page
}

TEST_F(FrameTest, MissingAutoFolderOpensTheGettingStartedPage) {
  std::filesystem::remove(home.File("Auto"));
  Run(nullptr);
  ExpectRun("", kAllWindows);
  EXPECT_EQ(help.Topics, std::vector<int>{100});
}

// Nothing is built on a record that was never loaded, and no file is made.
TEST_F(FrameTest, MissingSettingsFileIsFatalAndCreatesNothing) {
  std::filesystem::remove(home.File(kSettingsFileName));
  EXPECT_EQ(Run(nullptr), 0);
  ExpectRun(
      "Zarvo Meteo fatal error message: Unable to read Zarvo Meteo's configuration file "
      "\"Zarvo.cfg\".\n\nZarvo Meteo will now shutdown...",
      "+Main +Conf -Conf -Main", false);
}

TEST_F(FrameTest, ExceptionDuringStartUpEndsTheRunAfterItsReport) {
  throwAt = "create Spec";
  EXPECT_EQ(Run(nullptr), 0);
  ExpectRun("Zarvo Meteo: no spectrum today.", "+Main +Conf +InVid -InVid -Conf -Main");
}

class Thrower final : public QObject {
 public:
  bool event(QEvent*) override { throw PlatformError("Cannot create file \"x.bmp\""); }
};

TEST_F(FrameTest, ExceptionInAnEventHandlerIsReportedAndTheRunGoesOn) {
  Run([] {
    Thrower thrower;
    QEvent event(QEvent::User);
    QCoreApplication::sendEvent(&thrower, &event);
    EXPECT_TRUE(Main && InVid && !MainClosed());
    CloseMain();
  });
  ExpectRun("Zarvo Meteo: Cannot create file \"x.bmp\".", kAllWindows);
}

TEST(HelpPages, EveryTopicOpensItsPage) {
  SetProgramFolder(ZARVO_BIN_DIR);
  QtHelpViewer viewer;
  const int topics[] = {100, 1000, 1100, 1200, 5000};
  const char* headings[] = {"Getting started", "reception window", "spectrum window",
                            "picture viewer", "Configuration Menu"};
  for (int i = 0; i < 5; ++i) {
    viewer.ShowTopic(topics[i]);
    QTextBrowser* page = viewer.Window();
    EXPECT_TRUE(page && page->isVisible() && page->toPlainText().contains(headings[i])) << i;
  }
  SetProgramFolder("");
}

}  // namespace
}  // namespace zarvo
