#pragma once
#include <QTimer>
#include <QWidget>
#include <string>

#include "decoder/Decoder.h"
#include "interface/Receiver.h"

namespace zarvo {

// The reception window, the one the user works in. It owns the receive side and the decoder,
// drains the buffer into the decoder at every tick of its 1 ms timer, and shows the picture.
// Closing it ends the program.
class TInVid final : public QWidget, private DecoderHost {
  Q_OBJECT
 public:
  TInVid();
  ~TInVid() override;

  // The receive buffer, the input thread and the serial link (ComHandle).
  TReceiveSide Receive;
  // The picture, the write position and the detector.
  TDecoder Decoder;
  // The decoder's timer.
  QTimer InVidTimer;
  void InVidTimerTimer();

  // Hints over the window's controls, switched by the configuration window.
  void ShowHints(bool on) { HintsShown = on; }
  bool HintsShown = true;

  // The status line is the caption: "Incoming Fax: <text>", or "Incoming Fax" for no text.
  void ShowStatus(const std::string& text) override;

 protected:
  void paintEvent(QPaintEvent*) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void RefreshDisplay() override { update(); }
  void ModeChanged() override;
  void AutoSave() override;
  void ShowNewLine() override { update(); }
  void SetAttention(bool on) override;
  bool attention_ = false;
};

}  // namespace zarvo
