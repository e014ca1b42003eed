#pragma once
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <functional>

#include "interface/Receiver.h"

namespace zarvo {

// The reception window, the one the user works in. Closing it ends the program.
class TInVid final : public QWidget {
  Q_OBJECT
 public:
  static constexpr unsigned kBlankColour = 0xC0C0C0;

  TInVid();
  ~TInVid() override;

  // The receive buffer, the input thread and the serial link (ComHandle).
  TReceiveSide Receive;
  // The decoder's timer: drains the receive buffer at every tick.
  QTimer InVidTimer;
  // The decoder's per-sample step, given every drained byte in order.
  std::function<void(std::uint8_t)> SampleStep = [](std::uint8_t) {};
  void InVidTimerTimer();

 protected:
  void paintEvent(QPaintEvent*) override;
  void closeEvent(QCloseEvent* event) override;
};

}  // namespace zarvo
