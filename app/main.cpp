// Program entry: the main window first (its creation runs the start-up sequence), then the
// settings editor, hidden; then the event loop until the main window closes.
#include "app/GuardedApplication.h"
#include "app/MainWindow.h"
#include "app/QtPrompts.h"
#include "editor/EditForm.h"
#include "link/UdpUnitEndpoint.h"
#include "monitor/QtAlarmSound.h"

#include <QDir>
#include <QTimer>

#include <cstdlib>
#include <exception>
#include <memory>

TMainForm* MainForm = nullptr;
TEditForm* EditForm = nullptr;

int main(int argc, char** argv) {
  GuardedApplication application(argc, argv);
  application.setQuitOnLastWindowClosed(false);  // the main window's closing ends the program
  try {
    const std::string programFile = QFile::encodeName(QCoreApplication::applicationFilePath()).toStdString();
    const std::string programDirectory = QFile::encodeName(QCoreApplication::applicationDirPath()).toStdString();
    // The arguments as the platform split them; the toolkit has taken out its own options.
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);

    UdpUnitEndpoint endpoint;
    SystemClock clock;
    FileLogSink logSink;
    QtAlarmSound sound(programDirectory + "/Alarm.wav");
    QtPrompts prompts;

    auto mainForm = std::make_unique<TMainForm>(MainFormServices{endpoint, clock, logSink, sound, prompts},
                                                std::move(arguments), programFile);
    MainForm = mainForm.get();
    application.setApplicationDisplayName(MainForm->windowTitle());
    auto editForm = std::make_unique<TEditForm>(MainForm->Core(), prompts);
    EditForm = editForm.get();
    MainForm->SetEditorShower([] { EditForm->ShowEditor(); });
    QObject::connect(
        MainForm, &TMainForm::closed, &application, [] { QCoreApplication::quit(); }, Qt::QueuedConnection);
    MainForm->show();

    // For smoke tests: close the window by itself after this many milliseconds.
    if (const char* quitAfter = std::getenv("QMX_QUIT_AFTER_MS"))
      QTimer::singleShot(std::atoi(quitAfter), MainForm, [] { MainForm->close(); });

    application.exec();
    editForm.reset();
    mainForm.reset();
  } catch (const std::exception& error) {
    ShowStandardError(error.what());
  } catch (...) {
    ShowStandardError("Unknown error.");
  }
  return 0;
}
