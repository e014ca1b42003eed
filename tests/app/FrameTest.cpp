// The program's frame run in-process: start-up order, shutdown order, the settings file at the
// end, fatal start-up, the exception report, the splash and the about box.
#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTextBrowser>
#include <QTimer>
#include <cstring>

#include "app/MainProg.h"
#include "app/Splash.h"
#include "platform/BmpCodec.h"
#include "platform/Help.h"
#include "platform/Lifecycle.h"
#include "platform/PlatformError.h"
#include "platform/ProgramFolder.h"
#include "platform/QtHelpViewer.h"
#include "reception/InVideo.h"
#include "reception/ModeDialog.h"
#include "settings/Config.h"
#include "settings/SettingsDescription.h"
#include "settings/SettingsFile.h"
#include "spectrum/Spectrum.h"
#include "support/RealInput.h"
#include "support/RecordingBoxes.h"
#include "support/TempDir.h"
#include "viewer/DetailView.h"
#include "viewer/ViewPicture.h"

namespace zarvo {
namespace {

using test::RecordingBoxes;
using test::TempDir;
using Bytes = std::vector<unsigned char>;

class RecordingHelp final : public HelpViewer {
 public:
  RecordingHelp() { SetHelpViewer(this); }
  ~RecordingHelp() override { SetHelpViewer(nullptr); }
  void ShowTopic(int topic) override { Topics.push_back(topic); }
  std::vector<int> Topics;
};

Bytes RecordBytes(const TSettings& record) {
  const auto* raw = reinterpret_cast<const unsigned char*>(&record);
  return Bytes(raw, raw + sizeof record);
}

TSettings ReadRecord(const TempDir& dir) {
  TSettings record{};
  EXPECT_TRUE(ReadSettingsFile(dir.File(kSettingsFileName), record));
  return record;
}

class FrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directory(home.File("Auto"));
    TSettings record{};
    std::string error;
    ASSERT_TRUE(ParseSettingsDescription(
        "InterfaceType = 1\nCalLow = 0\nCalHigh = 255\nComPortName = COM1\n"
        "InVidWindow = 10 20 300 400\n",
        record, error));
    std::memset(record.Reserved746, 0x5A, sizeof record.Reserved746);
    home.Write(kSettingsFileName, RecordBytes(record));
    options.Home = home.Path();
  }
  void TearDown() override {
    SetLifecycleObserver(nullptr);
    SetProgramFolder("");
  }
  // Runs the program; `during` runs once the message loop is up, and must end the run.
  int Run(std::function<void()> during) {
    // Owned here, so that a run that never reaches its loop leaves nothing for the next one.
    QTimer starter;
    starter.setSingleShot(true);
    // Showing the splash already runs pending events; wait until every window is there.
    QObject::connect(&starter, &QTimer::timeout, [&] {
      if (!Detail) return starter.start(0);
      during();
    });
    starter.start(0);
    // A run that does not end is a failure, not a hang.
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [this] {
      timedOut = true;
      CloseMain();
    });
    guard.start(10000);
    boxes.OnClose = [] { CloseMain(); };
    return RunProgram(options);
  }
  TempDir home;
  ProgramOptions options;
  RecordingBoxes boxes;
  RecordingHelp help;
  bool timedOut = false;
};

