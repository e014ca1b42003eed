#pragma once
#include <QObject>
#include <QTimer>

namespace zarvo {

// Keeps the desktop's screen saver away while the DisableSaver option is on. The option can
// change at any time, so it is looked at once a second.
class ScreenSaverInhibitor final : public QObject {
  Q_OBJECT
 public:
  explicit ScreenSaverInhibitor(QObject* parent = nullptr);
  ~ScreenSaverInhibitor() override;
  bool Inhibited() const { return inhibited_; }
  void Update();

 private:
  void Inhibit();
  void Release();
  QTimer timer_;
  bool inhibited_ = false;
  unsigned cookie_ = 0;
};

}  // namespace zarvo
