// The program's frame run in-process: the windows made in order and destroyed in reverse, the
// settings file at the end, runs that go wrong, the splash, the about box and the help pages.
#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTextBrowser>
#include <QTimer>
#include <cstring>
#include <sstream>

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

class RecordingHelp final : public HelpViewer {
 public:
  RecordingHelp() { SetHelpViewer(this); }
  ~RecordingHelp() override { SetHelpViewer(nullptr); }
  void ShowTopic(int topic) override { Topics.push_back(topic); }
  std::vector<int> Topics;
};

// The pixels of `image` in `area` that `match`.
int CountPixels(const QImage& image, QRect area, bool (*match)(QColor)) {
  int n = 0;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x) n += match(image.pixelColor(x, y));
  return n;
}

// The lifecycle notes of a run that made `windows` in this order: destroyed in reverse.
std::vector<std::string> Lifecycle(const std::string& windows) {
  std::vector<std::string> names, notes;
  std::istringstream in(windows);
  for (std::string name; in >> name;) names.push_back(name);
  for (const auto& name : names) notes.push_back("create " + name);
  for (auto name = names.rbegin(); name != names.rend(); ++name)
    notes.push_back("destroy " + *name);
  return notes;
}
const std::string kAllWindows = "Main Conf InVid Spec ModeDlg ViewPic Detail";

