#include "tools/unit_sim_protocol.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <limits>

namespace {

constexpr std::string_view PollBody = "U****************";
constexpr std::string_view ToggleBody = "U,T,";
constexpr std::string_view PulseBody = "U,P";
constexpr std::string_view AcknowledgementBody = "C,S,";
constexpr std::string_view Blanks = " \t\r";

std::vector<std::string_view> Words(std::string_view line) {
  std::vector<std::string_view> words;
  std::size_t start = line.find_first_not_of(Blanks);
  while (start != std::string_view::npos) {
    const std::size_t end = std::min(line.find_first_of(Blanks, start), line.size());
    words.push_back(line.substr(start, end - start));
    start = line.find_first_not_of(Blanks, end);
  }
  return words;
}

template <typename Number>
std::optional<Number> ReadNumber(std::string_view text) {
  Number value{};
  const char* end = text.data() + text.size();
  // NOLINTNEXTLINE(bugprone-suspicious-stringview-data-usage): bounded by end, no NUL needed
  const auto [stop, failure] = std::from_chars(text.data(), end, value);
  if (failure != std::errc() || stop != end || text.empty()) return std::nullopt;
  return value;
}

// 16 characters, "1" for a named output and "*" for the others; at least one named.
std::optional<std::array<bool, SimOutputCount>> ReadMask(std::string_view mask) {
  if (mask.size() != SimOutputCount) return std::nullopt;
  std::array<bool, SimOutputCount> named{};
  for (int i = 0; i < SimOutputCount; ++i) {
    if (mask[i] != '1' && mask[i] != '*') return std::nullopt;
    named[i] = mask[i] == '1';
  }
  if (std::none_of(named.begin(), named.end(), [](bool on) { return on; })) return std::nullopt;
  return named;
}

DatagramAction Ignore(std::string note) {
  DatagramAction action;
  action.note = std::move(note);
  return action;
}

DatagramAction ReadPulse(std::string_view body) {
  const std::size_t comma = body.find(',');
  if (comma == std::string_view::npos) return Ignore("pulse command without a mask");
  // The panel sends a signed 32-bit length; anything wider is not a length it could send.
  const auto length = ReadNumber<std::int32_t>(body.substr(0, comma));
  if (!length) return Ignore("pulse length is not a whole number");
  const auto mask = ReadMask(body.substr(comma + 1));
  if (!mask) return Ignore("bad output mask");
  DatagramAction action;
  action.kind = *length > 0 ? DatagramAction::Kind::Pulse : DatagramAction::Kind::PulseIgnored;
  action.outputs = *mask;
  action.pulseLength = *length;
  if (*length <= 0) action.note = "pulse length " + std::to_string(*length) + " is not positive";
  return action;
}

ParsedCommand Fail(std::string error) { return {std::nullopt, std::move(error)}; }

ParsedCommand Command(const OperatorCommand& command) { return {command, {}}; }

// The channel in words[1], numbered from 1 to `count`, as a zero-based index.
std::optional<int> Channel(const std::vector<std::string_view>& words, int count) {
  const auto n = words.size() > 1 ? ParseWholeNumber(words[1], 1, count) : std::nullopt;
  return n ? std::optional<int>(*n - 1) : std::nullopt;
}

}  // namespace

std::string BuildUnitReport(std::string_view name, const UnitImage& image) {
  std::string text(name);
  text += ",U,";
  for (bool on : image.inputs) text += on ? '1' : '0';
  text += ',';
  for (bool on : image.outputs) text += on ? '1' : '0';
  for (int raw : image.analogue) text += ',' + std::to_string(raw);
  return text;
}

DatagramAction ClassifyDatagram(std::string_view datagram, std::string_view name) {
  if (datagram.size() <= name.size() || datagram.substr(0, name.size()) != name || datagram[name.size()] != ',')
    return Ignore("not for this unit");
  const std::string_view body = datagram.substr(name.size() + 1);
  if (body == PollBody) return DatagramAction{DatagramAction::Kind::Poll, {}, 0, {}};
  if (body.starts_with(ToggleBody)) {
    const auto mask = ReadMask(body.substr(ToggleBody.size()));
    if (!mask) return Ignore("bad output mask");
    return DatagramAction{DatagramAction::Kind::Toggle, *mask, 0, {}};
  }
  if (body.starts_with(PulseBody)) return ReadPulse(body.substr(PulseBody.size()));
  if (body.starts_with(AcknowledgementBody)) return DatagramAction{DatagramAction::Kind::Acknowledgement, {}, 0, {}};
  return Ignore("unknown message");
}

