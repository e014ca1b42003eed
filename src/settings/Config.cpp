#include "settings/Config.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileSystemWatcher>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QTimer>
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

// The sound input's choices are the user's, beside the help folder, and not in Zarvo.cfg: other
// programs read that file and know only the box.
QSettings UserStore() {
  return QSettings(QStringLiteral("Zarvo"), QStringLiteral("Zarvo Meteo"));
}

// What is missing or no number reads as out of range, so that ValidSoundInput gives its default.
SoundInputChoice StoredSoundInput() {
  QSettings store = UserStore();
  store.beginGroup(QStringLiteral("SoundInput"));
  const auto number = [&store](const char* key) {
    bool ok = false;
    const int value = store.value(QLatin1String(key)).toInt(&ok);
    return ok ? value : -1;
  };
  SoundInputChoice stored;
  stored.Chosen = store.value(QStringLiteral("Chosen")).toString() == QStringLiteral("true");
  stored.Source = store.value(QStringLiteral("Source")).toString().toStdString();
  stored.CentreHz = number("Centre");
  stored.CalLow = number("CalLow");
  stored.CalHigh = number("CalHigh");
  bool ok = false;
  const double clockCal = store.value(QStringLiteral("ClockCal")).toDouble(&ok);
  stored.ClockCal = ok ? static_cast<float>(clockCal) : 1.0f;
  return ValidSoundInput(stored);
}

void StoreSoundInput() {
  const SoundInputChoice choice = SoundInputForStore();
  QSettings store = UserStore();
  store.beginGroup(QStringLiteral("SoundInput"));
  store.setValue(QStringLiteral("Chosen"), choice.Chosen);
  store.setValue(QStringLiteral("Source"), Text(choice.Source));
  store.setValue(QStringLiteral("Centre"), choice.CentreHz);
  store.setValue(QStringLiteral("CalLow"), choice.CalLow);
  store.setValue(QStringLiteral("CalHigh"), choice.CalHigh);
  store.setValue(QStringLiteral("ClockCal"), static_cast<double>(choice.ClockCal));
  store.endGroup();
  store.sync();
}

// The device the user chose for each COM port, kept beside the sound choices: Zarvo.cfg keeps
// only the port's name, as other programs read it.
void LoadComDevices() {
  QSettings store = UserStore();
  store.beginGroup(QStringLiteral("SerialDevices"));
  for (int n = 1; n <= kComPortCount; ++n)
    ChosenComDevice(n) = store.value(QStringLiteral("COM%1").arg(n)).toString().toStdString();
}

void StoreComDevices() {
  QSettings store = UserStore();
  store.beginGroup(QStringLiteral("SerialDevices"));
  for (int n = 1; n <= kComPortCount; ++n) {
    const QString key = QStringLiteral("COM%1").arg(n);
    if (ChosenComDevice(n).empty())
      store.remove(key);
    else
      store.setValue(key, Text(ChosenComDevice(n)));
  }
  store.endGroup();
  store.sync();
}

// Straightening is the user's choice, and other programs reading Zarvo.cfg know nothing of it.
const char* const kStraightenKey = "Reception/Straighten";

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
  const bool straighten = UserStore().value(QLatin1String(kStraightenKey), true).toBool();
  {
    const QSignalBlocker quiet(Straighten);
    Straighten->setChecked(straighten);
  }
  ClockCalibration().SetStraighten(straighten);

  file_.Load();
  if (!file_.Loaded()) return;  // the fatal report has ended the run

  // The user's sound choices; the sound card is chosen once the record's box is set up (and
  // repaired) for the file.
  SoundInput() = StoredSoundInput();
  LoadComDevices();
  const bool soundChosen = SoundInput().Chosen;
  SoundInput().Chosen = false;
  openedCentre_ = SoundInput().CentreHz;
  {
    const QSignalBlocker quiet(SoundCentre);
    SoundCentre->setValue(SoundInput().CentreHz);
  }

  // The record's choices, applied as if the user had made them: the type re-derives its line
  // settings and fixed calibration at every start. No port exists yet to be touched.
  SelectInterfaceType(
      Settings.InterfaceType <= 0 ? -1 : std::min(Settings.InterfaceType, kInterfaceTypeCount) - 1);
  SelectComPort(Settings.ComPort <= 0 ? -1 : std::min(Settings.ComPort, 4) - 1);
  ShowClockCalibration();
  if (soundChosen) SelectComPort(kSoundCardPort);
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
  if (file_.Loaded()) StoreSoundInput();
  file_.Save();
  if (Conf == this) Conf = nullptr;
}

