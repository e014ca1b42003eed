#pragma once
// Saved faxes announced as desktop notifications (org.freedesktop.Notifications on the session
// bus): the file's name, whose default action "Open" shows it; a failed save with its reason.
// Without a session bus or a notification server nothing is shown, and nothing waits for one.
#include <QObject>
#include <QString>
#include <functional>
#include <map>
#include <string>

#include "platform/FaxAnnouncer.h"

namespace zarvo {

class DesktopNotifier final : public QObject, public FaxAnnouncer {
  Q_OBJECT
 public:
  // `open` is called with the file of a notification whose "Open" the user chose.
  explicit DesktopNotifier(std::function<void(const std::string&)> open, QObject* parent = nullptr);

  void Saved(const std::string& path) override;
  void NotSaved(const std::string& why) override;

 private slots:
  void ActionInvoked(uint id, const QString& action);
  void NotificationClosed(uint id, uint reason);

 private:
  void Notify(const QString& summary, const QString& body, int urgency, const std::string& file);
  std::function<void(const std::string&)> open_;
  std::map<uint, std::string> files_;  // by notification id, while the notification stands
};

}  // namespace zarvo
