#include "settings/Config.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <chrono>

#include "platform/Help.h"
#include "platform/Lifecycle.h"
#include "platform/Messages.h"
#include "platform/ProgramFolder.h"
#include "platform/QtHelpViewer.h"
#include "platform/QtPictures.h"
#include "platform/RunState.h"
#include "settings/Calibration.h"
#include "settings/ClockCalibration.h"
#include "settings/ToneMeasurement.h"

namespace zarvo {

TConf* Conf = nullptr;
namespace {

QString Text(const std::string& s) {
  return QString::fromStdString(s);
}

}  // namespace

TConf::TConf()
    : QWidget(nullptr, Qt::Window | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                           Qt::WindowCloseButtonHint) {
  Conf = this;
  NoteLifecycle("create Conf");
  BuildControls();
  // The correction from a picture's corners moves the track bar as the user would.
  ClockCalibration().Reset();
  ClockCalibration().OnCorrected(this, [this](int position) {
    ClockCal->setValue(position);
    ClockCalChange();
  });

  file_.Load();
  if (!file_.Loaded()) return;  // the fatal report has ended the run

  // The record's choices, applied as if the user had made them: the type re-derives its line
  // settings and fixed calibration at every start. No port exists yet to be touched.
  SelectInterfaceType(
      Settings.InterfaceType <= 0 ? -1 : std::min(Settings.InterfaceType, kInterfaceTypeCount) - 1);
  SelectComPort(Settings.ComPort <= 0 ? -1 : std::min(Settings.ComPort, 4) - 1);
  ClockCal->setValue(ClockCalPosition(Settings.ClockCal));
  ClockCalChange();
  DisableSaver->setChecked(IsOn(Settings.DisableSaver));
  DisableHints->setChecked(IsOn(Settings.DisableHints));
  AutoPTCII->setChecked(IsOn(Settings.AutoPTCII));
  SlowScroll->setChecked(IsOn(Settings.SlowScroll));
  LockControls->setChecked(IsOn(Settings.LockControls));
  DeleteDays->setText(QString::number(Settings.DeleteDays));

  // A new installation has no Auto folder yet: show the page that tells how to start.
  if (!PathExists(ProgramFile("Auto"))) OpenHelpTopic(kHelpGettingStarted);
}

TConf::~TConf() {
  NoteLifecycle("destroy Conf");
  ClockCalibration().Forget(this);
  ClockCalibration().Reset();
  file_.Save();
  if (Conf == this) Conf = nullptr;
}

void TConf::BuildControls() {
  setWindowTitle(QStringLiteral("Configuration Menu"));
  setFixedSize(593, 303);
  InstallHelpKey(this, kHelpConfiguration);
  CentreOnScreen(this);
  QFont heading = font();
  heading.setBold(true);

  LabelInterface = new QLabel(QStringLiteral("Interface"), this);
  LabelInterface->setFont(heading);
  LabelInterface->setGeometry(10, 4, 200, 18);
  InterfaceType = new QGroupBox(QStringLiteral("Interface Type"), this);
  InterfaceType->setGeometry(8, 22, 150, 134);
  typeGroup_ = new QButtonGroup(this);
  for (int i = 0; i < kInterfaceTypeCount; ++i) {
    InterfaceTypeItems[i] =
        new QRadioButton(QString::fromLatin1(InterfaceTypeParams(i + 1).Name), InterfaceType);
    InterfaceTypeItems[i]->setGeometry(10, 22 + 21 * i, 134, 20);
    typeGroup_->addButton(InterfaceTypeItems[i], i);
  }
  ComPort = new QGroupBox(QStringLiteral("COM Port"), this);
  ComPort->setGeometry(164, 22, 120, 134);
  portGroup_ = new QButtonGroup(this);
  for (int i = 0; i < 4; ++i) {
    ComPortItems[i] = new QRadioButton(QStringLiteral("COM%1").arg(i + 1), ComPort);
    ComPortItems[i]->setGeometry(10, 22 + 21 * i, 100, 20);
    portGroup_->addButton(ComPortItems[i], i);
  }

  LabelOptions = new QLabel(QStringLiteral("Options"), this);
  LabelOptions->setFont(heading);
  LabelOptions->setGeometry(302, 4, 200, 18);
  QCheckBox** boxes[5] = {&DisableSaver, &DisableHints, &AutoPTCII, &SlowScroll, &LockControls};
  const char* captions[5] = {"Disable Windows' screen saver", "Disable Hints",
                             "Auto PTC-II initialization", "Slow Scroll", "Lock all controls"};
  for (int i = 0; i < 5; ++i) {
    *boxes[i] = new QCheckBox(QString::fromLatin1(captions[i]), this);
    (*boxes[i])->setGeometry(302, 24 + 21 * i, 280, 20);
  }
  SlowScroll->setEnabled(false);  // shown from the file; nothing here changes it
  auto* before = new QLabel(QStringLiteral("Delete images older than"), this);
  before->setGeometry(302, 132, 160, 20);
  DeleteDays = new QLineEdit(QStringLiteral("99"), this);
  DeleteDays->setGeometry(462, 130, 30, 22);
  auto* after = new QLabel(QStringLiteral("day(s)"), this);
  after->setGeometry(498, 132, 60, 20);

  LabelIncomingVideo = new QLabel(QStringLiteral("Incoming Video"), this);
  LabelIncomingVideo->setFont(heading);
  LabelIncomingVideo->setGeometry(10, 160, 200, 18);
  InterfaceAudioCalib = new QGroupBox(QStringLiteral("Incoming Audio Calibration"), this);
  InterfaceAudioCalib->setGeometry(8, 178, 284, 118);
  auto* low = new QLabel(QStringLiteral("Low"), InterfaceAudioCalib);
  low->setGeometry(10, 26, 36, 20);
  CalLow = new QLineEdit(QStringLiteral("123.45"), InterfaceAudioCalib);
  CalLow->setGeometry(46, 24, 80, 22);
  auto* high = new QLabel(QStringLiteral("High"), InterfaceAudioCalib);
  high->setGeometry(142, 26, 36, 20);
  CalHigh = new QLineEdit(QStringLiteral("123.45"), InterfaceAudioCalib);
  CalHigh->setGeometry(178, 24, 80, 22);
  CalcAudioCal =
      new QPushButton(QStringLiteral("Calculate using tone generator"), InterfaceAudioCalib);
  CalcAudioCal->setGeometry(10, 56, 264, 26);
  Store = new QPushButton(QStringLiteral("Store"), InterfaceAudioCalib);
  Store->setGeometry(10, 86, 264, 26);
  Store->setEnabled(false);

  InterfaceClockCalib = new QGroupBox(QStringLiteral("Incoming Clock Calibration"), this);
  InterfaceClockCalib->setGeometry(300, 178, 285, 118);
  ClockCal = new QSlider(Qt::Horizontal, InterfaceClockCalib);
  ClockCal->setRange(-1000, 1000);
  ClockCal->setSingleStep(1);
  ClockCal->setPageStep(100);
  ClockCal->setTickPosition(QSlider::TicksBelow);
  ClockCal->setTickInterval(100);
  ClockCal->setGeometry(10, 22, 265, 30);
  ClockLabel = new QLabel(QStringLiteral("0.0000 %"), InterfaceClockCalib);
  ClockLabel->setAlignment(Qt::AlignCenter);
  ClockLabel->setGeometry(10, 54, 265, 20);
  CalcClockCal =
      new QPushButton(QStringLiteral("Calculate using last picture"), InterfaceClockCalib);
  CalcClockCal->setGeometry(10, 86, 265, 26);

  // The user's changes. A click on the type already chosen does nothing; one on the port already
  // chosen goes to the reception side, which opens it again if it has failed.
  connect(typeGroup_, &QButtonGroup::idClicked, this, [this](int id) {
    if (id != selectedType_) InterfaceTypeClick(id);
  });
  connect(portGroup_, &QButtonGroup::idClicked, this, &TConf::ComPortClick);
  connect(CalLow, &QLineEdit::textChanged, this, [this] { Store->setEnabled(true); });
  connect(CalHigh, &QLineEdit::textChanged, this, [this] { Store->setEnabled(true); });
  connect(Store, &QPushButton::clicked, this, &TConf::StoreClick);
  connect(CalcAudioCal, &QPushButton::clicked, this, &TConf::CalcAudioCalClick);
  connect(ClockCal, &QSlider::valueChanged, this, &TConf::ClockCalChange);
  connect(CalcClockCal, &QPushButton::clicked, this, &TConf::CalcClockCalClick);
  connect(DeleteDays, &QLineEdit::textChanged, this, &TConf::DeleteDaysChange);
  connect(LockControls, &QCheckBox::toggled, this, &TConf::LockControlsClick);
  connect(DisableSaver, &QCheckBox::toggled, this,
          [](bool on) { Settings.DisableSaver = FlagOf(on); });
  connect(DisableHints, &QCheckBox::toggled, this, [this](bool on) {
    Settings.DisableHints = FlagOf(on);
    emit HintsSwitched(!on);
  });
  connect(AutoPTCII, &QCheckBox::toggled, this, [](bool on) { Settings.AutoPTCII = FlagOf(on); });
  connect(SlowScroll, &QCheckBox::toggled, this, [](bool on) { Settings.SlowScroll = FlagOf(on); });
}

void TConf::closeEvent(QCloseEvent* event) {
  event->ignore();  // closing only hides it
  hide();
}

void TConf::SelectInterfaceType(int index) {
  if (index == selectedType_) return;
  if (index < 0) {
    typeGroup_->setExclusive(false);
    for (QRadioButton* item : InterfaceTypeItems) item->setChecked(false);
    typeGroup_->setExclusive(true);
  } else {
    InterfaceTypeItems[index]->setChecked(true);
  }
  InterfaceTypeClick(index);
}

void TConf::SelectComPort(int index) {
  if (index == selectedPort_ || index < 0) return;
  ComPortItems[index]->setChecked(true);
  ComPortClick(index);
}

void TConf::InterfaceTypeClick(int index) {
  selectedType_ = index;
  AutoPTCII->setEnabled(false);
  if (index >= 0) {
    ApplyInterfaceTypeFields(Settings, index + 1);
    const bool userCalibrated = index <= 1;
    CalLow->setEnabled(userCalibrated);
    CalHigh->setEnabled(userCalibrated);
    CalcAudioCal->setEnabled(userCalibrated);
    AutoPTCII->setEnabled(index == 2);
  }
  Settings.InterfaceType = index + 1;
  Settings.SamplePeriod = ComputeSamplePeriod(Settings.ClockCal, Settings.DataRate);
  Settings.CharTime =
      ComputeCharTime(Settings.StopBits, Settings.Parity, Settings.SerialCal, Settings.BaudRate);
  ShowCalibration();
  Store->setEnabled(false);
  if (ReceiveControl* receive = CurrentReceiveControl()) receive->InterfaceTypeChanged();
}

void TConf::ComPortClick(int index) {
  selectedPort_ = index;
  // Without the receive side (during start-up) only the record changes.
  const bool changed = SetComPortFields(index + 1);
  if (ReceiveControl* receive = CurrentReceiveControl()) receive->ComPortChosen(changed);
}

void TConf::ShowCalibration() {
  const ShownCalibration shown = CalibrationShown(Settings.CalLow, Settings.CalHigh);
  CalLow->setText(Text(FixedText(shown.Low)));
  CalHigh->setText(Text(FixedText(shown.High)));
}

void TConf::StoreClick() {
  const double a = LeadingNumber(CalLow->text().left(255).toStdString());
  const double b = LeadingNumber(CalHigh->text().left(255).toStdString());
  std::int32_t low, high;
  // Equal values would leave the decoder dividing by zero.
  if (!CalibrationFromShown(a, b, low, high)) {
    ReportError("Low and High factors are equal, please try again.");
    return;
  }
  Settings.CalLow = low;
  Settings.CalHigh = high;
  ShowCalibration();
  Store->setEnabled(false);
}

bool TConf::MeasureTone(std::int32_t& average) {
  const ToneMeasurement tone(CurrentReceiveControl());
  if (!tone.Started()) return false;
  // The wait has no end of its own while no bytes come in: show it, and let the user stop it.
  QProgressDialog progress(QStringLiteral("Measuring the tone..."), QStringLiteral("Cancel"), 0,
                           ToneMeasurement::kBytes, this);
  progress.setWindowTitle(QStringLiteral("Zarvo Meteo"));
  progress.setWindowModality(Qt::ApplicationModal);
  progress.setMinimumDuration(0);  // modal at once: nothing else can be started meanwhile
  while (!tone.Wait(std::chrono::milliseconds(20))) {
    progress.setValue(std::min(tone.Received(), ToneMeasurement::kBytes - 1));
    QCoreApplication::processEvents();
    if (progress.wasCanceled() || MainClosed()) return false;
  }
  average = tone.Average();
  return true;
}

void TConf::CalcAudioCalClick() {
  if (measuring_) return;
  measuring_ = true;
  struct Done {
    bool& flag;
    ~Done() { flag = false; }
  } done{measuring_};
  const std::string name = TextOf(Settings.InterfaceName);
  std::int32_t low = 0, high = 0;
  if (!PromptOkCancel("Apply a 1200 Hz tone to the audio input of the " + name +
                      ".\nPress OK when ready...") ||
      !MeasureTone(low))
    return;
  if (!PromptOkCancel("Apply a 2300 Hz tone to the audio input of the " + name +
                      ".\nPress OK when ready...") ||
      !MeasureTone(high))
    return;
  if (low == high) {
    ReportError("Low and High factors are equal, please try again.");
    return;
  }
  const ShownCalibration shown = CalibrationShown(low, high);
  Store->setEnabled(false);
  if (!AskYesNoUntitled("Computed Calibration Factor Low: " + FixedText(shown.Low) + ", High: " +
                        FixedText(shown.High) + ".\nDo you want to store these values?"))
    return;
  Settings.CalLow = low;
  Settings.CalHigh = high;
  CalLow->setText(Text(GeneralText(shown.Low)));
  CalHigh->setText(Text(GeneralText(shown.High)));
}

void TConf::ClockCalChange() {
  ClockLabel->setText(Text(ApplyClockCalibration(ClockCal->value())));
}

void TConf::CalcClockCalClick() {
  ClockCalibration().Arm();
}

void TConf::DeleteDaysChange() {
  const std::int32_t days = LeadingInteger(DeleteDays->text().toStdString());
  if (days >= 0 && days <= 99) Settings.DeleteDays = days;
  DeleteDays->setText(QString::number(Settings.DeleteDays));
}

void TConf::LockControlsClick() {
  Settings.LockControls = FlagOf(LockControls->isChecked());
  const bool enabled = !IsOn(Settings.LockControls);
  for (QWidget* w :
       std::initializer_list<QWidget*>{LabelInterface, InterfaceType, ComPort, LabelIncomingVideo,
                                       CalLow, CalHigh, CalcAudioCal, ClockCal, CalcClockCal})
    w->setEnabled(enabled);
}

}  // namespace zarvo
