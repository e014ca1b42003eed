#include "platform/DesktopNotifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>
#include <filesystem>

namespace zarvo {
namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");

}  // namespace

DesktopNotifier::DesktopNotifier(std::function<void(const std::string&)> open, QObject* parent)
    : QObject(parent), open_(std::move(open)) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return;
  bus.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
              SLOT(ActionInvoked(uint, QString)));
  bus.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
              SLOT(NotificationClosed(uint, uint)));
}

void DesktopNotifier::Saved(const std::string& path) {
  Notify(QStringLiteral("Fax saved"),
         QString::fromStdString(std::filesystem::path(path).filename().string()), 1, path);
}

void DesktopNotifier::NotSaved(const std::string& why) {
  Notify(QStringLiteral("Fax not saved"), QString::fromStdString(why), 2, {});
}

void DesktopNotifier::Notify(const QString& summary, const QString& body, int urgency,
                             const std::string& file) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return;
  QDBusMessage call =
      QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
  const QStringList actions =
      file.empty() ? QStringList() : QStringList{QStringLiteral("default"), QStringLiteral("Open")};
  const QVariantMap hints = {
      {QStringLiteral("desktop-entry"), QStringLiteral("org.zarvo.ZarvoMeteo")},
      {QStringLiteral("urgency"), QVariant::fromValue(static_cast<uchar>(urgency))}};
  call << QStringLiteral("Zarvo Meteo") << uint{0} << QStringLiteral("org.zarvo.ZarvoMeteo")
       << summary << body << actions << hints << -1;
  // Asynchronous: the decoder's thread never waits for a slow or missing server.
  auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this,
          [this, file](QDBusPendingCallWatcher* finished) {
            const QDBusPendingReply<uint> reply = *finished;
            if (!file.empty() && reply.isValid()) files_[reply.value()] = file;
            finished->deleteLater();
          });
}

void DesktopNotifier::ActionInvoked(uint id, const QString& action) {
  const auto found = files_.find(id);
  if (found == files_.end() || action != QStringLiteral("default")) return;
  const std::string file = found->second;
  if (open_) open_(file);
}

void DesktopNotifier::NotificationClosed(uint id, uint) {
  files_.erase(id);
}

}  // namespace zarvo
