// PanelCore: the one owner of the panel's runtime state and the behaviour of the main
// window, without any widget. The window forwards its clicks and timer ticks here and
// implements the status view; everything that decides lives below this line.
#pragma once

#include "config/ConfigurationOwner.h"
#include "config/Prompts.h"
#include "config/UnitConfiguration.h"
#include "link/LinkState.h"
#include "link/ReportParser.h"
#include "link/UnitEndpoint.h"
#include "monitor/AlarmSound.h"
#include "monitor/AlarmState.h"
#include "monitor/EventLog.h"
#include "monitor/OperatorNotifier.h"
#include "monitor/StatusView.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

inline constexpr std::string_view MainTitle = "KELDRON Quellmarinox Simple Panel";
// "Vesion" is the title as the panel has always shown it, kept letter for letter.
inline constexpr std::string_view MainTitleVersionLabel = " Vesion: ";
// The main window's title, ending in the project's version (CMakeLists.txt); the error boxes carry it too.
[[nodiscard]] std::string MainWindowTitle();
inline constexpr std::string_view HelpFileName = "quellmarinox-simple-panel.chm";

// What the panel is given besides its window (the StatusView, which the window itself is).
struct PanelServices {
  UnitEndpoint& endpoint;
  Clock& clock;
  LogSink& logSink;
  AlarmSound& sound;
  Prompts& prompts;
  OperatorNotifier& notifier;
};

class PanelCore final : public EventRecorder, public ConfigurationOwner {
 public:
  PanelCore(const PanelServices& services, StatusView& view)
      : services_(services), view_(view), logFailure_(services.notifier) {}
  PanelCore(const PanelCore&) = delete;
  PanelCore& operator=(const PanelCore&) = delete;

  // Start-up, step by step in its order. arguments excludes the program name.
  void FormCreate(std::span<const std::string> arguments, std::string_view programFilePath);
  void FormClose();

  // The 50 ms tick.
  void Timer1Timer();
  void ConnectButtonClick();
  void EvaluateLinkState();
  void ShowLinkStatus();
  void CommsStatusAdvSmoothStatusIndicatorClick();

  void EvaluateAlarms();
  void RefreshStatusDisplay();
  void UpdateAlarmSound();
  void DigitalInputAlarmClick(int channel);
  void AnalogueInputAlarmClick(int channel);
  void SendOutputCommand(int channel);

  void LogEvent(EventCode code, int channel) override;
  // Puts a finished line into the file of the day it was made.
  void AppendLogLine(std::string_view line, const LocalTime& made);

  void LoadConfigurationFile(const std::string& fileName);
  void LoadButtonClick();

  UnitConfiguration& WorkingConfiguration() override { return Configuration; }
  void ApplyEndpoint() override;
  void ApplyDesignators() override;

  // The help hooks stay: this platform has no help engine (app/Help.h), so the Help button stays hidden.
  void SetUpHelp();
  void ShutDownHelp() const;

  // Runtime state, zero until start-up sets it.
  UnitConfiguration Configuration{};
  std::string ProgramDirectory;
  std::string LogDirectory;
  std::string HelpFilePath;
  std::uint32_t HelpCookie = 0;
  ReportedValues Report;  // ReportedInputs, ReportedOutputs, AnalogueRaw, AnalogueValue
  std::array<AlarmState, DigitalInputCount> DigitalAlarmState{};
  std::array<AlarmState, AnalogueInputCount> AnalogueAlarmState{};
  std::uint8_t BlinkPhase = 0;
  std::int32_t BlinkCountdown = 0;
  std::string ReceivedText;
  std::int32_t LinkTimeoutCountdown = 0;
  std::uint8_t LinkUp = 0;
  ::LinkState LinkState = ::LinkState::LinkNotConnected;
  std::int32_t PollCountdown = 0;
  std::uint8_t AlarmSoundPlaying = 0;

 private:
  PanelServices services_;
  StatusView& view_;
  FailureNotice logFailure_;  // entries not written, told once until one is written again
};
