#pragma once
#include <QTimer>
#include <QWidget>
#include <atomic>
#include <chrono>
#include <string>

#include "decoder/Decoder.h"
#include "interface/Receiver.h"
#include "reception/ReceptionLayout.h"
#include "settings/Settings.h"
#include "viewer/PictureCommands.h"
#include "viewer/PictureWindow.h"

class QAction;
class QFrame;
class QMenu;
class QScrollBar;
class QToolButton;

namespace zarvo {

// The reception window, the one the user works in. It owns the receive side and the decoder,
// drains the buffer into the decoder at every tick of its 1 ms timer, shows the picture scaled to
// its width while following the line being written, and carries every command on its panel and
// popup menu, playing a recording in place of the input among them. Closing it ends the program.
class TInVid final : public QWidget, private DecoderHost {
  Q_OBJECT
 public:
  TInVid();
  ~TInVid() override;

  // The receive buffer, the input thread and the serial link (ComHandle).
  TReceiveSide Receive;
  // The picture, the write position and the detector.
  TDecoder Decoder;

  DisplayRectangle DisplayRect;
  bool UserScrolling = false;
  int LastScrollCode = 0;

  // Drains what no arrival notice or spectrum update has drained yet, and polls the receive side.
  // Longer than the spectrum's pause, so that it does not wake the thread while the spectrum
  // does.
  static constexpr int kDecoderFallbackMs = 100;
  // A backlog that wakes the decoder whether or not it finishes a line: a recording played fast
  // is not held to the fallback's pace.
  static constexpr std::int32_t kDrainBacklog = 4096;
  QTimer InVidTimer;
  QTimer TitleTimer;   // the title cycle after each status
  QTimer ScrollTimer;  // gives the view back to the following 10 s after the user's last scroll
  QFrame* Panel;
  QScrollBar* ScrollBar;
  QToolButton* RxTopBtn;
  QToolButton* MarkLeftBtn;
  QToolButton* ModeBtn;
  QToolButton* ConfigurationMenuBtn;
  QToolButton* ExitBtn;
  QToolButton* PrintBtn;
  QToolButton* ViewBtn;
  QToolButton* SaveAsBtn;
  QMenu* PopupMenu;
  QAction* HideSpectrumItem;
  QAction* PlayItem;  // "Play &recording...", or "Stop playing &recording" while one plays

  // Hints over the window's controls, switched by the configuration window.
  void ShowHints(bool on);
  bool HintsShown = true;

  // The status line is the caption: "Incoming Fax: <text>", or "Incoming Fax" for no text.
  void ShowStatus(const std::string& text) override;

  // Lays out panel, picture rectangle and scroll bar for the client size, and redraws.
  void Layout();

  // The commands.
  void InVidTimerTimer();
  // The spectrum's update has woken the GUI thread anyway: the decoder drains with it, and the
  // fallback starts over.
  void SpectrumUpdated();
  void TitleTimerTimer();
  void ScrollTimerTimer();
  void ScrollBarScroll(int code, int position);
  void StartReception();
  void ShowModeDialog();
  void ShowConfiguration();
  void ToggleHideSpectrum();
  void About();
  void Exit();
  // Saves the rows received so far, prints the whole picture with a footer, opens a stored
  // picture in the viewer.
  void SaveAsBtnClick();
  void PrintBtnClick();
  void ViewBtnClick();
  // Asks for a recording and its speed and plays it in place of the input; while one plays,
  // stops it.
  void PlayItemClick();
  DialogMemory SaveMemory{{}, Settings.SaveDir, sizeof Settings.SaveDir};
  DialogMemory ViewMemory{{}, Settings.ViewDir, sizeof Settings.ViewDir};

  // Clicks on the picture: the left-border mark, the clock calibration's corners, the detailed
  // view, in that order of precedence.
  void MarkLeftBtnClick();
  void FormMouseDown(int x, int y);
  void FormMouseMove(int x, int y);

 signals:
  // The About command: the program's about box is shown.
  void AboutRequested();

 protected:
  void paintEvent(QPaintEvent*) override;
  void resizeEvent(QResizeEvent*) override;
  void closeEvent(QCloseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  void BuildControls();
  // At the close, after the input thread has ended: decodes what is left in the buffer and saves
  // the fax still being received.
  void FinishReception();
  bool closing_ = false;
  void RefreshDisplay() override {
    reduced_.Invalidate();
    update();
  }
  void ModeChanged() override;
  void AutoSave() override;
  void ShowNewLine() override;
  void SetAttention(bool on) override;
  void PhasingMeasured(const PhasingLines::Result& measured) override;
  bool attention_ = false;
  TitleCycle title_;
  void FollowPlaying();
  // A drain on the event loop, at most one queued at a time; from any thread.
  void QueueDrain();
  // After a drain: how many bytes must be waiting before the input thread wakes this thread.
  void PromiseLineEnd();
  // Queues a drain when the bytes promised have come; from either thread.
  void DrainIfLineCame();
  std::chrono::steady_clock::time_point lastPoll_{};
  std::atomic<bool> tickQueued_{false};  // a drain is queued for the bytes that came
  // The bytes that finish the line being written, or kDrainBacklog: fewer are left to the
  // fallback, since the screen shows nothing new before the line is finished.
  std::atomic<std::int32_t> lineDue_{1};
  std::int32_t shownLine_ = 0;  // the decoder's line at the last repaint of new rows
  std::string playFolder_;      // where the last recording played was
  ReducedPicture reduced_;
  int wheelRest_ = 0;  // a fine wheel's eighths of a degree not yet turned into a step
};

// A timer's period: the same value changes nothing, a new one restarts the count, 0 stops it.
void SetTimerPeriod(QTimer& timer, int milliseconds);

// The single instance, null until constructed.
extern TInVid* InVid;

}  // namespace zarvo
