#include "monitor/QtDesktopNotifier.h"

#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QVariantMap>

#include <cstdio>

namespace {
const QString Service = QStringLiteral("org.freedesktop.Notifications");
const QString Path = QStringLiteral("/org/freedesktop/Notifications");
constexpr unsigned char CriticalUrgency = 2;  // stays on screen until the operator dismisses it
constexpr int ServerDefaultTimeout = -1;
}  // namespace

QtDesktopNotifier::QtDesktopNotifier(const std::string& title, QDBusConnection bus)
    : title_(QString::fromLocal8Bit(title)), bus_(std::move(bus)) {}

void QtDesktopNotifier::Notify(const std::string& message) {
  std::fprintf(stderr, "quellmarinox-simple-panel: %s\n", message.c_str());
  // Without a session bus the line above is the whole report. With one, the bus itself turns
  // the call away when no notification service is there (or can be started), and the answer
  // is never awaited, so a slow or missing service cannot hold up the panel.
  if (!bus_.isConnected()) return;
  QDBusMessage call = QDBusMessage::createMethodCall(Service, Path, Service, QStringLiteral("Notify"));
  call << QStringLiteral("quellmarinox-simple-panel") << 0u << QStringLiteral("dialog-warning") << title_
       << QString::fromLocal8Bit(message) << QStringList()
       << QVariantMap{{QStringLiteral("urgency"), QVariant::fromValue(CriticalUrgency)}} << ServerDefaultTimeout;
  (void)bus_.asyncCall(call);
}
