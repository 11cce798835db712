// The application object. An error that escapes a handler or a tick is shown in the
// toolkit's standard error box and ends only that handler; the program goes on.
#pragma once

#include <QApplication>

class GuardedApplication final : public QApplication {
 public:
  GuardedApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;
};

void ShowStandardError(const char* what);
