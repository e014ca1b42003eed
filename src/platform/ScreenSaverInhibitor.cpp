#include "platform/ScreenSaverInhibitor.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>

#ifdef Q_OS_WIN
#include <windows.h>

#include "platform/ScreenSaverRule.h"
#endif

namespace zarvo {
namespace {

#ifdef Q_OS_WIN
// On Windows the screen saver starts with a system command that the rule swallows.
class SystemCommandFilter final : public QAbstractNativeEventFilter {
 public:
  explicit SystemCommandFilter(std::function<bool()> wanted) : wanted_(std::move(wanted)) {}
  bool nativeEventFilter(const QByteArray&, void* message, qintptr* result) override {
    const MSG* msg = static_cast<const MSG*>(message);
    if (!DiscardSystemMessage(wanted_(), msg->message, msg->wParam)) return false;
    *result = 0;
    return true;
  }

 private:
  std::function<bool()> wanted_;
};
#endif

QDBusInterface ScreenSaverService() {
  return QDBusInterface(
      QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("/org/freedesktop/ScreenSaver"),
      QStringLiteral("org.freedesktop.ScreenSaver"), QDBusConnection::sessionBus());
}

}  // namespace

ScreenSaverInhibitor::ScreenSaverInhibitor(std::function<bool()> wanted, QObject* parent)
    : QObject(parent), wanted_(std::move(wanted)) {
#ifdef Q_OS_WIN
  filter_ = std::make_unique<SystemCommandFilter>(wanted_);
  QCoreApplication::instance()->installNativeEventFilter(filter_.get());
#endif
  connect(&timer_, &QTimer::timeout, this, &ScreenSaverInhibitor::Update);
  timer_.start(1000);
}

ScreenSaverInhibitor::~ScreenSaverInhibitor() {
  Release();
  if (filter_) QCoreApplication::instance()->removeNativeEventFilter(filter_.get());
}

void ScreenSaverInhibitor::Update() {
  const bool wanted = wanted_();
  if (wanted && !inhibited_) Inhibit();
  if (!wanted && inhibited_) Release();
}

void ScreenSaverInhibitor::Inhibit() {
  inhibited_ = true;  // also without a session bus, so that we do not ask again every second
  if (!QDBusConnection::sessionBus().isConnected()) return;
  QDBusInterface service = ScreenSaverService();
  if (!service.isValid()) return;
  const QDBusReply<unsigned> reply =
      service.call(QStringLiteral("Inhibit"), QStringLiteral("Zarvo Meteo"),
                   QStringLiteral("Receiving weather faxes"));
  if (reply.isValid()) cookie_ = reply.value();
}

void ScreenSaverInhibitor::Release() {
  if (!inhibited_) return;
  inhibited_ = false;
  if (cookie_ == 0 || !QDBusConnection::sessionBus().isConnected()) return;
  QDBusInterface service = ScreenSaverService();
  if (service.isValid()) service.call(QStringLiteral("UnInhibit"), cookie_);
  cookie_ = 0;
}

}  // namespace zarvo
