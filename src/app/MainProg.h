#pragma once
// The program's frame: the about box that is also the application's main window, the order in
// which the windows come and go, and the application object's exception report.
#include <QApplication>
#include <QDialog>
#include <string>

#include "platform/RunState.h"

class QLabel;
class QPushButton;

namespace zarvo {

class ScreenSaverInhibitor;

// The about box. As the main window it lives for the whole run; closing it ends the program.
class TMain final : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kClientWidth = 294;
  static constexpr int kClientHeight = 204;

  TMain();
  ~TMain() override;

  // The About command: centred on the screen, modal; OK hides it and the program goes on.
  void ShowAbout();

  QLabel* Title = nullptr;
  QLabel* Version = nullptr;
  QPushButton* OkButton = nullptr;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  ScreenSaverInhibitor* saverInhibitor_ = nullptr;
};

// Shows an exception that escapes an event handler and goes on. While it exists, closing the main
// window (CloseMain) hides it and ends the message loop, nested loops of open boxes too, after
// which the windows are destroyed.
class TZarvoApplication final : public QApplication {
 public:
  TZarvoApplication(int& argc, char** argv);
  ~TZarvoApplication() override;
  bool notify(QObject* receiver, QEvent* event) override;
};

struct ProgramOptions {
  std::string Home;  // --home DIR: the folder of Zarvo.cfg and Auto
  bool Help = false;
  bool Version = false;
  bool Demo = false;  // --demo: a simulated interface on every port
  std::string Error;  // a bad command line
};

ProgramOptions ParseCommandLine(int argc, char** argv);
std::string UsageText();

// Start-up in its fixed order, the message loop, and the windows destroyed in reverse order.
// Needs the application object. Returns the exit code, 0 in every case.
int RunProgram(const ProgramOptions& options);

// The single instance, null until constructed.
extern TMain* Main;

}  // namespace zarvo
