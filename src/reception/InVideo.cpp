#include "reception/InVideo.h"

#include <QAbstractSlider>
#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QImage>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QSettings>
#include <QToolButton>
#include <QWheelEvent>

#include "capture/RecordingPort.h"
#include "decoder/AutoSave.h"
#include "platform/Glyphs.h"
#include "platform/Help.h"
#include "platform/Lifecycle.h"
#include "platform/LocalClock.h"
#include "platform/Messages.h"
#include "platform/PlatformError.h"
#include "platform/ProgramFolder.h"
#include "platform/QtHelpViewer.h"
#include "platform/QtPictures.h"
#include "platform/RunState.h"
#include "reception/ModeDialog.h"
#include "reception/PlayDialog.h"
#include "settings/ClockCalibration.h"
#include "settings/Config.h"
#include "settings/QtWindowGeometry.h"
#include "settings/Settings.h"
#include "settings/SoundInput.h"
#include "spectrum/Spectrum.h"
#include "viewer/DetailView.h"
#include "viewer/PictureCommands.h"
#include "viewer/PictureOps.h"
#include "viewer/ViewPicture.h"

#include <QMouseEvent>
#include <QSlider>
#include <cmath>
#include <exception>

namespace zarvo {

TInVid* InVid = nullptr;
namespace {

// The scroll codes of the platform's scroll bars; 5 is the thumb being dragged.
constexpr int kScrollLineUp = 0, kScrollLineDown = 1, kScrollPageUp = 2, kScrollPageDown = 3,
              kScrollThumbPosition = 4, kScrollThumbTrack = 5, kScrollTop = 6, kScrollBottom = 7;

int ScrollCode(int action) {
  switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
      return kScrollLineUp;
    case QAbstractSlider::SliderSingleStepAdd:
      return kScrollLineDown;
    case QAbstractSlider::SliderPageStepSub:
      return kScrollPageUp;
    case QAbstractSlider::SliderPageStepAdd:
      return kScrollPageDown;
    case QAbstractSlider::SliderToMinimum:
      return kScrollTop;
    case QAbstractSlider::SliderToMaximum:
      return kScrollBottom;
    default:
      return kScrollThumbTrack;
  }
}

const char* const kPlayCaption = "Play &recording...";
const char* const kStopCaption = "Stop playing &recording";
// The speed last chosen, the user's as the sound card's choices are.
const char* const kPlayFastKey = "SoundInput/PlayFast";

QSettings UserStore() {
  return QSettings(QStringLiteral("Zarvo"), QStringLiteral("Zarvo Meteo"));
}

}  // namespace

void SetTimerPeriod(QTimer& timer, int milliseconds) {
  const int current = timer.isActive() ? timer.interval() : 0;
  if (milliseconds == current) return;
  if (milliseconds <= 0) {
    timer.stop();
    return;
  }
  timer.start(milliseconds);
}

TInVid::TInVid() : QWidget(nullptr, Qt::Window), Decoder(Settings, *this) {
  InVid = this;
  NoteLifecycle("create InVid");
  setWindowTitle(QStringLiteral("Zarvo Meteo"));
  setCursor(Qt::CrossCursor);
  // A clock calibration takes its corners with the arrow.
  ClockCalibration().OnArmed(this, [this] { setCursor(Qt::ArrowCursor); });
  // "Straighten automatically" acts on the next broadcast as soon as the user switches it.
  Decoder.Straighten = ClockCalibration().Straighten();
  ClockCalibration().OnStraighten(this, [this](bool on) { Decoder.Straighten = on; });
  InstallHelpKey(this, kHelpReception);
  BuildControls();
  RestoreGeometry(this, Settings.InVidWindow);
  ShowHints(!IsOn(Settings.DisableHints));
  show();
  // A failure here is fatal and reported; the window then simply receives nothing.
  if (Receive.Create()) {
    Decoder.SetMode(Settings.DrumSpeed);
    connect(&InVidTimer, &QTimer::timeout, this, &TInVid::InVidTimerTimer);
    // The input thread wakes the decoder when a block has come that finishes a line, rather
    // than a timer a thousand times a second; the timer is left for the rest, which may wait a
    // little.
    // Precise: a coarse one may come a little early, and the poll would wait for the next.
    InVidTimer.setTimerType(Qt::PreciseTimer);
    InVidTimer.start(kDecoderFallbackMs);
    Receive.InputThread->SetArrivalNotice([this] { DrainIfLineCame(); });
    Receive.Link.InterfaceStartup();
  }
}