std::optional<int> ParseWholeNumber(std::string_view text, int low, int high) {
  const auto value = ReadNumber<int>(text);
  if (!value || *value < low || *value > high) return std::nullopt;
  return value;
}

std::optional<double> ParseNumber(std::string_view text, double low, double high) {
  const auto value = ReadNumber<double>(text);
  if (!value || !std::isfinite(*value) || *value < low || *value > high) return std::nullopt;
  return value;
}

std::optional<double> ParseSeconds(std::string_view text) { return ParseNumber(text, 0, SimMaxSeconds); }

ParsedCommand ParseOperatorCommand(std::string_view line) {
  using Kind = OperatorCommand::Kind;
  const std::vector<std::string_view> words = Words(line);
  if (words.empty()) return Fail("empty command");
  const std::string_view verb = words[0];
  const std::size_t arguments = words.size() - 1;
  const auto word = [&](std::size_t i) { return i < words.size() ? words[i] : std::string_view(); };

  if (verb == "report" || verb == "quit" || verb == "loop") {
    if (arguments != 0) return Fail(std::string(verb) + " takes no arguments");
    return Command({verb == "report" ? Kind::Report : verb == "quit" ? Kind::Quit : Kind::Loop});
  }
  if (verb == "silent") {
    const auto seconds = arguments == 1 ? ParseSeconds(words[1]) : std::nullopt;
    if (!seconds) return Fail("usage: silent SECONDS (0 to 86400)");
    return Command({.kind = Kind::Silent, .seconds = *seconds});
  }
  if (verb == "in" || verb == "out") {
    // cppcheck-suppress duplicateValueTernary ; as many inputs as outputs, each count under its own name
    const int count = verb == "in" ? SimInputCount : SimOutputCount;
    const auto channel = arguments == 2 ? Channel(words, count) : std::nullopt;
    const auto value = ParseWholeNumber(word(2), 0, 1);
    if (!channel || !value) return Fail("usage: " + std::string(verb) + " N 0|1, N from 1 to " + std::to_string(count));
    return Command({.kind = verb == "in" ? Kind::Input : Kind::Output, .channel = *channel, .value = *value});
  }
  if (verb == "pulse") {
    const auto channel = arguments == 2 ? Channel(words, SimOutputCount) : std::nullopt;
    const auto seconds = ParseSeconds(word(2));
    if (!channel || !seconds || *seconds <= 0) return Fail("usage: pulse N SECONDS, N from 1 to 16, SECONDS above 0");
    return Command({.kind = Kind::Pulse, .channel = *channel, .seconds = *seconds});
  }
  if (verb == "an") {
    const auto channel = arguments == 2 ? Channel(words, SimAnalogueCount) : std::nullopt;
    const auto value = ParseWholeNumber(word(2), 0, SimAnalogueMax);
    if (!channel || !value) return Fail("usage: an N RAW, N from 1 to 8, RAW from 0 to 9999");
    return Command({.kind = Kind::Analogue, .channel = *channel, .value = *value});
  }
  if (verb == "ramp") {
    const auto channel = arguments == 4 ? Channel(words, SimAnalogueCount) : std::nullopt;
    const auto from = ParseWholeNumber(word(2), 0, SimAnalogueMax);
    const auto to = ParseWholeNumber(word(3), 0, SimAnalogueMax);
    const auto seconds = ParseSeconds(word(4));
    if (!channel || !from || !to || !seconds)
      return Fail("usage: ramp N FROM TO SECONDS, N from 1 to 8, FROM and TO from 0 to 9999");
    return Command({.kind = Kind::Ramp, .channel = *channel, .value = *from, .to = *to, .seconds = *seconds});
  }
  if (verb == "noise") {
    const auto channel = arguments == 2 ? Channel(words, SimAnalogueCount) : std::nullopt;
    const auto amplitude = ParseWholeNumber(word(2), 0, SimAnalogueMax);
    if (!channel || !amplitude) return Fail("usage: noise N AMPLITUDE, N from 1 to 8, AMPLITUDE from 0 to 9999");
    return Command({.kind = Kind::Noise, .channel = *channel, .value = *amplitude});
  }
  return Fail("unknown command '" + Printable(verb) +
              "' (in, an, out, pulse, ramp, noise, silent, report, loop, quit)");
}

