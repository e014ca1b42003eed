#include "platform/ScreenSaverInhibitor.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>

#ifdef Q_OS_WIN
#include <windows.h>
#include <QAbstractNativeEventFilter>

#include "platform/ScreenSaverRule.h"
#endif

#include "settings/Settings.h"

namespace zarvo {
namespace {

#ifdef Q_OS_WIN
// On Windows the screen saver starts with a system command that the rule swallows.
class SystemCommandFilter final : public QAbstractNativeEventFilter {
 public:
  bool nativeEventFilter(const QByteArray&, void* message, qintptr* result) override {
    const MSG* msg = static_cast<const MSG*>(message);
    if (!DiscardSystemMessage(IsOn(Settings.DisableSaver), msg->message, msg->wParam)) return false;
    *result = 0;
    return true;
  }
};
SystemCommandFilter systemCommandFilter;
#endif

QDBusInterface ScreenSaverService() {
  return QDBusInterface(
      QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("/org/freedesktop/ScreenSaver"),
      QStringLiteral("org.freedesktop.ScreenSaver"), QDBusConnection::sessionBus());
}

}  // namespace

ScreenSaverInhibitor::ScreenSaverInhibitor(QObject* parent) : QObject(parent) {
#ifdef Q_OS_WIN
  QCoreApplication::instance()->installNativeEventFilter(&systemCommandFilter);
#endif
  connect(&timer_, &QTimer::timeout, this, &ScreenSaverInhibitor::Update);
  timer_.start(1000);
}

ScreenSaverInhibitor::~ScreenSaverInhibitor() {
  Release();
#ifdef Q_OS_WIN
  QCoreApplication::instance()->removeNativeEventFilter(&systemCommandFilter);
#endif
}

void ScreenSaverInhibitor::Update() {
  if (IsOn(Settings.DisableSaver) && !inhibited_) Inhibit();
  if (!IsOn(Settings.DisableSaver) && inhibited_) Release();
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
