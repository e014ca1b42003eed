#pragma once
#include <QWidget>
#include <memory>

#include "spectrum/SpThread.h"
#include "spectrum/SpectrumHistogram.h"

namespace zarvo {

// The spectrum window: a small tool window without a close button that shows the histogram of
// the incoming samples, stretched over its client area. Its thread keeps the histogram current
// also while the window is hidden.
class TSpec final : public QWidget {
  Q_OBJECT
 public:
  TSpec();
  ~TSpec() override;

  // On the GUI thread, at the spectrum thread's request: takes the new samples of the reception
  // window's buffer, and repaints when there were any.
  bool SpectrumUpdate();  // whether there was anything new to show

 signals:
  // An update took new samples: the GUI thread is awake for them, and other readers of the
  // buffer may drain with it rather than wake it again.
  void Updated();

 private:
  // Declared before the thread and the picture, so that both go first even without ~TSpec.
  std::unique_ptr<GuiThreadRunner> runner_;

 public:
  std::unique_ptr<SpectrumHistogram> Histogram;  // holds SpecBitmap
  std::unique_ptr<SpThread> Thread;              // null when it could not be created

 protected:
  void paintEvent(QPaintEvent*) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
};

// The single instance, null until constructed.
extern TSpec* Spec;

}  // namespace zarvo