TEST_F(FrameTest, WindowsComeInOrderAndGoInReverseAfterStoringTheirGeometry) {
  std::vector<std::string> events;
  SetLifecycleObserver([&](const std::string& e) {
    if (e.find("SplashForm") == std::string::npos) events.push_back(e);
  });
  bool sawAllWindows = false;
  const int code = Run([&] {
    sawAllWindows = Main && Conf && InVid && Spec && ModeDlg && ViewPic && Detail;
    EXPECT_TRUE(InVid->isVisible());
    EXPECT_FALSE(Main->isVisible());
    EXPECT_TRUE(Spec->isVisible());  // Hide Spectrum is off in this record
    EXPECT_FALSE(ViewPic->isVisible() || Detail->isVisible());
    EXPECT_EQ(InVid->width(), 400);  // restored from the block: client width, height
    EXPECT_EQ(InVid->height(), 300);
    Spec->move(31, 32);
    Spec->resize(133, 134);
    Detail->move(41, 42);
    Detail->resize(143, 144);
    ViewPic->move(51, 52);
    ViewPic->resize(153, 154);
    InVid->move(61, 62);
    InVid->resize(363, 164);
    InVid->close();  // the title-bar close ends the run
  });
  EXPECT_EQ(code, 0);
  EXPECT_FALSE(timedOut);
  EXPECT_TRUE(sawAllWindows);
  const std::vector<std::string> expected = {
      "create Main",    "create Conf",   "create InVid",   "create Spec",     "create ModeDlg",
      "create ViewPic", "create Detail", "destroy Detail", "destroy ViewPic", "destroy ModeDlg",
      "destroy Spec",   "destroy InVid", "destroy Conf",   "destroy Main"};
  EXPECT_EQ(events, expected);
  EXPECT_TRUE(!Main && !Conf && !InVid && !Spec && !ModeDlg && !ViewPic && !Detail && !SplashForm);

  const TSettings saved = ReadRecord(home);
  EXPECT_EQ(saved.SpecWindow.Left, 31);
  EXPECT_EQ(saved.SpecWindow.Top, 32);
  EXPECT_EQ(saved.SpecWindow.ClientHeight, 134);
  EXPECT_EQ(saved.SpecWindow.ClientWidth, 133);
  EXPECT_EQ(saved.DetailWindow.ClientHeight, 144);
  EXPECT_EQ(saved.ViewPicWindow.Left, 51);
  EXPECT_EQ(saved.ViewPicWindow.ClientWidth, 153);  // the viewer stores width first
  EXPECT_EQ(saved.ViewPicWindow.ClientHeight, 154);
  EXPECT_EQ(saved.InVidWindow.Left, 61);
  EXPECT_EQ(saved.InVidWindow.ClientWidth, 363);
  EXPECT_EQ(saved.Reserved746[525], 0x5A);  // reserved bytes went back as they came
  EXPECT_TRUE(help.Topics.empty());         // Auto exists: no getting-started page
  EXPECT_TRUE(boxes.Shown.empty());
}

TEST_F(FrameTest, MissingAutoFolderOpensTheGettingStartedPage) {
  std::filesystem::remove(home.File("Auto"));
  Run([] { CloseMain(); });
  EXPECT_EQ(help.Topics, std::vector<int>{100});
}

TEST_F(FrameTest, MissingSettingsFileIsFatalAndCreatesNothing) {
  std::filesystem::remove(home.File(kSettingsFileName));
  bool loopRan = false;
  const int code = Run([&] { loopRan = true; });
  EXPECT_EQ(code, 0);
  EXPECT_FALSE(loopRan);  // the program ended without entering its message loop
  ASSERT_EQ(boxes.Shown.size(), 1u);
  EXPECT_EQ(boxes.Shown[0].Title, "Zarvo Meteo fatal error message");
  EXPECT_EQ(boxes.Shown[0].Text,
            "Unable to read Zarvo Meteo's configuration file \"Zarvo.cfg\".\n\n"
            "Zarvo Meteo will now shutdown...");
  EXPECT_FALSE(PathExists(home.File(kSettingsFileName)));
  EXPECT_TRUE(!Main && !InVid);
}

TEST_F(FrameTest, SettingsFileGoneAtTheEndIsFatal) {
  const int code = Run([&] {
    std::filesystem::remove(home.File(kSettingsFileName));
    CloseMain();
  });
  EXPECT_EQ(code, 0);
  ASSERT_EQ(boxes.Shown.size(), 1u);
  EXPECT_EQ(boxes.Shown[0].Text,
            "Unable to write Zarvo Meteo's configuration file \"Zarvo.cfg\".\n\n"
            "Zarvo Meteo will now shutdown...");
  EXPECT_FALSE(PathExists(home.File(kSettingsFileName)));
}