void TConf::BuildControls() {
  setWindowTitle(QStringLiteral("Configuration Menu"));
  setFixedSize(593, 548);
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
  SoundCardItem = new QRadioButton(QStringLiteral("Sound card"), ComPort);
  SoundCardItem->setGeometry(10, 22 + 21 * kSoundCardPort, 100, 20);
  portGroup_->addButton(SoundCardItem, kSoundCardPort);

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
  ClockCal->setGeometry(10, 20, 265, 28);
  ClockLabel = new QLabel(QStringLiteral("0.0000 %"), InterfaceClockCalib);
  ClockLabel->setAlignment(Qt::AlignCenter);
  ClockLabel->setGeometry(10, 46, 265, 18);
  Straighten = new QCheckBox(QStringLiteral("Straighten automatically"), InterfaceClockCalib);
  Straighten->setGeometry(10, 65, 265, 20);
  CalcClockCal =
      new QPushButton(QStringLiteral("Calculate using last picture"), InterfaceClockCalib);
  CalcClockCal->setGeometry(10, 87, 265, 26);
  BuildSoundCard();
  BuildComDevices();

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
  connect(Straighten, &QCheckBox::toggled, this, [](bool on) {
    QSettings store = UserStore();
    store.setValue(QLatin1String(kStraightenKey), on);
    store.sync();
    ClockCalibration().SetStraighten(on);
  });
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

void TConf::BuildSoundCard() {
  SoundCard = new QGroupBox(QStringLiteral("Sound Card"), this);
  SoundCard->setGeometry(8, 302, 577, 106);
  auto* source = new QLabel(QStringLiteral("Source"), SoundCard);
  source->setGeometry(10, 26, 50, 20);
  SoundSourceList = new QComboBox(SoundCard);
  SoundSourceList->setGeometry(62, 24, 400, 24);
  RefreshSources = new QPushButton(QStringLiteral("Refresh"), SoundCard);
  RefreshSources->setGeometry(472, 23, 95, 26);
  auto* centre = new QLabel(QStringLiteral("Centre"), SoundCard);
  centre->setGeometry(10, 58, 50, 20);
  SoundCentre = new QSpinBox(SoundCard);
  SoundCentre->setRange(static_cast<int>(kLowestAudioCentreHz),
                        static_cast<int>(kHighestAudioCentreHz));
  SoundCentre->setSingleStep(10);
  SoundCentre->setSuffix(QStringLiteral(" Hz"));
  SoundCentre->setValue(static_cast<int>(kDefaultCentreHz));
  SoundCentre->setGeometry(62, 56, 100, 24);
  auto* calibration = new QLabel(QStringLiteral("Calibration"), SoundCard);
  calibration->setGeometry(180, 58, 80, 20);
  SoundCalibration = new QLineEdit(QStringLiteral("1200 Hz = %1, 2300 Hz = %2, %3 samples/s")
                                       .arg(kAudioCalLow)
                                       .arg(kAudioCalHigh)
                                       .arg(kAudioByteRate),
                                   SoundCard);
  SoundCalibration->setReadOnly(true);
  SoundCalibration->setGeometry(262, 56, 305, 24);
  SoundStatus = new QLabel(SoundCard);
  SoundStatus->setGeometry(10, 84, 557, 18);

  // A reopening per spin step would restart the demodulator at every click of the arrows.
  centreTimer_ = new QTimer(this);
  centreTimer_->setSingleShot(true);
  centreTimer_->setInterval(500);
  connect(centreTimer_, &QTimer::timeout, this, &TConf::SoundCentreDone);
  connect(SoundCentre, &QSpinBox::valueChanged, this, &TConf::SoundCentreChange);
  connect(SoundCentre, &QSpinBox::editingFinished, this, &TConf::SoundCentreDone);
  connect(SoundSourceList, &QComboBox::currentIndexChanged, this, &TConf::SoundSourceChange);
  connect(RefreshSources, &QPushButton::clicked, this, &TConf::RefreshSourcesClick);
}

void TConf::BuildComDevices() {
  ComDevices = new QGroupBox(QStringLiteral("Serial Devices"), this);
  ComDevices->setGeometry(8, 412, 577, 130);
  for (int i = 0; i < kComPortCount; ++i) {
    auto* name = new QLabel(QStringLiteral("COM%1").arg(i + 1), ComDevices);
    name->setGeometry(10, 26 + 26 * i, 44, 20);
    ComDeviceLists[i] = new QComboBox(ComDevices);
    ComDeviceLists[i]->setGeometry(62, 24 + 26 * i, 505, 24);
    connect(ComDeviceLists[i], &QComboBox::activated, this,
            [this, i](int index) { ComDeviceChange(i, index); });
  }
  // An adapter plugged in or out while the window is open shows at once.
  deviceWatcher_ = new QFileSystemWatcher(this);
  connect(deviceWatcher_, &QFileSystemWatcher::directoryChanged, this, [this] {
    if (isVisible()) RefreshSerialDevices();
  });
}

void TConf::WatchDeviceFolders() {
  // serial/ and serial/by-id/ come and go with the first and last adapter: watched anew each time.
  const QString dev = Text(SerialDevRoot());
  for (const QString& folder :
       {dev, dev + QStringLiteral("/serial"), dev + QStringLiteral("/serial/by-id")})
    if (QDir(folder).exists() && !deviceWatcher_->directories().contains(folder))
      deviceWatcher_->addPath(folder);
}

void TConf::RefreshSerialDevices() {
  WatchDeviceFolders();
  const std::vector<SerialDevice> devices = ListSerialDevices(SerialDevRoot(), SerialSysRoot());
  for (int i = 0; i < kComPortCount; ++i) {
    const int number = i + 1;
    const ComDevice device = ResolveComDevice(number);
    struct Item {
      QString Label, Path;
    };
    std::vector<Item> items;
    if (device.Origin == ComDeviceOrigin::Environment) {
      items.push_back({QStringLiteral("$ZARVO_COM%1: %2").arg(number).arg(Text(device.Path)),
                       Text(device.Path)});
    } else {
      items.push_back({QStringLiteral("Default: ") + Text(DefaultComDevice(number)), QString()});
      bool present = device.Origin == ComDeviceOrigin::Default;
      for (const SerialDevice& d : devices) {
        items.push_back({Text(d.Label), Text(d.Path)});
        present = present || d.Path == device.Path;
      }
      // The port's own device stays chosen while it is unplugged, until the user picks another.
      if (!present)
        items.push_back(
            {Text(SerialDeviceLabel(device.Path) + " (not present)"), Text(device.Path)});
    }
    QComboBox* list = ComDeviceLists[i];
    // Left alone when nothing changed, so that a list the user has open stays open.
    bool same = list->count() == static_cast<int>(items.size());
    for (int k = 0; same && k < list->count(); ++k)
      same = list->itemText(k) == items[k].Label && list->itemData(k).toString() == items[k].Path;
    if (!same) {
      list->clear();
      for (const Item& item : items) {
        list->addItem(item.Label, item.Path);
        list->setItemData(list->count() - 1, item.Path, Qt::ToolTipRole);
      }
    }
    const QString current =
        device.Origin == ComDeviceOrigin::Default ? QString() : Text(device.Path);
    list->setCurrentIndex(std::max(list->findData(current), 0));
    list->setEnabled(device.Origin != ComDeviceOrigin::Environment);
    list->setToolTip(device.Origin == ComDeviceOrigin::Environment
                         ? QStringLiteral("Set by the environment variable ZARVO_COM%1").arg(number)
                         : Text(device.Path));
  }
}

void TConf::ComDeviceChange(int port, int index) {
  const std::string path = ComDeviceLists[port]->itemData(index).toString().toStdString();
  std::string& chosen = ChosenComDevice(port + 1);
  if (index < 0 || path == chosen) return;
  chosen = path;
  StoreComDevices();
  RefreshSerialDevices();  // a device no longer chosen and not present leaves the list
  if (SoundInput().Chosen || port != selectedPort_) return;
  if (ReceiveControl* receive = CurrentReceiveControl()) receive->ComPortChosen(true);
}

void TConf::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  RefreshSourcesClick();  // a device plugged in while the window was hidden
  RefreshSerialDevices();
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
  portGroup_->button(index)->setChecked(true);
  ComPortClick(index);
}

