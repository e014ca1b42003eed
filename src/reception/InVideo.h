#pragma once
#include <QWidget>

namespace zarvo {

// The reception window, the one the user works in. Closing it ends the program.
class TInVid final : public QWidget {
  Q_OBJECT
 public:
  static constexpr unsigned kBlankColour = 0xC0C0C0;

  TInVid();
  ~TInVid() override;

 protected:
  void paintEvent(QPaintEvent*) override;
  void closeEvent(QCloseEvent* event) override;
};

}  // namespace zarvo