struct FrameTest : ::testing::Test {
  void SetUp() override {
    std::filesystem::create_directory(home.File("Auto"));
    std::string error;
    ASSERT_TRUE(ParseSettingsDescription(
        "InterfaceType = 1\nCalLow = 0\nCalHigh = 255\nComPortName = COM1\n"
        "InVidWindow = 10 20 300 400\n",
        record, error));
    std::memset(record.Reserved746, 0x5A, sizeof record.Reserved746);
    WriteRecord();
    options.Home = home.Path();
    SetLifecycleObserver([this](const std::string& e) {
      if (e == throwAt) throw std::runtime_error("no spectrum today");
      if (e.find("SplashForm") == std::string::npos) events.push_back(e);
    });
  }
  void TearDown() override {
    SetLifecycleObserver(nullptr);
    SetProgramFolder("");
  }
  void WriteRecord() {
    const auto* raw = reinterpret_cast<const unsigned char*>(&record);
    home.Write(kSettingsFileName, {raw, raw + sizeof record});
  }
  // Runs the program; `during` runs once every window is there, and must end the run (by default
  // it just does).
  int Run(std::function<void()> during) {
    // Owned here, so that a run that never reaches its loop leaves nothing for the next one.
    QTimer starter;
    starter.setSingleShot(true);
    // Showing the splash already runs pending events; wait until every window is there.
    QObject::connect(&starter, &QTimer::timeout, [&] {
      if (!Detail) return starter.start(0);
      during ? during() : CloseMain();
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
  // After a run: the boxes shown ("title: text"), the windows made, and the settings file read
  // back, with a valid calibration, where it should be there.
  TSettings ExpectRun(const std::vector<std::string>& shown, const std::string& made,
                      bool fileAfter = true) {
    EXPECT_FALSE(timedOut);
    std::vector<std::string> seen;
    for (const auto& box : boxes.Shown) seen.push_back(box.Title + ": " + box.Text);
    EXPECT_EQ(seen, shown);
    EXPECT_EQ(events, Lifecycle(made));
    TSettings saved{};
    EXPECT_EQ(ReadSettingsFile(home.File(kSettingsFileName), saved), fileAfter);
    EXPECT_TRUE(!fileAfter || (saved.CalLow == 0 && saved.CalHigh == 255)) << saved.CalLow;
    return saved;
  }
  test::TempDir home;
  TSettings record{};
  ProgramOptions options;
  test::RecordingBoxes boxes;
  RecordingHelp help;
  std::vector<std::string> events;
  std::string throwAt;  // the lifecycle note at which start-up throws
  bool timedOut = false;
};

TEST_F(FrameTest, WindowsComeInOrderAndGoInReverseAfterStoringTheirGeometry) {
  EXPECT_EQ(Run([&] {
              EXPECT_TRUE(InVid->isVisible() && Spec->isVisible());  // Hide Spectrum is off
              EXPECT_FALSE(Main->isVisible() || ViewPic->isVisible() || Detail->isVisible());
              EXPECT_EQ(InVid->size(), QSize(400, 300));  // the block: client height, width
              int n = 0;
              for (QWidget* window : std::vector<QWidget*>{Spec, Detail, ViewPic, InVid}) {
                window->move(31 + 10 * n, 32 + 10 * n);
                window->resize(133 + 10 * n, 134 + 10 * n);
                ++n;
              }
              InVid->close();  // the title-bar close ends the run
            }),
            0);
  const TSettings saved = ExpectRun({}, kAllWindows);
  EXPECT_TRUE(!Main && !Conf && !InVid && !Spec && !ModeDlg && !ViewPic && !Detail && !SplashForm);
  const auto placed = [](const auto& block) {
    return std::vector<int>{block.Left, block.Top, block.ClientWidth, block.ClientHeight};
  };
  EXPECT_EQ(placed(saved.SpecWindow), (std::vector<int>{31, 32, 133, 134}));
  EXPECT_EQ(placed(saved.DetailWindow), (std::vector<int>{41, 42, 143, 144}));
  EXPECT_EQ(placed(saved.ViewPicWindow), (std::vector<int>{51, 52, 153, 154}));
  EXPECT_EQ(placed(saved.InVidWindow), (std::vector<int>{61, 62, 163, 164}));
  EXPECT_EQ(saved.Reserved746[525], 0x5A);  // reserved bytes went back as they came
  EXPECT_EQ(RegisteredHelpFolder(), QDir::currentPath());
  EXPECT_TRUE(help.Topics.empty());  // Auto exists: no getting-started page
}

class Thrower final : public QObject {
 public:
  bool event(QEvent*) override { throw PlatformError("Cannot create file \"x.bmp\""); }
};

TEST_F(FrameTest, MissingAutoFolderOpensTheGettingStartedPage) {
  std::filesystem::remove(home.File("Auto"));
  Run(nullptr);
  ExpectRun({}, kAllWindows);
  EXPECT_EQ(help.Topics, std::vector<int>{100});
}

// Nothing is built on a record that was never loaded, and no file is made.
TEST_F(FrameTest, MissingSettingsFileIsFatalAndCreatesNothing) {
  std::filesystem::remove(home.File(kSettingsFileName));
  EXPECT_EQ(Run(nullptr), 0);
  ExpectRun({"Zarvo Meteo fatal error message: Unable to read Zarvo Meteo's configuration file "
             "\"Zarvo.cfg\".\n\nZarvo Meteo will now shutdown..."},
            "Main Conf", false);
}

TEST_F(FrameTest, ExceptionDuringStartUpEndsTheRunAfterItsReport) {
  throwAt = "create Spec";
  EXPECT_EQ(Run(nullptr), 0);
  ExpectRun({"Zarvo Meteo: no spectrum today."}, "Main Conf InVid");
}

TEST_F(FrameTest, ExceptionInAnEventHandlerIsReportedAndTheRunGoesOn) {
  Run([] {
    Thrower thrower;
    QEvent event(QEvent::User);
    QCoreApplication::sendEvent(&thrower, &event);
    EXPECT_TRUE(Main && InVid && !MainClosed());
    CloseMain();
  });
  ExpectRun({"Zarvo Meteo: Cannot create file \"x.bmp\"."}, kAllWindows);
}

TEST_F(FrameTest, AboutBoxIsCentredEachTimeAndOkDoesNotEndTheRun) {
  std::vector<QPoint> offCentre;
  QImage grabbed;
  Run([&] {
    for (int i = 0; i < 2; ++i) {
      QTimer::singleShot(50, [&] {
        EXPECT_TRUE(QTest::qWaitForWindowExposed(Main));
        const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
        const QSize outer = Main->frameGeometry().size();
        offCentre.push_back(Main->pos() - QPoint(screen.width() / 2 - outer.width() / 2,
                                                 screen.height() / 2 - outer.height() / 2));
        grabbed = Main->grab().toImage();
        test::MouseClick(Main->OkButton);
      });
      Main->ShowAbout();
      if (i == 0) Main->move(5, 5);  // moved by the user in between
    }
    EXPECT_FALSE(MainClosed() || Main->isVisible());
    EXPECT_EQ(Main->Version->text(), "Version 1.02");
    CloseMain();
  });
  EXPECT_EQ(offCentre, std::vector<QPoint>(2, QPoint(0, 0)));
  ASSERT_EQ(grabbed.size(), QSize(294, 204));
  EXPECT_GT(CountPixels(grabbed, {10, 60, 274, 48},
                        [](QColor c) { return c.green() > 100 && c.red() < 80 && c.blue() < 80; }),
            200);  // the title is drawn in green
}

TEST_F(FrameTest, SplashIsOnTopAndLeavesAtItsTimer) {
  bool gone = false;
  QImage picture;
  Run([&] {
    ASSERT_NE(SplashForm, nullptr);
    EXPECT_TRUE(SplashForm->isVisible() && SplashForm->Timer1.isActive());
    EXPECT_TRUE(
        SplashForm->windowFlags().testFlags(Qt::WindowStaysOnTopHint | Qt::FramelessWindowHint));
    EXPECT_EQ(SplashForm->Timer1.interval(), 3000);
    picture = SplashForm->grab().toImage();
    Main->show();  // as if shown off the screen
    // Checked once the splash is really gone, however late the timers fire on a busy machine.
    QObject::connect(SplashForm, &QObject::destroyed, [&] {
      gone = SplashForm == nullptr && !Main->isVisible();
      CloseMain();
    });
    SplashForm->Timer1.start(1);
  });
  EXPECT_TRUE(gone);
  ASSERT_EQ(picture.size(), QSize(330, 226));
  // A picture, not a blank: many colours, the green name among them.
  QSet<QRgb> colours;
  for (int y = 0; y < picture.height(); ++y)
    for (int x = 0; x < picture.width(); ++x) colours.insert(picture.pixel(x, y));
  EXPECT_GT(colours.size(), 50);
  EXPECT_GT(CountPixels(picture, {0, 171, 330, 55},
                        [](QColor c) { return c.green() > 150 && c.red() < 120; }),
            200);
}

TEST(HelpPages, EveryTopicOpensItsPage) {
  SetProgramFolder(ZARVO_BIN_DIR);
  QtHelpViewer viewer;
  const std::pair<int, const char*> topics[] = {{100, "Getting started"},
                                                {1000, "reception window"},
                                                {1100, "spectrum window"},
                                                {1200, "picture viewer"},
                                                {5000, "Configuration Menu"}};
  for (const auto& [topic, heading] : topics) {
    viewer.ShowTopic(topic);
    ASSERT_NE(viewer.Window(), nullptr);
    const QString text = viewer.Window()->toPlainText();
    EXPECT_TRUE(viewer.Window()->isVisible() && text.contains(QLatin1String(heading)) &&
                text.size() > 500)
        << topic;
  }
  SetProgramFolder("");
}

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
