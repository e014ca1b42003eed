#pragma once
#include <QWidget>

#include "settings/SettingsFile.h"

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;

namespace zarvo {

// The configuration window "Configuration Menu": interface type and port, the options, and the
// audio and clock calibrations. Its creation loads the settings file and its destruction writes
// it, so it is created right after the main window and destroyed last but one. Every change acts
// at once on the record and, through the reception window, on the open port.
class TConf final : public QWidget {
  Q_OBJECT
 public:
  TConf();
  ~TConf() override;

  // The controls, named after the record's fields they show.
  QLabel* LabelInterface;
  QGroupBox* InterfaceType;
  QRadioButton* InterfaceTypeItems[kInterfaceTypeCount];
  QGroupBox* ComPort;
  QRadioButton* ComPortItems[4];
  QLabel* LabelOptions;
  QCheckBox* DisableSaver;
  QCheckBox* DisableHints;
  QCheckBox* AutoPTCII;
  QCheckBox* SlowScroll;
  QCheckBox* LockControls;
  QLineEdit* DeleteDays;
  QLabel* LabelIncomingVideo;
  QGroupBox* InterfaceAudioCalib;
  QLineEdit* CalLow;
  QLineEdit* CalHigh;
  QPushButton* CalcAudioCal;
  QPushButton* Store;
  QGroupBox* InterfaceClockCalib;
  QSlider* ClockCal;
  QLabel* ClockLabel;
  QPushButton* CalcClockCal;

  // Selections as the program makes them: they act only when the choice really changes.
  // -1 selects nothing.
  void SelectInterfaceType(int index);
  void SelectComPort(int index);

  // The actions behind the controls.
  void InterfaceTypeClick(int index);
  void ComPortClick(int index);
  void StoreClick();
  void CalcAudioCalClick();
  void ClockCalChange();
  void CalcClockCalClick();
  void DeleteDaysChange();
  void LockControlsClick();

 signals:
  // The user has switched the hints over the windows' controls on or off.
  void HintsSwitched(bool shown);

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildControls();
  void ShowCalibration();
  bool MeasureTone(std::int32_t& average);

  TSettingsFile file_;
  QButtonGroup* typeGroup_;
  QButtonGroup* portGroup_;
  int selectedType_ = -1;
  int selectedPort_ = -1;
  bool measuring_ = false;
};

// The single instance, null until constructed.
extern TConf* Conf;

}  // namespace zarvo
