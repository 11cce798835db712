// A real main window over the fakes, started in a private program directory.
#pragma once

#include "app/MainWindow.h"
#include "support/Fakes.h"

#include <QTimer>

#include <memory>

struct WindowRig {
  enum class Tick { Running, Stopped };

  explicit WindowRig(const std::vector<std::string>& arguments = {}, Tick tick = Tick::Running) {
    form = std::make_unique<TMainForm>(PanelServices{endpoint, clock, sink, sound, prompts, notifier}, arguments,
                                       temp.program());
    // Stopped: only the test moves the panel, by calling the tick itself.
    if (tick == Tick::Stopped) form->Timer1()->stop();
  }
  WindowRig(const WindowRig&) = delete;
  WindowRig& operator=(const WindowRig&) = delete;

  PanelCore& core() const { return form->Core(); }
  std::vector<std::string> logLines() const { return LogLines(sink, form->Core().LogDirectory, clock.now); }

  TempProgramDirectory temp{"qmx-window"};
  FakeEndpoint endpoint;
  SettableClock clock;
  MemoryLogSink sink;
  CountingSound sound;
  ScriptedPrompts prompts;
  RecordingNotifier notifier;
  std::unique_ptr<TMainForm> form;  // destroyed first, before the fakes it uses
};