void TConf::InterfaceTypeClick(int index) {
  selectedType_ = index;
  AutoPTCII->setEnabled(false);
  if (index >= 0) {
    const bool userCalibrated = index <= 1;
    CalLow->setEnabled(userCalibrated);
    CalHigh->setEnabled(userCalibrated);
    CalcAudioCal->setEnabled(userCalibrated);
    AutoPTCII->setEnabled(index == 2);
  }
  // While a recording plays the record holds the sound's rate and calibration; the type is the
  // box's.
  ChangeBoxFields([index] {
    if (index >= 0) ApplyInterfaceTypeFields(Settings, index + 1);
    Settings.InterfaceType = index + 1;
    Settings.SamplePeriod = ComputeSamplePeriod(Settings.ClockCal, Settings.DataRate);
    Settings.CharTime =
        ComputeCharTime(Settings.StopBits, Settings.Parity, Settings.SerialCal, Settings.BaudRate);
  });
  ShowCalibration();
  Store->setEnabled(false);
  if (ReceiveControl* receive = CurrentReceiveControl()) receive->InterfaceTypeChanged();
}

void TConf::ComPortClick(int index) {
  selectedPort_ = index;
  const bool wasSound = SoundInput().Chosen;
  bool changed = !wasSound;
  if (index == kSoundCardPort) {
    SoundInput().Chosen = true;
    openedCentre_ = SoundInput().CentreHz;
  } else {
    SoundInput().Chosen = false;
    changed = SetComPortFields(index + 1) || wasSound;
  }
  if (SoundInput().Chosen != wasSound) {
    UpdateSoundCalibration();
    ShowCalibration();
    Store->setEnabled(false);
    ShowClockCalibration();
    EnableInputControls();
    StoreSoundInput();
  }
  // Without the receive side (during start-up) only the record changes.
  if (ReceiveControl* receive = CurrentReceiveControl()) receive->ComPortChosen(changed);
}