TInVid::~TInVid() {
  NoteLifecycle("destroy InVid");
  ClockCalibration().Forget(this);
  InVidTimer.stop();
  Receive.TerminateThread();
  StoreGeometry(this, Settings.InVidWindow);  // as the user left it, before the last lines
  FinishReception();
  if (Receive.InputThread) Receive.Link.InterfaceShutdown();
  Receive.ReleaseBuffer();
  if (InVid == this) InVid = nullptr;
  CloseMain();
}

void TInVid::FinishReception() {
  closing_ = true;
  try {
    // The thread has ended: what it read last is all in the buffer, a pass per drain.
    while (Receive.Drain([this](const std::uint8_t* samples, std::size_t count) {
      Decoder.Process(samples, count);
    }) > 0)
      Decoder.EndOfTick();
    Decoder.EndOfTick();
    // A fax still being received ends with the run, and is saved as any ended fax is.
    if (Decoder.CurrentLine < TDecoder::H) {
      Decoder.SavePending = true;
      Decoder.EndOfTick();
    }
  } catch (const std::exception& e) {
    ShowExceptionReport(e.what());
  }
}

void TInVid::BuildControls() {
  Panel = MakeToolPanel(this);
  ScrollBar = new QScrollBar(Qt::Vertical, Panel);
  ScrollBar->setSingleStep(10);
  const struct {
    QToolButton** Button;
    const char* Hint;
    GlyphKind Kind;
    int Column, Row;
  } buttons[] = {{&RxTopBtn, "Start reception", GlyphKind::Start, 0, 0},
                 {&MarkLeftBtn, "Mark left border", GlyphKind::MarkLeft, 0, 1},
                 {&ModeBtn, "Mode", GlyphKind::Mode, 0, 2},
                 {&ConfigurationMenuBtn, "Configuration menu", GlyphKind::Configuration, 0, 3},
                 {&ExitBtn, "Exit", GlyphKind::Exit, 1, 0},
                 {&PrintBtn, "Print", GlyphKind::Print, 1, 1},
                 {&ViewBtn, "View", GlyphKind::View, 1, 2},
                 {&SaveAsBtn, "Save as", GlyphKind::SaveAs, 1, 3}};
  for (const auto& b : buttons) {
    *b.Button =
        MakeToolButton(Panel, b.Kind, b.Hint, QRect(21 + 31 * b.Column, 4 + 31 * b.Row, 30, 30));
  }
  MarkLeftBtn->setCheckable(true);  // stays down until the mark is made

  PopupMenu = new QMenu(this);
  QAction* startRx = PopupMenu->addAction(QStringLiteral("&Start Reception"));
  QAction* markLeft = PopupMenu->addAction(QStringLiteral("Mark &Left Border"));
  QAction* menuMode = PopupMenu->addAction(QStringLiteral("&Mode"));
  QAction* menuPrint = PopupMenu->addAction(QStringLiteral("&Print"));
  QAction* view = PopupMenu->addAction(QStringLiteral("&View"));
  QAction* saveAs = PopupMenu->addAction(QStringLiteral("Save &As"));
  PlayItem = PopupMenu->addAction(QString::fromLatin1(kPlayCaption));
  PopupMenu->addSeparator();
  QAction* configuration = PopupMenu->addAction(QStringLiteral("&Configuration Menu"));
  HideSpectrumItem = PopupMenu->addAction(QStringLiteral("Hi&de Spectrum"));
  HideSpectrumItem->setCheckable(true);
  PopupMenu->addAction(SmoothDisplay().MakeItem(this));
  QAction* about = PopupMenu->addAction(QStringLiteral("A&bout..."));
  QAction* help = PopupMenu->addAction(QStringLiteral("&Help"));
  help->setShortcut(QKeySequence(Qt::Key_F1));
  QAction* exit = PopupMenu->addAction(QStringLiteral("&Exit"));
  view->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
  saveAs->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  menuPrint->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
  // The shortcuts work with the menu closed, while this window is active.
  addActions({view, saveAs, menuPrint});
  AddScrollKeys(this, ScrollBar);
  connect(&SmoothDisplay(), &SmoothDisplaySetting::Changed, this, [this] { update(); });

  connect(RxTopBtn, &QToolButton::clicked, this, &TInVid::StartReception);
  connect(startRx, &QAction::triggered, this, &TInVid::StartReception);
  connect(markLeft, &QAction::triggered, this, &TInVid::MarkLeftBtnClick);
  connect(MarkLeftBtn, &QToolButton::clicked, this, &TInVid::MarkLeftBtnClick);
  connect(ModeBtn, &QToolButton::clicked, this, &TInVid::ShowModeDialog);
  connect(menuMode, &QAction::triggered, this, &TInVid::ShowModeDialog);
  connect(PrintBtn, &QToolButton::clicked, this, &TInVid::PrintBtnClick);
  connect(menuPrint, &QAction::triggered, this, &TInVid::PrintBtnClick);
  connect(ViewBtn, &QToolButton::clicked, this, &TInVid::ViewBtnClick);
  connect(view, &QAction::triggered, this, &TInVid::ViewBtnClick);
  connect(SaveAsBtn, &QToolButton::clicked, this, &TInVid::SaveAsBtnClick);
  connect(saveAs, &QAction::triggered, this, &TInVid::SaveAsBtnClick);
  connect(PlayItem, &QAction::triggered, this, &TInVid::PlayItemClick);
  connect(ConfigurationMenuBtn, &QToolButton::clicked, this, &TInVid::ShowConfiguration);
  connect(configuration, &QAction::triggered, this, &TInVid::ShowConfiguration);
  connect(HideSpectrumItem, &QAction::triggered, this, &TInVid::ToggleHideSpectrum);
  connect(about, &QAction::triggered, this, &TInVid::About);
  connect(help, &QAction::triggered, this, [] { OpenHelpTopic(kHelpReception); });
  connect(ExitBtn, &QToolButton::clicked, this, &TInVid::Exit);
  connect(exit, &QAction::triggered, this, &TInVid::Exit);

  connect(ScrollBar, &QScrollBar::actionTriggered, this, [this](int action) {
    // A move is the thumb being dragged only while it is held; a wheel moves it too.
    int code = ScrollCode(action);
    if (code == kScrollThumbTrack && !ScrollBar->isSliderDown()) code = kScrollThumbPosition;
    ScrollBarScroll(code, ScrollBar->sliderPosition());
  });
  connect(ScrollBar, &QScrollBar::sliderReleased, this,
          [this] { ScrollBarScroll(kScrollThumbPosition, ScrollBar->value()); });
  connect(&TitleTimer, &QTimer::timeout, this, &TInVid::TitleTimerTimer);
  connect(&ScrollTimer, &QTimer::timeout, this, &TInVid::ScrollTimerTimer);
  ScrollTimer.start(1);  // its first tick lays the window out once
}

