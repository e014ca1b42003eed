#include "app/MainProg.h"

#include <QCloseEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <clocale>
#include <exception>

#include "app/Splash.h"
#include "app/Version.h"
#include "platform/DataFolder.h"
#include "platform/Help.h"
#include "platform/Lifecycle.h"
#include "platform/Messages.h"
#include "platform/ProgramFolder.h"
#include "platform/QtHelpViewer.h"
#include "platform/QtPictures.h"
#include "platform/ScreenSaverInhibitor.h"
#include "reception/InVideo.h"
#include "reception/ModeDialog.h"
#include "settings/Config.h"
#include "settings/Settings.h"
#include "settings/SettingsFile.h"
#include "spectrum/Spectrum.h"
#include "viewer/DetailView.h"
#include "viewer/ViewPicture.h"

namespace zarvo {

TMain* Main = nullptr;
namespace {

template <typename T>
void Destroy(T*& window) {
  try {
    delete window;
  } catch (const std::exception& e) {
    ShowExceptionReport(e.what());
  } catch (...) {
    ShowExceptionReport(nullptr);
  }
  window = nullptr;
}

// A window whose construction throws has set its global already; clear it so that nothing
// deletes a window that never was.
template <typename T>
void Create(T*& global) {
  try {
    new T;
  } catch (...) {
    global = nullptr;
    throw;
  }
}

// The windows that act on each other without knowing each other.
void ConnectWindows() {
  if (InVid && Main) QObject::connect(InVid, &TInVid::AboutRequested, Main, &TMain::ShowAbout);
  if (InVid && Spec) QObject::connect(Spec, &TSpec::Updated, InVid, &TInVid::SpectrumUpdated);
  if (!Conf) return;
  if (InVid) QObject::connect(Conf, &TConf::HintsSwitched, InVid, &TInVid::ShowHints);
  if (ViewPic) QObject::connect(Conf, &TConf::HintsSwitched, ViewPic, &TViewPic::ShowHints);
}

void DestroyWindows() {
  Destroy(Detail);
  Destroy(ViewPic);
  Destroy(ModeDlg);
  Destroy(Spec);
  Destroy(InVid);
  Destroy(Conf);
  Destroy(Main);
  if (SplashForm) Destroy(SplashForm);
}

// The user's data folder on an installed program's start: made, with the default settings and
// Auto, where missing. True when Auto was made, a first start. Without the settings the run
// cannot go on; without Auto only the saving fails, and says so when it comes to it.
bool PrepareUserFolder(const std::string& folder) {
  const DataFolderStart start =
      PrepareDataFolder(folder, InstalledDataFolder(ExecutableFolder()) + kSettingsFileName);
  if (start.Error.empty()) return start.AutoMade;
  if (PathExists(ProgramFile(kSettingsFileName)))
    ReportError("%s", start.Error.c_str());
  else
    ReportFatal((start.Error + ".").c_str());
  return false;
}

}  // namespace

TMain::TMain() : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
  Main = this;
  NoteLifecycle("create Main");
  setWindowTitle(QStringLiteral("About Zarvo..."));
  setFixedSize(kClientWidth, kClientHeight);

  auto* icon = new QLabel(this);
  icon->setPixmap(ProgramIconPixmap());
  icon->setGeometry(12, 12, 32, 32);

  auto* frame = new QFrame(this);
  frame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  frame->setGeometry(8, 52, kClientWidth - 16, 100);

  Title = new QLabel(QStringLiteral("Zarvo Meteo"), this);
  QFont titleFont(QStringLiteral("DejaVu Serif"));
  titleFont.setPixelSize(32);
  titleFont.setBold(true);
  Title->setFont(titleFont);
  QPalette green = Title->palette();
  green.setColor(QPalette::WindowText, QColor(0x00, 0x80, 0x00));
  Title->setPalette(green);
  Title->setAlignment(Qt::AlignCenter);
  Title->setGeometry(10, 60, kClientWidth - 20, 48);

  Version = new QLabel(QString::fromStdString(VersionText()), this);
  Version->setAlignment(Qt::AlignCenter);
  Version->setGeometry(10, 112, kClientWidth - 20, 24);

  OkButton = new QPushButton(QStringLiteral("OK"), this);
  OkButton->setDefault(true);
  OkButton->setGeometry((kClientWidth - 75) / 2, 164, 75, 25);
  connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);

  // The screen-saver rule, the help folder and the position off the screen.
  saverInhibitor_ = new ScreenSaverInhibitor([] { return IsOn(Settings.DisableSaver); }, this);
  RegisterHelpFolder();
  move(-999, -999);
}

TMain::~TMain() {
  NoteLifecycle("destroy Main");
  if (Main == this) Main = nullptr;
}

void TMain::ShowAbout() {
  hide();
  CentreOnScreen(this);
  // The frame is known only once the box has been shown the first time.
  QTimer::singleShot(0, this, [this] {
    if (isVisible()) CentreOnScreen(this);
  });
  exec();
}

void TMain::paintEvent(QPaintEvent* event) {
  const QString text = QString::fromStdString(VersionText());
  if (Version->text() != text) Version->setText(text);
  QDialog::paintEvent(event);
}

