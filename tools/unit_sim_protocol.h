// The simulated unit's texts and rules, free of sockets and clocks: the report it sends,
// what it makes of a datagram, the operator's lines, the scenario file and the analogue
// values that move by themselves.
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
inline constexpr int SimAnalogueMax = 9999;          // the widest a four-digit field can carry
inline constexpr double SimMaxSeconds = 86400;       // the longest time any command or option takes
inline constexpr double SimMotionStepSeconds = 0.5;  // ramps and noise move on this grid

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
  enum class Kind { Input, Analogue, Output, Pulse, Ramp, Noise, Silent, Report, Loop, Quit };
  Kind kind = Kind::Report;
  int channel = 0;     // zero-based
  int value = 0;       // the new state or raw value; a ramp's start; the noise amplitude
  int to = 0;          // a ramp's end
  double seconds = 0;  // how long: silence, pulse, ramp
};

struct ParsedCommand {
  std::optional<OperatorCommand> command;
  std::string error;  // set when command is empty
};

// `in N 0|1`, `an N RAW`, `out N 0|1`, `pulse N S`, `ramp N FROM TO S`, `noise N AMPLITUDE`,
// `silent S`, `report`, `loop`, `quit`.
[[nodiscard]] ParsedCommand ParseOperatorCommand(std::string_view line);

// Decimal digits only (a "-" for a negative), within [low, high].
[[nodiscard]] std::optional<int> ParseWholeNumber(std::string_view text, int low, int high);
// A finite number, within [low, high].
[[nodiscard]] std::optional<double> ParseNumber(std::string_view text, double low, double high);
// A non-negative, finite number of seconds, at most a day.
[[nodiscard]] std::optional<double> ParseSeconds(std::string_view text);

struct ScriptStep {
  double at = 0;  // seconds after the start of the scenario
  OperatorCommand command;
  std::string text;  // the command as written, for the trace
};

struct LoadedScript {
  std::vector<ScriptStep> steps;  // in the order they run; a loop is the last
  std::string error;              // "FILE:LINE: why" when the file is refused
};

// Lines `AT_SECONDS COMMAND`; blank lines and lines starting with '#' are skipped. At most one
// `loop`, at the latest time of all and at least 0.1 s: from there the scenario starts over.
[[nodiscard]] LoadedScript LoadScript(const std::string& path);

// Analogue values that move by themselves. Ramps and noise are worked out for the times of
// a fixed half-second grid, not for the moment the work gets done, so a scenario with a
// given seed sends the same values whenever it runs.
class AnalogueMotion {
 public:
  explicit AnalogueMotion(std::uint64_t seed) : random_(seed) {}

  // A value set by hand is sent as it is and ends the channel's ramp; its noise goes on from
  // the next step.
  void Set(int channel, int value);
  // From `from` at `start` (seconds) to `to` at `start + seconds`, in a straight line.
  void Ramp(int channel, int from, int to, double start, double seconds);
  // Adds a whole number drawn from [-amplitude, amplitude] at every step; 0 ends it.
  void Noise(int channel, int amplitude);
  // Whether any ramp or noise needs the next step.
  [[nodiscard]] bool Moving() const;
  // Moves every ramp and noise to grid time `at`.
  void Step(double at);
  // The values to report: the set or ramped value plus the latest noise, kept in 0 to 9999.
  [[nodiscard]] std::array<int, SimAnalogueCount> Values() const;

 private:
  struct RampPlan {
    int from = 0;
    int to = 0;
    double start = 0;
    double seconds = 0;
  };
  std::uint64_t Draw();

  std::array<int, SimAnalogueCount> base_{};
  std::array<int, SimAnalogueCount> offset_{};
  std::array<int, SimAnalogueCount> amplitude_{};
  std::array<std::optional<RampPlan>, SimAnalogueCount> ramps_{};
  std::uint64_t random_;
};

// Bytes outside printable ASCII, and the backslash, as \xHH, so a trace line is always one
// safe line. Without keepSpace a blank is written \x20 too, for a field among blanks.
[[nodiscard]] std::string Printable(std::string_view bytes, bool keepSpace = true);