void TInVid::ShowHints(bool on) {
  HintsShown = on;
  for (QToolButton* b : {RxTopBtn, MarkLeftBtn, ModeBtn, ConfigurationMenuBtn, ExitBtn, PrintBtn,
                         ViewBtn, SaveAsBtn})
    b->setToolTip(on ? b->property("hint").toString() : QString());
  ScrollBar->setToolTip(on ? QStringLiteral("Scroll up/down") : QString());
}

void TInVid::Layout() {
  const ReceptionLayout layout =
      LayOut(width(), height(), DisplayRect, UserScrolling, Decoder.PictureOpen);
  DisplayRect = layout.Rect;
  Panel->setVisible(layout.PanelVisible);
  Panel->setGeometry(width() - kPanelWidth, 0, kPanelWidth, height());
  ScrollBar->setGeometry(2, 2, 17, height() - 4);
  ScrollBar->setPageStep(std::max(layout.ScrollLargeStep, 1));
  ScrollBar->setRange(0, std::max(layout.ScrollMax, 0));
  if (layout.SetScrollPosition) ScrollBar->setValue(layout.ScrollPosition);
  if (layout.ClientHeight < height()) resize(width(), layout.ClientHeight);
  update();
}

void TInVid::resizeEvent(QResizeEvent*) {
  Layout();
}