void TConf::EnableInputControls() {
  const bool unlocked = !IsOn(Settings.LockControls);
  // A box's line settings mean nothing to sound, but its calibration is measured with a tone
  // generator as a box of types 1-2 is.
  const bool sound = SoundInput().Chosen;
  InterfaceType->setEnabled(unlocked && !sound);
  const bool userCalibrated = sound || selectedType_ <= 1;
  for (QWidget* w : std::initializer_list<QWidget*>{CalLow, CalHigh, CalcAudioCal})
    w->setEnabled(unlocked && userCalibrated);
}

void TConf::RefreshSourcesClick() {
  std::vector<SoundSource> sources;
  std::string error;
  const bool listed = ListSoundSources(sources, error);
  if (!listed) sources.clear();
  // The lister's reason reads as a sentence: "no audio server is running at ...".
  QString reason = Text(error);
  if (!reason.isEmpty()) reason = reason.front().toUpper() + reason.mid(1) + QLatin1Char('.');
  SoundStatus->setText(listed ? QString() : reason);
  const std::string& chosen = SoundInput().Source;
  const QSignalBlocker quiet(SoundSourceList);
  SoundSourceList->clear();
  SoundSourceList->addItem(QStringLiteral("Default input"), QString());
  bool present = chosen.empty();
  for (const SoundSource& source : sources) {
    SoundSourceList->addItem(Text(source.Description.empty() ? source.Name : source.Description),
                             Text(source.Name));
    SoundSourceList->setItemData(SoundSourceList->count() - 1, Text(source.Name), Qt::ToolTipRole);
    present = present || source.Name == chosen;
  }
  // The stored source stays choosable while its device is unplugged or its server is away.
  if (!present)
    SoundSourceList->addItem(Text(chosen) + QStringLiteral(" (not present)"), Text(chosen));
  SoundSourceList->setCurrentIndex(std::max(SoundSourceList->findData(Text(chosen)), 0));
}

void TConf::SoundSourceChange(int index) {
  const std::string source = SoundSourceList->itemData(index).toString().toStdString();
  if (index < 0 || source == SoundInput().Source) return;
  SoundInput().Source = source;
  StoreSoundInput();
  if (!SoundInput().Chosen) return;
  openedCentre_ = SoundInput().CentreHz;
  if (ReceiveControl* receive = CurrentReceiveControl()) receive->ComPortChosen(true);
}

void TConf::SoundCentreChange(int hz) {
  SoundInput().CentreHz = hz;
  StoreSoundInput();
  centreTimer_->start();
}

void TConf::SoundCentreDone() {
  centreTimer_->stop();
  if (SoundInput().CentreHz == openedCentre_) return;
  openedCentre_ = SoundInput().CentreHz;
  if (!SoundInput().Chosen) return;
  if (ReceiveControl* receive = CurrentReceiveControl()) receive->ComPortChosen(true);
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
  StoreSoundInput();
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
  const std::string name =
      SoundInput().Chosen ? std::string("sound card") : TextOf(Settings.InterfaceName);
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
  StoreSoundInput();
  CalLow->setText(Text(GeneralText(shown.Low)));
  CalHigh->setText(Text(GeneralText(shown.High)));
}

void TConf::ClockCalChange() {
  ClockLabel->setText(Text(ApplyClockCalibration(ClockCal->value())));
  if (SoundCalibrationInUse()) StoreSoundInput();
}

void TConf::ShowClockCalibration() {
  {
    const QSignalBlocker quiet(ClockCal);
    ClockCal->setValue(ClockCalPosition(Settings.ClockCal));
  }
  ClockCalChange();
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
  for (QWidget* w : std::initializer_list<QWidget*>{
           LabelInterface, InterfaceType, ComPort, LabelIncomingVideo, CalLow, CalHigh,
           CalcAudioCal, ClockCal, Straighten, CalcClockCal, SoundCard, ComDevices})
    w->setEnabled(enabled);
  InterfaceType->setEnabled(enabled && !SoundInput().Chosen);
}

}  // namespace zarvo
