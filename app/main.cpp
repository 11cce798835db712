// Program entry: the main window first (its creation runs the start-up sequence), then the
// settings editor, hidden; then the event loop until the main window closes.
#include "app/CommandLine.h"
#include "app/GuardedApplication.h"
#include "app/MainWindow.h"
#include "app/QtPrompts.h"
#include "config/ProgramPath.h"
#include "editor/EditForm.h"
#include "link/UdpUnitEndpoint.h"
#include "monitor/QtAlarmSound.h"
#include "monitor/QtDesktopNotifier.h"

#include <exception>
#include <memory>
#include <optional>
#include <string>

TMainForm* MainForm = nullptr;
TEditForm* EditForm = nullptr;

int main(int argc, char** argv) {
  static char fallbackName[] = "quellmarinox-simple-panel";
  char* invokedAs = argc > 0 && argv[0] ? argv[0] : fallbackName;
  GuardedApplication application(invokedAs);

  // A closing signal closes the main window as the Exit button does. One that comes while
  // start-up is still running closes the box start-up may be waiting on, and the window as
  // soon as it exists.
  bool closeRequested = false;
  bool closed = false;
  application.HandleClosingSignals([&] {
    closeRequested = true;
    if (MainForm) {
      if (!closed) MainForm->close();
    } else if (QWidget* box = QApplication::activeModalWidget()) {
      box->close();
    }
  });

  std::optional<std::string> failure;
  try {
    const std::string programFile = ProgramFilePath(invokedAs);
    // The arguments as the platform split them, every one of them, for the panel's grammar.
    std::vector<std::string> arguments = ArgumentsAfterProgramName(argc, argv);

    UdpUnitEndpoint endpoint;
    SystemClock clock;
    QtDesktopNotifier notifier{std::string(MainTitle)};
    FileLogSink logSink;
    QtAlarmSound sound(ProgramDirectoryOf(programFile) + "/Alarm.wav", notifier);
    QtPrompts prompts;

    auto mainForm = std::make_unique<TMainForm>(PanelServices{endpoint, clock, logSink, sound, prompts, notifier},
                                                arguments, programFile);
    QObject::connect(mainForm.get(), &TMainForm::closed, &application, [&closed] { closed = true; });
    QObject::connect(
        mainForm.get(), &TMainForm::closed, &application, [] { QCoreApplication::quit(); }, Qt::QueuedConnection);
    MainForm = mainForm.get();
    auto editForm = std::make_unique<TEditForm>(MainForm->Core(), prompts);
    EditForm = editForm.get();
    MainForm->SetEditorShower([] { EditForm->ShowEditor(); });
    MainForm->show();
    if (closeRequested) MainForm->close();

    GuardedApplication::exec();
  } catch (const std::exception& error) {
    failure = error.what();
  } catch (...) {
    failure = "Unknown error.";
  }
  // The windows are gone: a closing signal during the error box must find none to close.
  MainForm = nullptr;
  EditForm = nullptr;
  if (failure) ShowStandardError(failure->c_str());
  return 0;
}
