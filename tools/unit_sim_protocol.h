// The simulated unit's texts and rules, free of sockets and clocks: the report it sends,
// what it makes of a datagram, the operator's lines and the scenario file.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

inline constexpr int SimInputCount = 16;
inline constexpr int SimOutputCount = 16;
inline constexpr int SimAnalogueCount = 8;
inline constexpr int SimAnalogueMax = 9999;  // the widest a four-digit field can carry

struct UnitImage {
  std::array<bool, SimInputCount> inputs{};
  std::array<bool, SimOutputCount> outputs{};
  std::array<int, SimAnalogueCount> analogue{};
};

// NAME,U,<16 inputs>,<16 outputs>,a1,...,a8
[[nodiscard]] std::string BuildUnitReport(std::string_view name, const UnitImage& image);

struct DatagramAction {
  enum class Kind { Poll, Toggle, Pulse, PulseIgnored, Acknowledgement, Ignored };
  Kind kind = Kind::Ignored;
  std::array<bool, SimOutputCount> outputs{};  // the outputs a command names
  std::int64_t pulseLength = 0;                // units of 10 ms
  std::string note;                            // why it was ignored
};

// Only texts that begin with exactly NAME "," are for this unit.
[[nodiscard]] DatagramAction ClassifyDatagram(std::string_view datagram, std::string_view name);

struct OperatorCommand {
  enum class Kind { Input, Analogue, Output, Silent, Report, Quit };
  Kind kind = Kind::Report;
  int channel = 0;  // zero-based
  int value = 0;
  double seconds = 0;
};

struct ParsedCommand {
  std::optional<OperatorCommand> command;
  std::string error;  // set when command is empty
};

// `in N 0|1`, `an N RAW`, `out N 0|1`, `silent S`, `report`, `quit`.
[[nodiscard]] ParsedCommand ParseOperatorCommand(std::string_view line);

// Decimal digits only (a "-" for a negative), within [low, high].
[[nodiscard]] std::optional<int> ParseWholeNumber(std::string_view text, int low, int high);
// A non-negative, finite number of seconds, at most a day.
[[nodiscard]] std::optional<double> ParseSeconds(std::string_view text);

struct ScriptStep {
  double at = 0;  // seconds after start
  OperatorCommand command;
  std::string text;  // the command as written, for the trace
};

struct LoadedScript {
  std::vector<ScriptStep> steps;  // in the order they run
  std::string error;              // "FILE:LINE: why" when the file is refused
};

// Lines `AT_SECONDS COMMAND`; blank lines and lines starting with '#' are skipped.
[[nodiscard]] LoadedScript LoadScript(const std::string& path);

// Bytes outside printable ASCII as \xHH, so a trace line is always one safe line.
[[nodiscard]] std::string Printable(std::string_view bytes);
