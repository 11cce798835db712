// quellmarinox-unit-sim: stands in for the remote unit on this machine. It listens on
// 127.0.0.1 only, answers polls with reports, applies toggle and pulse commands, reports
// by itself every few seconds, and takes operator lines on standard input or from a
// scenario file. It can keep every datagram in a record file and play the unit's side of
// such a recording back to a panel.
#include "config/DataFile.h"
#include "config/UnitConfiguration.h"
#include "tools/unit_sim_protocol.h"
#include "tools/unit_sim_record.h"
#include "tools/unit_sim_station.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

constexpr const char* ProgramName = "quellmarinox-unit-sim";
constexpr std::size_t MaxNameLength = sizeof(UnitConfiguration::DeviceName) - 1;

void PrintHelp() {
  // cppcheck-suppress invalidPrintfArgType_s ; %1$s is a positional argument, the program's name
  std::printf(
      "Usage: %1$s [--port N] [--name NAME] [--every S] [--script FILE] [--seed N] [--record FILE]\n"
      "       %1$s --replay FILE [--speed N] [--port N] [--record FILE]\n"
      "       %1$s --write-config FILE [--port N] [--name NAME] [--no-accept LIST] [--no-report LIST]\n"
      "       %1$s --show-config FILE\n"
      "\n"
      "Stands in for the remote unit on this machine: listens on 127.0.0.1 only, answers polls\n"
      "with reports, applies toggle and pulse commands, and traces every datagram it receives\n"
      "and sends on standard output, each line behind the time of day.\n"
      "\n"
      "Options (also written --option=VALUE):\n"
      "  --port N             UDP port on 127.0.0.1, 0 for one the system picks (default 3012)\n"
      "  --name NAME          device name, 1 to %2$zu characters (default KELDRON)\n"
      "  --every S            seconds between unsolicited reports, 0 for none (default 5)\n"
      "  --script FILE        play a scenario: lines 'SECONDS COMMAND', '#' starts a comment\n"
      "  --seed N             seed of the noise, 0 to 4294967295 (default 1)\n"
      "  --record FILE        keep every datagram received and sent in FILE, one line each\n"
      "  --replay FILE        play the unit's side of a recording back to a panel on 127.0.0.1,\n"
      "                       starting when the panel sends the recording's first datagram\n"
      "  --speed N            replay N times faster, 0.01 to 1000 (default 1, the recorded pace)\n"
      "  --write-config FILE  write a panel data file (defaults, 127.0.0.1, --port, --name) and end\n"
      "  --no-accept LIST     with --write-config: the alarms of these need no accept, a list such\n"
      "                       as in2,in3,an2 (inN: input 1 to 16, anN: analogue 1 to 8, link)\n"
      "  --no-report LIST     with --write-config: these raise no alarm at all, a list as above\n"
      "  --show-config FILE   print the address and port a panel data file holds, as the panel\n"
      "                       reads it ('127.0.0.1 3012'), and end; exit status 1 if it does not load\n"
      "  --help               show this text and end\n"
      "  --version            show the version and end\n"
      "\n"
      "Commands, one a line, on standard input or in a scenario:\n"
      "  in N 0|1             digital input N (1 to 16) off or on\n"
      "  an N RAW             analogue input N (1 to 8) to RAW (0 to 9999)\n"
      "  ramp N FROM TO S     analogue input N from FROM to TO over S seconds, in half-second steps\n"
      "  noise N AMPLITUDE    analogue input N off by up to +/- AMPLITUDE, drawn every half second;\n"
      "                       0 ends it\n"
      "  out N 0|1            output N (1 to 16) off or on\n"
      "  pulse N S            output N on, and off again after S seconds\n"
      "  silent S             neither answer nor report for S seconds (0 ends a silence)\n"
      "  report               send a report now\n"
      "  quit                 end\n"
      "  loop                 in a scenario only, at its latest time: start the scenario over\n"
      "\n"
      "Exit status: 0 when ended by quit, a signal or the end of a replay; 1 when a socket or\n"
      "file fails; 2 for a bad argument, scenario or recording.\n"
      "The manual page quellmarinox-unit-sim(1) describes the scenario and record files.\n",
      ProgramName, MaxNameLength);
}

// The alarm sources an option names: "in2,an3,link".
struct AlarmSources {
  std::array<bool, DigitalInputCount> digital{};
  std::array<bool, AnalogueInputCount> analogue{};
  bool link = false;
};

struct Arguments {
  SimOptions sim;
  std::string writeConfig;
  AlarmSources noAccept;
  AlarmSources noReport;
  std::string showConfig;
  bool help = false;
  bool version = false;
};

// One refusal on standard error; the caller ends with exit status 2.
[[gnu::format(printf, 1, 2)]] void Refuse(const char* format, ...) {
  std::fprintf(stderr, "%s: ", ProgramName);
  va_list arguments;
  va_start(arguments, format);
  std::vfprintf(stderr, format, arguments);
  va_end(arguments);
  std::fprintf(stderr, "\nTry '%s --help'.\n", ProgramName);
}