LoadedScript LoadScript(const std::string& path) {
  LoadedScript script;
  const auto refuse = [&](int number, const std::string& why) {
    script.error = path + (number > 0 ? ":" + std::to_string(number) : std::string()) + ": " + why;
    script.steps.clear();
    return script;
  };
  std::ifstream file(path, std::ios::binary);
  if (!file) return refuse(0, "cannot be read");
  std::optional<ScriptStep> loop;
  std::string loopTime;     // as written, for messages
  std::vector<int> lineOf;  // the file's line number of each step, for messages
  std::string line;
  for (int number = 1; std::getline(file, line); ++number) {
    const std::size_t start = line.find_first_not_of(Blanks);
    if (start == std::string::npos || line[start] == '#') continue;
    const std::size_t split = std::min(line.find_first_of(Blanks, start), line.size());
    const auto at = ParseSeconds(std::string_view(line).substr(start, split - start));
    if (!at) return refuse(number, "the time must be seconds from 0 to 86400");
    const std::string rest = split < line.size() ? line.substr(split) : std::string();
    const ParsedCommand parsed = ParseOperatorCommand(rest);
    if (!parsed.command) return refuse(number, parsed.error);
    std::string text;
    for (std::string_view word : Words(rest)) text += (text.empty() ? "" : " ") + std::string(word);
    ScriptStep step{*at, *parsed.command, text};
    if (step.command.kind == OperatorCommand::Kind::Loop) {
      if (loop) return refuse(number, "a scenario has at most one loop");
      // A round shorter than this would only keep the unit busy starting over.
      if (*at < 0.1) return refuse(number, "loop needs a time of at least 0.1 s");
      loop = step;
      loopTime = line.substr(start, split - start);
      continue;
    }
    script.steps.push_back(step);
    lineOf.push_back(number);
  }
  if (file.bad()) return refuse(0, "read error");
  for (std::size_t i = 0; loop && i < script.steps.size(); ++i) {
    if (script.steps[i].at > loop->at) return refuse(lineOf[i], "comes after the loop at " + loopTime + " s");
  }
  // Steps run by their times; those with equal times keep the file's order; the loop is last.
  std::stable_sort(script.steps.begin(), script.steps.end(),
                   [](const ScriptStep& a, const ScriptStep& b) { return a.at < b.at; });
  if (loop) script.steps.push_back(*loop);
  return script;
}

void AnalogueMotion::Set(int channel, int value) {
  base_[channel] = value;
  offset_[channel] = 0;
  ramps_[channel].reset();
}

void AnalogueMotion::Ramp(int channel, int from, int to, double start, double seconds) {
  base_[channel] = seconds > 0 ? from : to;
  ramps_[channel].reset();
  if (seconds > 0) ramps_[channel] = RampPlan{from, to, start, seconds};
}

void AnalogueMotion::Noise(int channel, int amplitude) {
  amplitude_[channel] = amplitude;
  if (amplitude == 0) offset_[channel] = 0;
}

bool AnalogueMotion::Moving() const {
  for (int i = 0; i < SimAnalogueCount; ++i)
    if (ramps_[i] || amplitude_[i] != 0) return true;
  return false;
}

void AnalogueMotion::Step(double at) {
  for (int i = 0; i < SimAnalogueCount; ++i) {
    // cppcheck-suppress assignmentInCondition ; declares the ramp and tests that there is one
    if (const auto& ramp = ramps_[i]) {
      const double done = ramp->seconds > 0 ? std::clamp((at - ramp->start) / ramp->seconds, 0.0, 1.0) : 1.0;
      base_[i] = static_cast<int>(std::lround(ramp->from + (ramp->to - ramp->from) * done));
      if (done >= 1) ramps_[i].reset();
    }
    if (amplitude_[i] != 0) {
      const auto span = 2 * static_cast<std::uint64_t>(amplitude_[i]) + 1;
      offset_[i] = static_cast<int>(Draw() % span) - amplitude_[i];
    }
  }
}

std::array<int, SimAnalogueCount> AnalogueMotion::Values() const {
  std::array<int, SimAnalogueCount> values{};
  for (int i = 0; i < SimAnalogueCount; ++i) values[i] = std::clamp(base_[i] + offset_[i], 0, SimAnalogueMax);
  return values;
}

// splitmix64: small, and the same numbers from a seed on every platform and library.
std::uint64_t AnalogueMotion::Draw() {
  std::uint64_t z = (random_ += 0x9E3779B97F4A7C15ULL);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

std::string Printable(std::string_view bytes, bool keepSpace) {
  static constexpr char Hex[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(bytes.size());
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte > 0x20 || (keepSpace && byte == 0x20)) && byte < 0x7F && byte != '\\') {
      text += c;
    } else {
      text += "\\x";
      text += Hex[byte >> 4];
      text += Hex[byte & 0xF];
    }
  }
  return text;
}
