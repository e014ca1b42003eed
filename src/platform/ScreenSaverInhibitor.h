#pragma once
#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>

class QAbstractNativeEventFilter;

namespace zarvo {

// Keeps the desktop's screen saver away while `wanted` says so. The option behind it can change
// at any time, so it is looked at once a second.
class ScreenSaverInhibitor final : public QObject {
  Q_OBJECT
 public:
  ScreenSaverInhibitor(std::function<bool()> wanted, QObject* parent = nullptr);
  ~ScreenSaverInhibitor() override;
  void Update();

 private:
  void Inhibit();
  void Release();
  std::function<bool()> wanted_;
  QTimer timer_;
  bool inhibited_ = false;
  unsigned cookie_ = 0;
  std::unique_ptr<QAbstractNativeEventFilter> filter_;  // Windows only
};

}  // namespace zarvo
