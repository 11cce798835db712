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

ParsedCommand Command(OperatorCommand::Kind kind, int channel = 0, int value = 0, double seconds = 0) {
  return {OperatorCommand{kind, channel, value, seconds}, {}};
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

std::optional<double> ParseSeconds(std::string_view text) {
  const auto value = ReadNumber<double>(text);
  if (!value || !std::isfinite(*value) || *value < 0 || *value > 86400) return std::nullopt;
  return value;
}

ParsedCommand ParseOperatorCommand(std::string_view line) {
  const std::vector<std::string_view> words = Words(line);
  if (words.empty()) return Fail("empty command");
  const std::string_view verb = words[0];
  const std::size_t arguments = words.size() - 1;

  if (verb == "report" || verb == "quit") {
    if (arguments != 0) return Fail(std::string(verb) + " takes no arguments");
    return Command(verb == "report" ? OperatorCommand::Kind::Report : OperatorCommand::Kind::Quit);
  }
  if (verb == "silent") {
    const auto seconds = arguments == 1 ? ParseSeconds(words[1]) : std::nullopt;
    if (!seconds) return Fail("usage: silent SECONDS (0 to 86400)");
    return Command(OperatorCommand::Kind::Silent, 0, 0, *seconds);
  }
  if (verb == "in" || verb == "out") {
    const int count = verb == "in" ? SimInputCount : SimOutputCount;
    const auto channel = arguments == 2 ? ParseWholeNumber(words[1], 1, count) : std::nullopt;
    const auto value = arguments == 2 ? ParseWholeNumber(words[2], 0, 1) : std::nullopt;
    if (!channel || !value) return Fail("usage: " + std::string(verb) + " N 0|1, N from 1 to " + std::to_string(count));
    return Command(verb == "in" ? OperatorCommand::Kind::Input : OperatorCommand::Kind::Output, *channel - 1, *value);
  }
  if (verb == "an") {
    const auto channel = arguments == 2 ? ParseWholeNumber(words[1], 1, SimAnalogueCount) : std::nullopt;
    const auto value = arguments == 2 ? ParseWholeNumber(words[2], 0, SimAnalogueMax) : std::nullopt;
    if (!channel || !value) return Fail("usage: an N RAW, N from 1 to 8, RAW from 0 to 9999");
    return Command(OperatorCommand::Kind::Analogue, *channel - 1, *value);
  }
  return Fail("unknown command '" + Printable(verb) + "' (in, an, out, silent, report, quit)");
}

LoadedScript LoadScript(const std::string& path) {
  LoadedScript script;
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    script.error = path + ": cannot be read";
    return script;
  }
  std::string line;
  for (int number = 1; std::getline(file, line); ++number) {
    const std::size_t start = line.find_first_not_of(Blanks);
    if (start == std::string::npos || line[start] == '#') continue;
    const std::size_t split = std::min(line.find_first_of(Blanks, start), line.size());
    const auto at = ParseSeconds(std::string_view(line).substr(start, split - start));
    const std::string rest = split < line.size() ? line.substr(split) : std::string();
    const ParsedCommand parsed = ParseOperatorCommand(rest);
    if (!at || !parsed.command) {
      const std::string why = !at ? "the time must be seconds from 0 to 86400" : parsed.error;
      script.error = path + ":" + std::to_string(number) + ": " + why;
      script.steps.clear();
      return script;
    }
    const std::vector<std::string_view> words = Words(rest);
    std::string text;
    for (std::string_view word : words) text += (text.empty() ? "" : " ") + std::string(word);
    script.steps.push_back({*at, *parsed.command, text});
  }
  if (file.bad()) {
    script.error = path + ": read error";
    script.steps.clear();
    return script;
  }
  // Steps run by their times; those with equal times keep the file's order.
  std::stable_sort(script.steps.begin(), script.steps.end(),
                   [](const ScriptStep& a, const ScriptStep& b) { return a.at < b.at; });
  return script;
}

std::string Printable(std::string_view bytes) {
  static constexpr char Hex[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(bytes.size());
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7F && byte != '\\') {
      text += c;
    } else {
      text += "\\x";
      text += Hex[byte >> 4];
      text += Hex[byte & 0xF];
    }
  }
  return text;
}
