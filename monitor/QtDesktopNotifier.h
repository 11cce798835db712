// Tells the operator on standard error, always, and as a desktop notification where the
// session bus offers the freedesktop notification service. Nothing waits for the bus.
#pragma once

#include "monitor/OperatorNotifier.h"

#include <QDBusConnection>

class QtDesktopNotifier final : public OperatorNotifier {
 public:
  explicit QtDesktopNotifier(QDBusConnection bus = QDBusConnection::sessionBus());
  void Notify(const std::string& message) override;

 private:
  QDBusConnection bus_;
};
