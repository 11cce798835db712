// Tells the operator on standard error, always, and as a desktop notification where the
// session bus offers the freedesktop notification service. Nothing waits for the bus.
#pragma once

#include "monitor/OperatorNotifier.h"

#include <QDBusConnection>
#include <QString>

#include <string>

class QtDesktopNotifier final : public OperatorNotifier {
 public:
  // title heads every notification: the name the operator knows the panel by.
  explicit QtDesktopNotifier(const std::string& title, QDBusConnection bus = QDBusConnection::sessionBus());
  void Notify(const std::string& message) override;

 private:
  QString title_;
  QDBusConnection bus_;
};