void TMain::closeEvent(QCloseEvent* event) {
  // The about box closed by the window manager only ends the modal state; closing the main
  // window otherwise ends the run, as it does through CloseMain.
  if (isModal() && isVisible()) {
    event->ignore();
    reject();
    return;
  }
  event->accept();
  CloseMain();
}

TZarvoApplication::TZarvoApplication(int& argc, char** argv) : QApplication(argc, argv) {
  // Qt has just set every category of the C locale from the environment. Texts made with printf
  // must show numbers with a dot, as the window does; the rest (LC_TIME gives the day names in
  // the saved faxes' names) stays the user's.
  std::setlocale(LC_NUMERIC, "C");
  SetMainWindowCloser([](bool first) {
    if (Main) Main->hide();
    // Ends the message loop and the loops of any boxes open in it. Outside every loop there is
    // nothing to end, and an exit then would only make later boxes close at once.
    if (first && QThread::currentThread()->loopLevel() > 0) QCoreApplication::exit(0);
  });
}

TZarvoApplication::~TZarvoApplication() {
  SetMainWindowCloser(nullptr);
}

bool TZarvoApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& e) {
    ShowExceptionReport(e.what());
  } catch (...) {
    ShowExceptionReport(nullptr);
  }
  return false;
}

std::string UsageText() {
  return "Usage: zarvo-meteo [--home DIR] [--demo]\n"
         "Receives HF weather-fax broadcasts from an interface on a serial port.\n\n"
         "  --home DIR   keep Zarvo.cfg and the Auto folder in DIR instead of the data folder\n"
         "               (beside the program in a build tree, else ~/.local/share/zarvo-meteo)\n"
         "  --demo       receive from a simulated interface box instead of the serial ports\n"
         "  --help       show this text and exit\n"
         "  --version    show the version and exit\n\n"
         "COM1..COM4 open the serial devices chosen for them in the configuration window (a USB\n"
         "adapter by its name in /dev/serial/by-id, a ttyUSB, ttyACM or ttyS), /dev/ttyS0..3 "
         "where\n"
         "none is chosen. ZARVO_COM1..ZARVO_COM4, when set, name the device instead of either.\n";
}

ProgramOptions ParseCommandLine(int argc, char** argv) {
  ProgramOptions options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      options.Help = true;
    } else if (arg == "--version") {
      options.Version = true;
    } else if (arg == "--demo") {
      options.Demo = true;
    } else if (arg == "--home") {
      if (i + 1 >= argc) {
        options.Error = "--home needs a folder";
        return options;
      }
      options.Home = argv[++i];
    } else if (arg.rfind("--home=", 0) == 0) {
      options.Home = arg.substr(7);
    } else if (arg.rfind("--", 0) == 0) {
      // Single-dash options (-platform, -style...) are Qt's and left to the application object.
      options.Error = "unknown option " + arg;
      return options;
    }
  }
  return options;
}

int RunProgram(const ProgramOptions& options) {
  ResetRunState();
  ClearSettings(Settings);
  const DataFolderChoice data =
      ChooseDataFolder(options.Home, ExecutableFolder(), kSettingsFileName);
  SetProgramFolder(data.Folder);

  try {
    Create(SplashForm);
    SplashForm->show();
    SplashForm->repaint();

    QCoreApplication::setApplicationName(QStringLiteral("Zarvo Meteo"));
    QGuiApplication::setWindowIcon(QIcon(ProgramIconPixmap()));

    // After a fatal report (an unreadable settings file) the rest is not built: no port is
    // opened and no command is sent on a record that was never loaded.
    Create(Main);
    const bool firstStart = data.UserFolder && !MainClosed() && PrepareUserFolder(data.Folder);
    if (!MainClosed()) Create(Conf);
    // Auto is made before the configuration window looks for it, so the page it shows on a
    // first start is shown here.
    if (firstStart && !MainClosed()) OpenHelpTopic(kHelpGettingStarted);
    if (!MainClosed()) Create(InVid);
    if (!MainClosed()) Create(Spec);
    if (!MainClosed()) Create(ModeDlg);
    if (!MainClosed()) Create(ViewPic);
    if (!MainClosed()) Create(Detail);
    ConnectWindows();
    // Kept on top also where no window manager enforces it, above a help page opened meanwhile.
    if (SplashForm) {
      SplashForm->raise();
      QTimer::singleShot(0, SplashForm, [] {
        if (SplashForm) SplashForm->raise();
      });
    }

    // A fatal report or a signal during start-up has already closed the main window. If that
    // ended a box's loop, Qt's quit request is still pending: one empty pass of the loop takes
    // it, so that the boxes of the shutdown still show.
    if (MainClosed()) QTimer::singleShot(0, QCoreApplication::instance(), &QCoreApplication::quit);
    QCoreApplication::exec();
  } catch (const std::exception& e) {
    ShowExceptionReport(e.what());
  } catch (...) {
    ShowExceptionReport(nullptr);
  }
  DestroyWindows();
  return 0;
}

}  // namespace zarvo
