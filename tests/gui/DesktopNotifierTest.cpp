// The desktop notifier against a private bus with a stand-in notification service.
#include "monitor/QtDesktopNotifier.h"
#include "support/ChildProgram.h"

#include <QDBusConnection>
#include <QDeadlineTimer>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {
// Keeps, as one line each, what it is asked to show.
class NotificationService final : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
 public:
  QStringList shown;

 public slots:  // NOLINT(readability-redundant-access-specifiers): moc needs the slots to export them
  uint Notify(const QString& app, uint replaces, const QString& icon, const QString& summary, const QString& body,
              const QStringList& actions, const QVariantMap& hints, int timeout) {
    shown << QStringLiteral("%1|%2|%3|%4|%5|%6|urgency %7|%8")
                 .arg(app)
                 .arg(replaces)
                 .arg(icon, summary, body, actions.join(','))
                 .arg(hints.value(QStringLiteral("urgency"), -1).toInt())
                 .arg(timeout);
    return static_cast<uint>(shown.size());
  }
};

// A bus daemon of the test's own, which starts none of the machine's services.
class PrivateBus {
 public:
  PrivateBus() {
    const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (daemon.isEmpty() || !folder_.isValid()) return;
    const QString config = folder_.filePath(QStringLiteral("bus.conf"));
    std::ofstream(config.toStdString()) << "<busconfig><listen>unix:tmpdir=" << folder_.path().toStdString()
                                        << "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
                                           "<allow send_destination=\"*\"/><allow receive_sender=\"*\"/>"
                                           "<allow own=\"*\"/></policy></busconfig>\n";
    daemon_.emplace(std::vector<std::string>{daemon.toStdString(), "--config-file=" + config.toStdString(), "--nofork",
                                             "--print-address"});
    const QDeadlineTimer deadline(10000);
    std::optional<std::string> line;
    while (!(line = daemon_->TakeLine()) && !deadline.hasExpired()) daemon_->Read(100);
    if (line) address = QString::fromStdString(*line).trimmed();
  }
  PrivateBus(const PrivateBus&) = delete;
  PrivateBus& operator=(const PrivateBus&) = delete;

  QString address;

 private:
  QTemporaryDir folder_;
  std::optional<ChildProgram> daemon_;
};
}  // namespace

TEST(DesktopNotifier, WritesStandardErrorAlwaysAndNotifiesWhereTheBusHasTheService) {
  const std::string text = "Events are not being written to /opt/panel/Logs/261207.csv: No space left on device";
  const std::string line = "quellmarinox-simple-panel: " + text + "\n";

  // No bus: the line on standard error is the whole report.
  testing::internal::CaptureStderr();
  QtDesktopNotifier("Panel", QDBusConnection(QStringLiteral("qmx-no-bus"))).Notify(text);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), line);

  PrivateBus bus;
  if (bus.address.isEmpty()) GTEST_SKIP() << "no dbus-daemon here to start a private bus";
  QDBusConnection panelSide = QDBusConnection::connectToBus(bus.address, QStringLiteral("qmx-panel"));
  QDBusConnection desktopSide = QDBusConnection::connectToBus(bus.address, QStringLiteral("qmx-desktop"));
  // A guard, used by its end: cppcheck 2.17 takes it for a value never read.
  // cppcheck-suppress unreadVariable
  const std::unique_ptr<PrivateBus, void (*)(PrivateBus*)> disconnect(&bus, [](PrivateBus*) {
    QDBusConnection::disconnectFromBus(QStringLiteral("qmx-panel"));
    QDBusConnection::disconnectFromBus(QStringLiteral("qmx-desktop"));
  });
  NotificationService service;
  ASSERT_TRUE(desktopSide.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &service,
                                         QDBusConnection::ExportAllSlots));
  ASSERT_TRUE(desktopSide.registerService(QStringLiteral("org.freedesktop.Notifications")));

  // With the service: the same line, and a notification marked critical, so that it stays.
  testing::internal::CaptureStderr();
  QtDesktopNotifier("Panel", panelSide).Notify(text);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), line);
  for (int i = 0; i < 400 && service.shown.isEmpty(); ++i) QTest::qWait(25);
  EXPECT_EQ(service.shown, QStringList{"quellmarinox-simple-panel|0|dialog-warning|Panel|" +
                                       QString::fromStdString(text) + "||urgency 2|-1"});
}

#include "DesktopNotifierTest.moc"
