#pragma once
#include <QWidget>

#include "settings/SerialDevices.h"
#include "settings/SettingsFile.h"
#include "settings/SoundInput.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QFileSystemWatcher;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;
class QSpinBox;
class QTimer;

namespace zarvo {

// The configuration window "Configuration Menu": interface type and port (or the sound card), the
// options, the audio and clock calibrations, and the sound card's source and centre. Its creation
// loads the settings file and the user's sound choices, and its destruction writes both, so it is
// created right after the main window and destroyed last but one. Every change acts at once on
// the record and, through the reception window, on the open port.
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
  QRadioButton* SoundCardItem;  // the port group's fifth choice, its id kSoundCardPort
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
  QCheckBox* Straighten;  // the user's, kept beside the sound choices
  QPushButton* CalcClockCal;
  QGroupBox* SoundCard;
  QComboBox* SoundSourceList;  // item data: the server's name of the source, "" its default
  QPushButton* RefreshSources;
  QSpinBox* SoundCentre;
  QLineEdit* SoundCalibration;  // the fixed calibration, read only
  QLabel* SoundStatus;          // why the sources could not be listed
  QGroupBox* ComDevices;
  // The device each COM port opens. Item data: the device's path, "" the default ttyS.
  QComboBox* ComDeviceLists[kComPortCount];

  static constexpr int kSoundCardPort = 4;

  // Selections as the program makes them: they act only when the choice really changes.
  // -1 selects nothing; kSoundCardPort the sound card.
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
  // Lists the audio server's sources into SoundSourceList, the stored one kept; again whenever
  // the window is shown.
  void RefreshSourcesClick();
  void SoundSourceChange(int index);
  // The centre typed or stepped to is taken once the user has finished with it.
  void SoundCentreChange(int hz);
  void SoundCentreDone();
  // Lists the serial devices present into ComDeviceLists, each port's own kept (marked
  // "(not present)" while it is gone); when the window is shown, and while it is open whenever
  // the device folders change.
  void RefreshSerialDevices();
  void ComDeviceChange(int port, int index);

 signals:
  // The user has switched the hints over the windows' controls on or off.
  void HintsSwitched(bool shown);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void BuildControls();
  void BuildSoundCard();
  void BuildComDevices();
  void WatchDeviceFolders();
  void ShowCalibration();
  void ShowClockCalibration();
  // Which controls the input chosen leaves to the user.
  void EnableInputControls();
  bool MeasureTone(std::int32_t& average);

  TSettingsFile file_;
  QButtonGroup* typeGroup_;
  QButtonGroup* portGroup_;
  int selectedType_ = -1;
  int selectedPort_ = -1;
  bool measuring_ = false;
  QTimer* centreTimer_;
  std::int32_t openedCentre_ = 0;  // the centre the sound input was last opened with
  QFileSystemWatcher* deviceWatcher_;
};

// The single instance, null until constructed.
extern TConf* Conf;

}  // namespace zarvo