std::optional<AlarmSources> ParseAlarmSources(const std::string& text) {
  AlarmSources sources;
  for (std::size_t start = 0; start <= text.size();) {
    const std::size_t comma = std::min(text.find(',', start), text.size());
    const std::string_view item = std::string_view(text).substr(start, comma - start);
    start = comma + 1;
    if (item == "link") {
      sources.link = true;
      continue;
    }
    const bool digital = item.starts_with("in");
    if (!digital && !item.starts_with("an")) return std::nullopt;
    const auto n = ParseWholeNumber(item.substr(2), 1, digital ? DigitalInputCount : AnalogueInputCount);
    if (!n) return std::nullopt;
    (digital ? sources.digital.data() : sources.analogue.data())[*n - 1] = true;
  }
  return sources;
}

std::optional<std::uint32_t> ParseSeed(const std::string& text) {
  std::uint32_t seed = 0;
  const auto [end, failure] = std::from_chars(text.data(), text.data() + text.size(), seed);
  if (failure != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return seed;
}

// Takes one option's value; false, after saying why, when it is not one the option takes.
bool TakeValue(Arguments& arguments, const std::string& option, const std::string& value) {
  SimOptions& sim = arguments.sim;
  const auto expected = [&](const char* what) {
    Refuse("%s expects %s, not '%s'", option.c_str(), what, Printable(value).c_str());
    return false;
  };
  if (value.empty()) {
    Refuse("%s expects a value, not an empty text", option.c_str());
    return false;
  }
  if (option == "--port") {
    const auto port = ParseWholeNumber(value, 0, 65535);
    if (!port) return expected("a whole number from 0 to 65535");
    sim.port = static_cast<std::uint16_t>(*port);
  } else if (option == "--name") {
    if (value.size() > MaxNameLength) {
      Refuse("--name expects at most %zu characters, not %zu", MaxNameLength, value.size());
      return false;
    }
    sim.name = value;
  } else if (option == "--every") {
    const auto every = ParseSeconds(value);
    if (!every) return expected("seconds from 0 to 86400");
    sim.every = *every;
  } else if (option == "--seed") {
    const auto seed = ParseSeed(value);
    if (!seed) return expected("a whole number from 0 to 4294967295");
    sim.seed = *seed;
  } else if (option == "--speed") {
    const auto speed = ParseNumber(value, 0.01, 1000);
    if (!speed) return expected("a number from 0.01 to 1000");
    sim.speed = *speed;
  } else if (option == "--script") {
    sim.script = value;
  } else if (option == "--record") {
    sim.record = value;
  } else if (option == "--replay") {
    sim.replay = value;
  } else if (option == "--no-accept" || option == "--no-report") {
    const auto sources = ParseAlarmSources(value);
    if (!sources) return expected("a list such as in2,in3,an2,link (inputs 1 to 16, analogues 1 to 8)");
    (option == "--no-accept" ? arguments.noAccept : arguments.noReport) = *sources;
  } else if (option == "--show-config") {
    arguments.showConfig = value;
  } else {
    arguments.writeConfig = value;
  }
  return true;
}

// Parses the command line; nullopt, after saying why, for anything it cannot take.
std::optional<Arguments> ReadArguments(int argc, char** argv) {
  static const std::set<std::string> WithValue = {"--port",         "--name",        "--every",     "--script",
                                                  "--seed",         "--record",      "--replay",    "--speed",
                                                  "--write-config", "--show-config", "--no-accept", "--no-report"};
  Arguments arguments;
  std::set<std::string> given;
  for (int i = 1; i < argc; ++i) {
    std::string option = argv[i];
    std::optional<std::string> value;
    if (const std::size_t equals = option.find('='); option.starts_with("--") && equals != std::string::npos) {
      value = option.substr(equals + 1);
      option.resize(equals);
    }
    if ((option == "--help" || option == "-h" || option == "--version") && !value) {
      (option == "--version" ? arguments.version : arguments.help) = true;
      continue;
    }
    if (!WithValue.contains(option)) {
      if (option.starts_with("-"))
        Refuse("unknown option '%s'", Printable(option).c_str());
      else
        Refuse("unexpected argument '%s': every value follows its option", Printable(option).c_str());
      return std::nullopt;
    }
    if (!value) {
      if (i + 1 >= argc) {
        Refuse("%s expects a value after it", option.c_str());
        return std::nullopt;
      }
      value = argv[++i];
    }
    if (!TakeValue(arguments, option, *value)) return std::nullopt;
    given.insert(option);
  }
  if (arguments.help || arguments.version) return arguments;

  const auto alone = [&](const char* mode, const std::set<std::string>& allowed, const char* saying) {
    return std::ranges::all_of(given, [&](const std::string& option) {
      if (option == mode || allowed.contains(option)) return true;
      Refuse("%s does not go with %s (it takes only %s)", option.c_str(), mode, saying);
      return false;
    });
  };
  if (given.contains("--show-config")) {
    if (given.size() > 1) {
      Refuse("--show-config takes nothing else");
      return std::nullopt;
    }
  } else if (given.contains("--write-config")) {
    if (!alone("--write-config", {"--port", "--name", "--no-accept", "--no-report"},
               "--port, --name, --no-accept and --no-report"))
      return std::nullopt;
    if (arguments.sim.port == 0) {
      Refuse("--write-config expects a --port from 1 to 65535: the panel cannot send to port 0");
      return std::nullopt;
    }
  } else if (given.contains("--replay")) {
    if (!alone("--replay", {"--speed", "--port", "--record"}, "--speed, --port and --record")) return std::nullopt;
    std::error_code ignored;
    if (given.contains("--record") &&
        std::filesystem::equivalent(arguments.sim.record, arguments.sim.replay, ignored)) {
      Refuse("--record names the recording being replayed, which it would overwrite");
      return std::nullopt;
    }
  } else if (given.contains("--speed")) {
    Refuse("--speed goes only with --replay");
    return std::nullopt;
  } else if (const char* option = given.contains("--no-accept")   ? "--no-accept"
                                  : given.contains("--no-report") ? "--no-report"
                                                                  : nullptr) {
    Refuse("%s goes only with --write-config", option);
    return std::nullopt;
  }
  return arguments;
}

// A data file the panel can be started with (-FFILE -c) that keeps it on loopback.
int WriteLoopbackConfiguration(const std::string& path, const Arguments& arguments) {
  const SimOptions& sim = arguments.sim;
  UnitConfiguration config{};
  SetDefaults(config);
  WriteText(config.IPAddress, "127.0.0.1");
  config.Port = sim.port;
  WriteText(config.DeviceName, sim.name);
  const auto clear = [](const AlarmSources& sources, std::uint8_t* digital, std::uint8_t* analogue,
                        std::uint8_t& link) {
    for (int i = 0; i < DigitalInputCount; ++i)
      if (sources.digital[i]) digital[i] = 0;
    for (int i = 0; i < AnalogueInputCount; ++i)
      if (sources.analogue[i]) analogue[i] = 0;
    if (sources.link) link = 0;
  };
  clear(arguments.noAccept, config.DigitalRequiresAccept, config.AnalogueRequiresAccept, config.LostLinkRequiresAccept);
  clear(arguments.noReport, config.DigitalEnableReporting, config.AnalogueEnableReporting,
        config.LostLinkEnableReporting);
  const Result saved = WriteDataFile(path, config);
  if (!saved.ok) {
    std::fprintf(stderr, "%s: cannot write %s: %s\n", ProgramName, path.c_str(), saved.error.c_str());
    return 1;
  }
  std::printf("wrote %s for 127.0.0.1:%u\n", path.c_str(), static_cast<unsigned>(sim.port));
  return 0;
}

// What a script needs before it lets the panel connect with a data file: where it sends.
int ShowConfiguration(const std::string& path) {
  UnitConfiguration config{};
  SetDefaults(config);
  if (const LoadOutcome outcome = ReadDataFile(path, config); outcome != LoadOutcome::Loaded) {
    std::fprintf(stderr, "%s: %s: %s\n", ProgramName, path.c_str(), std::string(LoadOutcomeMessage(outcome)).c_str());
    return 1;
  }
  std::printf("%s %d\n", ReadText(config.IPAddress).c_str(), static_cast<int>(config.Port));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::optional<Arguments> arguments = ReadArguments(argc, argv);
  if (!arguments) return 2;
  if (arguments->help) {
    PrintHelp();
    return 0;
  }
  if (arguments->version) {
    std::printf("%s %s\n", ProgramName, QMX_VERSION);
    return 0;
  }
  const SimOptions& sim = arguments->sim;
  if (!arguments->writeConfig.empty()) return WriteLoopbackConfiguration(arguments->writeConfig, *arguments);
  if (!arguments->showConfig.empty()) return ShowConfiguration(arguments->showConfig);

  if (!sim.replay.empty()) {
    ReplayPlan plan = LoadReplay(sim.replay);
    if (!plan.error.empty()) {
      std::fprintf(stderr, "%s: %s\n", ProgramName, plan.error.c_str());
      return 2;
    }
    return RunReplay(sim, std::move(plan));
  }

  std::vector<ScriptStep> script;
  if (!sim.script.empty()) {
    LoadedScript loaded = LoadScript(sim.script);
    if (!loaded.error.empty()) {
      std::fprintf(stderr, "%s: %s\n", ProgramName, loaded.error.c_str());
      return 2;
    }
    script = std::move(loaded.steps);
  }
  return RunSimulator(sim, std::move(script));
}