void TInVid::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QRect target(DisplayRect.Left, DisplayRect.Top, DisplayRect.Right - DisplayRect.Left,
                     DisplayRect.Bottom - DisplayRect.Top);
  reduced_.Draw(painter, target, Decoder.Picture);
  const int strip = Panel->isVisible() ? width() - kPanelWidth - 2 : width();
  painter.setPen(palette().color(QPalette::Dark));
  painter.setBrush(palette().window());
  if (Panel->isVisible()) painter.drawRect(strip, 0, 1, height() - 1);
  if (target.bottom() + 1 < height())
    painter.fillRect(0, target.bottom() + 1, strip, height() - target.bottom() - 1,
                     palette().window());
}

void TInVid::QueueDrain() {
  if (tickQueued_.exchange(true)) return;
  QMetaObject::invokeMethod(
      this,
      [this] {
        tickQueued_.store(false);
        InVidTimer.start();  // while lines come, the fallback need not wake the thread
        InVidTimerTimer();
      },
      Qt::QueuedConnection);
}

void TInVid::PromiseLineEnd() {
  const std::int64_t due = Decoder.SamplesToLineEnd();
  lineDue_.store(static_cast<std::int32_t>(due < 0 ? kDrainBacklog
                                                   : std::min<std::int64_t>(due, kDrainBacklog)),
                 std::memory_order_relaxed);
  // A block that came during the drain was judged by the promise before.
  DrainIfLineCame();
}

void TInVid::DrainIfLineCame() {
  // The input thread after a block, the GUI thread after a new promise: with a fence on each
  // side, one or the other sees both the block and the promise.
  std::atomic_thread_fence(std::memory_order_seq_cst);
  if (Receive.Backlog() >= lineDue_.load(std::memory_order_relaxed)) QueueDrain();
}

void TInVid::SpectrumUpdated() {
  // Not while the timer is stopped: there is no receive side, or the window is going.
  if (!InVidTimer.isActive()) return;
  InVidTimer.start();
  InVidTimerTimer();
}

void TInVid::InVidTimerTimer() {
  Receive.Drain(
      [this](const std::uint8_t* samples, std::size_t count) { Decoder.Process(samples, count); });
  Decoder.EndOfTick();
  PromiseLineEnd();
  // A recording's end and a failed input can wait a tenth of a second; the decoder cannot. Noted
  // before the poll, whose report runs the event loop and this timer with it.
  const auto now = std::chrono::steady_clock::now();
  if (now - lastPoll_ < std::chrono::milliseconds(100)) return;
  lastPoll_ = now;
  if (Receive.Poll()) ShowStatus("Recording played");
  FollowPlaying();
}

void TInVid::FollowPlaying() {
  PlayItem->setText(QString::fromLatin1(Receive.Playing() ? kStopCaption : kPlayCaption));
}

void TInVid::ShowStatus(const std::string& text) {
  setWindowTitle(QString::fromStdString(TitleCycle::StatusCaption(text)));
  SetTimerPeriod(TitleTimer, 5000);
}

void TInVid::TitleTimerTimer() {
  int period = 0;
  const std::string caption = title_.Tick(Decoder.PictureOpen, Decoder.ModeText, period);
  SetTimerPeriod(TitleTimer, period);
  setWindowTitle(QString::fromStdString(caption));
}

