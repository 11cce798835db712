#include "app/PanelCore.h"

#include "app/CommandLine.h"
#include "app/Help.h"
#include "config/DataFile.h"
#include "config/ProgramPath.h"
#include "link/Messages.h"
#include "monitor/AlarmMachines.h"
#include "monitor/StatusDisplay.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

std::string MainWindowTitle() {
  // QMX_VERSION is the project's version, given by app/CMakeLists.txt.
  return std::string(MainTitle) + std::string(MainTitleVersionLabel) + QMX_VERSION;
}

void PanelCore::FormCreate(std::span<const std::string> arguments, std::string_view programFilePath) {
  view_.SetTitle(MainWindowTitle());
  SetDefaults(Configuration);
  ProgramDirectory = ProgramDirectoryOf(programFilePath);

  const StartupOptions options = ReadCommandLine(arguments, ProgramDirectory);
  if (options.ignoredTooLong > 0)
    std::fprintf(stderr, "quellmarinox-simple-panel: ignored %d argument(s) longer than %zu characters\n",
                 options.ignoredTooLong, MaxArgumentLength);

  LinkUp = 0;
  LinkTimeoutCountdown = 0;
  LinkState = ::LinkState::LinkNotConnected;
  DigitalAlarmState.fill(AlarmState::Normal);
  AnalogueAlarmState.fill(AlarmState::Normal);
  BlinkCountdown = 0;

  ApplyDesignators();
  EvaluateAlarms();
  ApplyEndpoint();

  LogDirectory = ProgramDirectory + "/Logs";
  std::error_code ignored;  // a log directory that cannot be made is not reported
  if (!std::filesystem::is_directory(LogDirectory, ignored)) std::filesystem::create_directory(LogDirectory, ignored);

  LogEvent(EventCode::ApplicationStarted, 1);
  AlarmSoundPlaying = 0;
  SetUpHelp();

  if (!options.startupFileName.empty()) {
    try {
      LoadConfigurationFile(options.startupFileName);
    } catch (...) {  // NOLINT(bugprone-empty-catch): reported already, see below
      // The load's own message box is the only report of a start-up file that fails.
    }
    ApplyDesignators();
    ApplyEndpoint();
  }
  if (options.connectAtStart) ConnectButtonClick();
}

void PanelCore::FormClose() {
  ShutDownHelp();
  LogEvent(EventCode::ApplicationClosed, 1);
}

void PanelCore::Timer1Timer() {
  bool changed = StepBlink(BlinkPhase, BlinkCountdown);
  UnitEndpoint& endpoint = services_.endpoint;
  if (endpoint.IsOpen()) {
    // A failed read counts as a tick without a datagram.
    ReceivedText = endpoint.Receive().value_or(std::string());
    if (!ReceivedText.empty()) {
      (void)ParseReport(ReceivedText, Configuration, endpoint, Report, LinkTimeoutCountdown);
      EvaluateAlarms();
      changed = true;
    }
    if (StepPoll(PollCountdown, Configuration.TimeoutPeriod, LinkUp)) {
      // A poll that cannot leave is ignored: the link then times out as for a silent unit.
      (void)endpoint.Send(BuildPoll(ReadText(Configuration.DeviceName)));
    }
    if (StepLinkTimeout(LinkTimeoutCountdown, LinkUp)) changed = true;
  }
  if (changed) {
    RefreshStatusDisplay();
    EvaluateLinkState();
    UpdateAlarmSound();
  }
}

void PanelCore::ConnectButtonClick() {
  PollCountdown = 0;
  StatusView& view = view_;
  if (view.ConnectButtonCaption() == "Disconnect") {
    services_.endpoint.Close();
    view.SetConnectButtonCaption("Connect");
    LinkTimeoutCountdown = 0;
    LinkUp = 0;
    RefreshStatusDisplay();
    LogEvent(EventCode::CommsDisconnected, 0);
    LinkState = ::LinkState::LinkNotConnected;
    return;
  }
  const Result opened = services_.endpoint.Open();
  if (!opened.ok) {
    view.SetConnectButtonCaption("Connect");
    services_.prompts.ShowError("Cannot open the link: " + opened.error);
    return;
  }
  view.SetConnectButtonCaption("Disconnect");
  PollCountdown = 1;
}

void PanelCore::EvaluateLinkState() {
  const LinkTransition t = EvaluateLinkTransition(LinkState, LinkUp != 0, Configuration.LostLinkRequiresAccept != 0,
                                                  Configuration.LostLinkRequiresReset != 0);
  LinkState = t.next;
  if (t.log) LogEvent(*t.log, 1);
  ShowLinkStatus();
}

void PanelCore::ShowLinkStatus() {
  const LinkLook look = LinkStatusLook(LinkState, BlinkPhase);
  StatusView& view = view_;
  if (view.CommsIndicatorColour() != look.fill) view.SetCommsIndicatorColour(look.fill);
  if (view.ConnectionStatusText() != look.text) view.SetConnectionStatusText(look.text);
}

void PanelCore::CommsStatusAdvSmoothStatusIndicatorClick() {
  const LinkTransition t = CommsClickTransition(LinkState, LinkUp != 0);
  LinkState = t.next;
  if (t.log) LogEvent(*t.log, 0);
  ShowLinkStatus();
}

