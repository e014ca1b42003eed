#pragma once
#include <QPixmap>
#include <QTimer>
#include <QWidget>

namespace zarvo {

// The picture shown for three seconds at start-up, borderless and on top of other windows.
class TSplashForm final : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kWidth = 330;
  static constexpr int kHeight = 226;
  static constexpr int kShowMs = 3000;

  TSplashForm();
  ~TSplashForm() override;
  QTimer Timer1;

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  void Timer1Timer();
  QPixmap picture_;
};

// The splash picture and the 32 x 32 program icon, drawn by the program itself.
QPixmap SplashPicture();
QPixmap ProgramIconPixmap();

// The single instance, null until constructed.
extern TSplashForm* SplashForm;

}  // namespace zarvo