void TInVid::ShowNewLine() {
  const std::int32_t line = Decoder.CurrentLine;
  // A new picture starts from the top again; else only the rows written since the last line.
  if (line < shownLine_)
    reduced_.Invalidate();
  else
    reduced_.InvalidateRows(shownLine_ - 2, line + 3);
  if (FollowLine(line, height(), IsOn(Settings.SlowScroll), UserScrolling, DisplayRect)) {
    Layout();
  } else if (line < shownLine_ || DisplayRect.Right <= 0) {
    update();
  } else {
    // Only the rows written since the last line shown, and a row or two either side for the
    // second row of IOC 288 and the rounding of the stretch: stretching the whole picture for
    // every line would cost more than all the rest of the reception.
    const std::int64_t right = DisplayRect.Right;
    const int top = DisplayRect.Top + static_cast<int>((shownLine_ - 2) * right / TDecoder::W);
    const int bottom = DisplayRect.Top + static_cast<int>((line + 3) * right / TDecoder::W) + 1;
    update(0, top, width(), bottom - top + 1);
  }
  shownLine_ = line;
  if (Detail) Detail->RefreshDetail();
}

void TInVid::MarkLeftBtnClick() {
  // Choosing the command again leaves it armed, also when that click raised the button.
  MarkLeftBtn->setChecked(true);
  setCursor(Qt::ArrowCursor);
}

void TInVid::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) FormMouseDown(event->pos().x(), event->pos().y());
}

void TInVid::mouseMoveEvent(QMouseEvent* event) {
  if (event->buttons() & Qt::LeftButton) FormMouseMove(event->pos().x(), event->pos().y());
}

void TInVid::wheelEvent(QWheelEvent* event) {
  ScrollByWheel(ScrollBar, event->angleDelta().y(), wheelRest_);
  event->accept();
}

void TInVid::FormMouseDown(int x, int y) {
  const int px = PictureColumn(x, DisplayRect.Right, TDecoder::W);
  const int py = PictureRow(y, DisplayRect.Top, DisplayRect.Right, TDecoder::W);
  if (MarkLeftBtn->isChecked()) {
    MarkLeftBtn->setChecked(false);
    setCursor(Qt::CrossCursor);
    // The line being written moves with its row.
    Decoder.CurrentColumn -= ShiftLeftBorder(Decoder.Picture, px, Decoder.SaveHeight);
    reduced_.Invalidate();
    update();
    return;
  }
  TClockCalibration& clock = ClockCalibration();
  if (clock.Click(px, py, Settings.IOC, TDecoder::W)) {
    if (!clock.Pending()) setCursor(Qt::CrossCursor);
    return;
  }
  if (Detail) {
    Detail->ShowDetail();
    Detail->DrawDetail(px, py, &Decoder.Picture);
  }
}

void TInVid::FormMouseMove(int x, int y) {
  if (x < 0 || y < 0 || !Detail) return;
  Detail->ShowDetail();
  Detail->DrawDetail(PictureColumn(x, DisplayRect.Right, TDecoder::W),
                     PictureRow(y, DisplayRect.Top, DisplayRect.Right, TDecoder::W),
                     &Decoder.Picture);
}

void TInVid::ScrollBarScroll(int code, int position) {
  LastScrollCode = code;
  ScrollTimer.stop();
  ScrollTimer.setInterval(10000);
  ScrollTimer.start();
  UserScrolling = true;
  DisplayRect.Top = -position;
  Layout();
}

void TInVid::ScrollTimerTimer() {
  if (LastScrollCode == kScrollThumbTrack) return;  // still held: keep the user's place
  ScrollTimer.stop();
  UserScrolling = false;
  Layout();
}

void TInVid::StartReception() {
  Decoder.ManualStart();
  ClockCalibration().BreakMeasuredRun();  // a picture without phasing lines
  reduced_.Invalidate();
  ScrollBar->setValue(0);
  ShowStatus("manual start");
}

void TInVid::ShowModeDialog() {
  if (ModeDlg) ModeDlg->ShowModeDlg();
}

void TInVid::ShowConfiguration() {
  if (!Conf) return;
  Conf->show();
  Conf->raise();
  Conf->activateWindow();
}

void TInVid::ToggleHideSpectrum() {
  Settings.HideSpectrum = FlagOf(!IsOn(Settings.HideSpectrum));
  HideSpectrumItem->setChecked(IsOn(Settings.HideSpectrum));
  if (Spec) Spec->setVisible(!HideSpectrumItem->isChecked());
}