TEST_F(FrameTest, EqualCalibrationIsReportedAndRepairedInTheFile) {
  TSettings record = ReadRecord(home);
  record.CalLow = record.CalHigh = 77;
  home.Write(kSettingsFileName, RecordBytes(record));
  Run([] { CloseMain(); });
  ASSERT_EQ(boxes.Shown.size(), 1u);
  EXPECT_EQ(boxes.Shown[0].Text, "Bad interface calibration factors, reset to default.");
  const TSettings saved = ReadRecord(home);
  EXPECT_EQ(saved.CalLow, 0);
  EXPECT_EQ(saved.CalHigh, 255);
}

class Thrower final : public QObject {
 public:
  bool event(QEvent*) override { throw PlatformError("Cannot create file \"x.bmp\""); }
};

TEST_F(FrameTest, ExceptionInAnEventHandlerIsReportedAndTheRunGoesOn) {
  bool stillRunning = false;
  Thrower thrower;
  Run([&] {
    QEvent event(QEvent::User);
    QCoreApplication::sendEvent(&thrower, &event);
    stillRunning = Main && InVid && !MainClosed();
    CloseMain();
  });
  EXPECT_TRUE(stillRunning);
  ASSERT_EQ(boxes.Shown.size(), 1u);
  EXPECT_EQ(boxes.Shown[0].Title, "Zarvo Meteo");
  EXPECT_EQ(boxes.Shown[0].Text, "Cannot create file \"x.bmp\".");
}

TEST_F(FrameTest, ExceptionDuringStartUpEndsTheRunAfterItsReport) {
  std::vector<std::string> events;
  SetLifecycleObserver([&](const std::string& e) {
    if (e == "create Spec") throw std::runtime_error("no spectrum today");
    if (e.rfind("destroy", 0) == 0 && e != "destroy SplashForm") events.push_back(e);
  });
  bool loopRan = false;
  EXPECT_EQ(Run([&] { loopRan = true; }), 0);
  EXPECT_FALSE(loopRan);
  ASSERT_EQ(boxes.Shown.size(), 1u);
  EXPECT_EQ(boxes.Shown[0].Text, "no spectrum today.");
  const std::vector<std::string> expected = {"destroy InVid", "destroy Conf", "destroy Main"};
  EXPECT_EQ(events, expected);
  EXPECT_TRUE(PathExists(home.File(kSettingsFileName)));
}

TEST_F(FrameTest, AboutBoxIsCentredEachTimeAndOkDoesNotEndTheRun) {
  std::vector<QPoint> positions;
  QSize outer;
  QImage grabbed;
  QString version;
  bool endedByOk = false;
  Run([&] {
    for (int i = 0; i < 2; ++i) {
      QTimer::singleShot(50, [&] {
        positions.push_back(Main->pos());
        outer = Main->frameGeometry().size();
        grabbed = Main->grab().toImage();
        version = Main->Version->text();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(Main));
        test::MouseClick(Main->OkButton);
      });
      Main->ShowAbout();
      if (i == 0) Main->move(5, 5);  // moved by the user in between
    }
    endedByOk = MainClosed();
    EXPECT_FALSE(Main->isVisible());
    CloseMain();
  });
  EXPECT_FALSE(endedByOk);
  const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
  ASSERT_EQ(positions.size(), 2u);
  for (const QPoint& p : positions) {
    EXPECT_EQ(p.x(), screen.width() / 2 - outer.width() / 2);
    EXPECT_EQ(p.y(), screen.height() / 2 - outer.height() / 2);
  }
  EXPECT_EQ(version, "Version 1.02");
  ASSERT_EQ(grabbed.size(), QSize(294, 204));
  // The title is drawn in green.
  int green = 0;
  for (int y = 60; y < 108; ++y)
    for (int x = 10; x < 284; ++x) {
      const QColor c = grabbed.pixelColor(x, y);
      if (c.green() > 100 && c.red() < 80 && c.blue() < 80) ++green;
    }
  EXPECT_GT(green, 200);
}