void PanelCore::EvaluateAlarms() {
  EvaluateDigitalAlarms(Configuration, Report.ReportedInputs, DigitalAlarmState, *this);
  EvaluateAnalogueAlarms(Configuration, Report.AnalogueValue, AnalogueAlarmState, *this);
  RefreshStatusDisplay();
}

void PanelCore::RefreshStatusDisplay() {
  const DisplayInputs inputs{DigitalAlarmState,
                             AnalogueAlarmState,
                             Report.ReportedOutputs,
                             Report.AnalogueRaw,
                             Report.AnalogueValue,
                             BlinkPhase,
                             LinkUp};
  ::RefreshStatusDisplay(inputs, view_);
}

void PanelCore::UpdateAlarmSound() {
  ::UpdateAlarmSound(Configuration, DigitalAlarmState, AnalogueAlarmState, LinkState == ::LinkState::LinkLostUnaccepted,
                     AlarmSoundPlaying, services_.sound);
}

void PanelCore::DigitalInputAlarmClick(int channel) {
  if (channel < 0 || channel >= DigitalInputCount) return;
  ::DigitalInputAlarmClick(Configuration, channel, Report.ReportedInputs[channel], DigitalAlarmState[channel], *this);
}

void PanelCore::AnalogueInputAlarmClick(int channel) {
  if (channel < 0 || channel >= AnalogueInputCount) return;
  ::AnalogueInputAlarmClick(Configuration, channel, Report.AnalogueValue[channel], AnalogueAlarmState[channel], *this);
}

void PanelCore::SendOutputCommand(int channel) {
  if (channel < 0 || channel >= OutputCount) return;
  const std::string name = ReadText(Configuration.DeviceName);
  const std::string command = Configuration.OutputUsePulse[channel]
                                  ? BuildPulseCommand(name, channel, Configuration.OutputPulsePeriod[channel])
                                  : BuildToggleCommand(name, channel);
  const Result sent = services_.endpoint.Send(command);
  if (!sent.ok) {
    // No log entry for a command that never left.
    services_.prompts.ShowError("Cannot send the command for " + ReadText(Configuration.OutputDesignator[channel]) +
                                ": " + sent.error);
    return;
  }
  LogEvent(Report.ReportedOutputs[channel] ? EventCode::OutputSetInactive : EventCode::OutputSetActive, channel);
}

void PanelCore::LogEvent(EventCode code, int channel) {
  if (Configuration.EnableLogging == 0) return;
  // One reading of the clock dates the line and picks its day's file, so a line made just
  // before midnight never lands in the next day's file.
  const LocalTime now = services_.clock.Now();
  AppendLogLine(FormatLogLine(code, channel, Configuration, now), now);
}

void PanelCore::AppendLogLine(std::string_view line, const LocalTime& made) {
  // Before start-up has set the log directory there is no day's file to write to; such an
  // entry would otherwise land at the root of the file system.
  if (LogDirectory.empty()) return;
  const std::string path = LogDirectory + "/" + LogFileName(made);
  // A failed entry is dropped and the next one tries again; the operator is told, without
  // being stopped, once until an entry is written again.
  const Result result = services_.logSink.Append(path, line);
  if (result.ok)
    logFailure_.Succeeded();
  else
    logFailure_.Failed("Events are not being written to " + path + ": " + result.error);
}

void PanelCore::LoadConfigurationFile(const std::string& fileName) {
  const LoadOutcome outcome = ReadDataFile(fileName, Configuration);
  if (outcome != LoadOutcome::Loaded) services_.prompts.ShowError(LoadOutcomeMessage(outcome));
}

void PanelCore::LoadButtonClick() {
  if (const auto chosen = services_.prompts.ChooseFileToOpen()) {
    LoadConfigurationFile(*chosen);
    ApplyDesignators();
  }
  ApplyEndpoint();
}

void PanelCore::ApplyEndpoint() {
  services_.endpoint.SetRemote(ReadText(Configuration.IPAddress), EndpointPort(Configuration.Port));
}

void PanelCore::ApplyDesignators() {
  StatusView& view = view_;
  for (int i = 0; i < DigitalInputCount; ++i) view.SetInputLabelText(i, ReadText(Configuration.InputDesignator[i]));
  for (int i = 0; i < OutputCount; ++i) view.SetOutputButtonCaption(i, ReadText(Configuration.OutputDesignator[i]));
  for (int i = 0; i < AnalogueInputCount; ++i)
    view.SetAnalogueLabelText(i, ReadText(Configuration.AnalogueDesignator[i]));
}

void PanelCore::SetUpHelp() {
  std::error_code ignored;
  HelpFilePath = std::filesystem::weakly_canonical(ProgramDirectory + "/" + std::string(HelpFileName), ignored)
                     .lexically_normal()
                     .string();
  if (!std::filesystem::exists(HelpFilePath, ignored) || !LoadHelpEngine()) {
    view_.SetHelpButtonVisible(false);
    return;
  }
  HelpInitialize(HelpCookie);
}

void PanelCore::ShutDownHelp() const {
  if (view_.HelpButtonVisible()) HelpCloseAll();
  if (HelpEngineLoaded()) HelpUninitializeAndUnload(HelpCookie);
}