// Reception goes on while a file command's dialog is open; a failure leaves it as it was.
void TInVid::SaveAsBtnClick() {
  SaveCommand(SaveMemory, Decoder.Picture, [this] { return Decoder.SaveHeight; });
}

void TInVid::PrintBtnClick() {
  PrintCommand(Decoder.Picture, true);
}

void TInVid::ViewBtnClick() {
  if (ViewPic)
    ViewCommand(ViewMemory, false, [](const std::string& file) { ViewPic->LoadPicture(file); });
}

void TInVid::PlayItemClick() {
  if (Receive.Playing()) {
    Receive.StopPlaying();
    FollowPlaying();
    return;
  }
  FileDialogs* dialogs = CurrentFileDialogs();
  if (!dialogs || !Receive.InputThread) return;
  if (playFolder_.empty()) playFolder_ = QDir::homePath().toStdString();
  const std::optional<std::string> path = dialogs->OpenFile(
      playFolder_, {"Sound recordings (*.wav *.flac *.ogg *.oga)", "All files (*)"});
  if (!path) return;
  const QFileInfo file(QString::fromStdString(*path));
  playFolder_ = file.absolutePath().toStdString();
  const std::string name = file.fileName().toStdString();

  QSettings store = UserStore();
  TPlayDlg dialog(file.fileName(), store.value(QLatin1String(kPlayFastKey)).toBool(), this);
  if (dialog.exec() != QDialog::Accepted) return;
  store.setValue(QLatin1String(kPlayFastKey), dialog.Fast());
  store.sync();

  std::string error;
  std::unique_ptr<RecordingPort> recording = RecordingPort::Open(
      *path, SoundInput().CentreHz, dialog.Fast() ? PlaySpeed::Fast : PlaySpeed::RealTime,
      [this] { return Receive.Backlog(); }, error);
  if (!recording) {
    ReportError("Unable to play \"%s\": %s.", name.c_str(), error.c_str());
    return;
  }
  Receive.Play(std::move(recording), name);
  FollowPlaying();
  ShowStatus("Playing " + name);
}

void TInVid::About() {
  emit AboutRequested();
}

void TInVid::Exit() {
  if (ReportQuestion("Are you sure you want to exit Zarvo Meteo?")) CloseMain();
}

void TInVid::contextMenuEvent(QContextMenuEvent* event) {
  HideSpectrumItem->setChecked(IsOn(Settings.HideSpectrum));
  PopupMenu->popup(event->globalPos());
}

void TInVid::ModeChanged() {
  if (ModeDlg) ModeDlg->FollowSettings();
}

void TInVid::AutoSave() {
  // The last rows of a full picture come with no new line to show.
  reduced_.Invalidate();
  update();
  try {
    AutoSaveFax(Decoder.Picture, Decoder.SaveHeight, Settings.DeleteDays, ProgramFolder(),
                CurrentLocalClock().Now());
  } catch (const PlatformError& e) {
    // At the close nothing is received any more, and nothing queued would run.
    if (closing_) {
      ShowExceptionReport(e.what());
      return;
    }
    // Reported once the timer's event is over: a box opened inside it would hold the decoder
    // until the user answers, while the interface goes on sending.
    QMetaObject::invokeMethod(
        this, [what = std::string(e.what())] { ShowExceptionReport(what.c_str()); },
        Qt::QueuedConnection);
  }
}

void TInVid::SetAttention(bool on) {
  if (on && !attention_) QApplication::alert(this);
  attention_ = on;
}

void TInVid::PhasingMeasured(const PhasingLines::Result& measured) {
  // Asked once the drain is over: a box opened inside it would run the event loop in the middle
  // of the decoder's samples.
  if (ClockCalibration().PhasingMeasured(measured.Valid, measured.Ppm, measured.SigmaPpm))
    QMetaObject::invokeMethod(
        this, [] { ClockCalibration().OfferMeasuredCorrection(); }, Qt::QueuedConnection);
}

void TInVid::closeEvent(QCloseEvent* event) {
  // The title-bar close ends the program, without the Exit command's question.
  event->accept();
  CloseMain();
}

}  // namespace zarvo
