// Saved faxes announced on the desktop, against a notification server of the test's own on a
// private session bus (CTest runs this binary under dbus-run-session): what the Notify call says,
// and the viewer opened by the notification's default action. Without a server (or a bus: CTest
// runs the last test once more without one) the save goes on as if nothing were announced.
#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QTest>
#include <filesystem>

#include "decoder/AutoSave.h"
#include "platform/DesktopNotifier.h"
#include "platform/FaxAnnouncer.h"
#include "platform/PlatformError.h"
#include "support/FreshState.h"
#include "viewer/ViewPicture.h"

namespace zarvo {
namespace {

const QString kName = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");

// The server's side of org.freedesktop.Notifications, on a bus connection of its own.
class FakeNotificationServer final : public QDBusVirtualObject {
 public:
  FakeNotificationServer()
      : bus_(QDBusConnection::connectToBus(QDBusConnection::SessionBus, "fake-server")) {
    EXPECT_TRUE(bus_.registerService(kName) && bus_.registerVirtualObject(kPath, this));
  }
  ~FakeNotificationServer() override {
    bus_.unregisterObject(kPath);
    bus_.unregisterService(kName);
    QDBusConnection::disconnectFromBus("fake-server");
  }
  QString introspect(const QString&) const override { return {}; }
  bool handleMessage(const QDBusMessage& message, const QDBusConnection& bus) override {
    if (message.member() != QStringLiteral("Notify")) return false;
    const QList<QVariant> a = message.arguments();
    Notes.push_back({a.value(3).toString(), a.value(4).toString(),
                     a.value(5).toStringList().join(' ')});  // summary, body, actions
    bus.send(message.createReply(QVariant::fromValue(static_cast<uint>(Notes.size()))));
    return true;
  }
  // The user chose `action` on notification `id`.
  void Invoke(uint id, const QString& action) {
    QDBusMessage signal = QDBusMessage::createSignal(kPath, kName, QStringLiteral("ActionInvoked"));
    signal << id << action;
    bus_.send(signal);
  }
  std::vector<QStringList> Notes;

 private:
  QDBusConnection bus_;
};

class DesktopNotifierTest : public test::FreshStateTest {
 protected:
  void SetUp() override {
    Settings.ViewPicWindow = {0, 0, 687, 500};
    view = std::make_unique<TViewPic>();
    SetFaxAnnouncer(&notifier);
  }
  void TearDown() override {
    SetFaxAnnouncer(nullptr);
    view.reset();
  }
  std::string SaveFax() {
    return AutoSaveFax(Bitmap(1810, 20, GreyColour(90)), 20, 7, dir.Path() + "/", moment);
  }

  const LocalDateTime moment{2026, 12, 7, 10, 30, 0};
  DesktopNotifier notifier{OpenInViewer};
  std::unique_ptr<TViewPic> view;
};

TEST_F(DesktopNotifierTest, ASavedFaxIsAnnouncedAndItsNotificationOpensIt) {
  FakeNotificationServer server;
  SaveFax();
  ASSERT_TRUE(QTest::qWaitFor([&] { return server.Notes.size() == 1; }));
  const QString name = QString::fromStdString(AutoSaveName(moment));
  EXPECT_EQ(server.Notes[0], (QStringList{"Fax saved", name, "default Open"}));

  // Another action is not the default one.
  server.Invoke(1, QStringLiteral("other"));
  QTest::qWait(100);
  EXPECT_FALSE(view->isVisible());
  server.Invoke(1, QStringLiteral("default"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return view->isVisible(); }));
  EXPECT_EQ(std::pair(view->windowTitle(), view->Picture.Height()), std::pair("View " + name, 20));

  // A save that fails says why, and offers nothing to open.
  std::filesystem::remove_all(dir.Path() + "/Auto");
  dir.Write("Auto", {'x'});  // a file where the folder should be
  EXPECT_THROW(SaveFax(), PlatformError);
  ASSERT_TRUE(QTest::qWaitFor([&] { return server.Notes.size() == 2; }));
  const QStringList failed = server.Notes[1];  // no action offered
  EXPECT_TRUE(failed[0] == "Fax not saved" && failed[2].isEmpty() &&
              failed[1].startsWith(QString::fromStdString("Cannot create file " + dir.Path())))
      << failed.join('|').toStdString();
  EXPECT_TRUE(boxes.Shown.empty());
}

TEST_F(DesktopNotifierTest, WithoutAServerTheFaxIsSavedAsEver) {
  EXPECT_EQ(SaveFax(), dir.Path() + "/Auto/" + AutoSaveName(moment));
  QTest::qWait(100);
  EXPECT_TRUE(boxes.Shown.empty() && !view->isVisible());
}

}  // namespace
}  // namespace zarvo