TEST_F(FrameTest, SplashIsOnTopAndLeavesAtItsTimer) {
  bool checked = false;
  QImage picture;
  Run([&] {
    ASSERT_NE(SplashForm, nullptr);
    EXPECT_TRUE(SplashForm->isVisible());
    EXPECT_EQ(SplashForm->size(), QSize(330, 226));
    EXPECT_TRUE(SplashForm->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(SplashForm->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(SplashForm->Timer1.interval(), 3000);
    EXPECT_TRUE(SplashForm->Timer1.isActive());
    picture = SplashForm->grab().toImage();
    Main->show();  // as if shown off the screen
    // Checked once the splash is really gone, however late the timers fire on a busy machine.
    QObject::connect(SplashForm, &QObject::destroyed, [&] {
      checked = SplashForm == nullptr && !Main->isVisible();
      CloseMain();
    });
    SplashForm->Timer1.start(1);
  });
  EXPECT_TRUE(checked);
  ASSERT_EQ(picture.size(), QSize(330, 226));
  // A picture, not a blank: many colours, the green name among them.
  QSet<QRgb> colours;
  int green = 0;
  for (int y = 0; y < picture.height(); ++y)
    for (int x = 0; x < picture.width(); ++x) {
      const QColor c = picture.pixelColor(x, y);
      colours.insert(c.rgb());
      if (y > 170 && c.green() > 150 && c.red() < 120) ++green;
    }
  EXPECT_GT(colours.size(), 50);
  EXPECT_GT(green, 200);
}

TEST(HelpPages, EveryTopicOpensItsPage) {
  SetProgramFolder(ZARVO_BIN_DIR);
  QtHelpViewer viewer;
  const struct {
    int Topic;
    const char* Heading;
  } topics[] = {{100, "Getting started"},
                {1000, "reception window"},
                {1100, "spectrum window"},
                {1200, "picture viewer"},
                {5000, "Configuration Menu"}};
  for (const auto& t : topics) {
    viewer.ShowTopic(t.Topic);
    ASSERT_NE(viewer.Window(), nullptr);
    EXPECT_TRUE(viewer.Window()->isVisible());
    const QString text = viewer.Window()->toPlainText();
    EXPECT_TRUE(text.contains(QString::fromUtf8(t.Heading))) << t.Topic;
    EXPECT_GT(text.size(), 500) << t.Topic;
  }
  SetProgramFolder("");
}

TEST(HelpPages, FolderIsRegistered) {
  RegisterHelpFolder();
  EXPECT_EQ(RegisteredHelpFolder(), QDir::currentPath());
}

}  // namespace
}  // namespace zarvo

namespace zarvo {
namespace {

// The pictures the program saves open in Qt as what was drawn.
TEST(GreyBitmap, OpensInQt) {
  test::TempDir dir;
  Bitmap picture(1810, 7, 0xC0C0C0);
  for (int x = 0; x < 1810; ++x) picture.SetPixel(x, 3, GreyColour(x % 256));
  ASSERT_TRUE(WriteGreyBmp(dir.File("fax.bmp"), picture, 5));
  QImage image;
  ASSERT_TRUE(image.load(QString::fromStdString(dir.File("fax.bmp"))));
  EXPECT_EQ(image.size(), QSize(1810, 5));
  EXPECT_EQ(image.pixel(0, 0), 0xFFC0C0C0u);
  EXPECT_EQ(image.pixel(200, 3), 0xFFC8C8C8u);
  EXPECT_EQ(image.pixel(1809, 3), qRgb(1809 % 256, 1809 % 256, 1809 % 256));
}

}  // namespace
}  // namespace zarvo
