#include "tools/unit_sim_record.h"

#include "tools/unit_sim_protocol.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <sstream>

namespace {

constexpr std::int64_t MaxMs = 1'000'000'000'000;  // some thirty years: any later time is a damaged file

bool KeptAsItself(unsigned char byte) { return byte > 0x20 && byte < 0x7F && byte != '\\'; }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  while (true) {
    const std::size_t space = line.find(' ', start);
    fields.push_back(line.substr(start, space - start));
    if (space == std::string_view::npos) return fields;
    start = space + 1;
  }
}

// One datagram line, or the reason it is refused.
std::optional<RecordedDatagram> ParseLine(std::string_view line, std::string& why) {
  const std::vector<std::string_view> fields = Fields(line);
  if (fields.size() < 3 || fields.size() > 4) {
    why = "expected 'MS DIR ADDRESS:PORT BYTES'";
    return std::nullopt;
  }
  RecordedDatagram datagram;
  const auto [end, failure] = std::from_chars(fields[0].data(), fields[0].data() + fields[0].size(), datagram.ms);
  if (failure != std::errc() || end != fields[0].data() + fields[0].size() || fields[0].empty() ||
      fields[0][0] == '-' || datagram.ms > MaxMs) {
    why = "the time must be whole milliseconds";
    return std::nullopt;
  }
  if (fields[1] != "<-" && fields[1] != "->") {
    why = "the direction must be <- or ->";
    return std::nullopt;
  }
  datagram.direction = fields[1] == "<-" ? Direction::Received : Direction::Sent;
  if (fields[2].find(':') == std::string_view::npos) {
    why = "the peer must be ADDRESS:PORT";
    return std::nullopt;
  }
  datagram.peer = fields[2];
  const auto bytes = UnescapeBytes(fields.size() == 4 ? fields[3] : std::string_view());
  if (!bytes) {
    why = "bytes other than 0x21 to 0x7E must be written \\xHH";
    return std::nullopt;
  }
  if (bytes->size() > MaxDatagramSize) {
    why = "longer than a UDP datagram";
    return std::nullopt;
  }
  datagram.bytes = *bytes;
  return datagram;
}

}  // namespace

std::string EscapeBytes(std::string_view bytes) { return Printable(bytes, false); }

std::optional<std::string> UnescapeBytes(std::string_view text) {
  std::string bytes;
  bytes.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (KeptAsItself(byte)) {
      bytes += text[i];
      continue;
    }
    if (byte != '\\' || i + 3 >= text.size() || text[i + 1] != 'x') return std::nullopt;
    const int high = HexValue(text[i + 2]);
    const int low = HexValue(text[i + 3]);
    if (high < 0 || low < 0) return std::nullopt;
    bytes += static_cast<char>(high * 16 + low);
    i += 3;
  }
  return bytes;
}

std::string FormatRecordLine(const RecordedDatagram& datagram) {
  std::string line = std::to_string(datagram.ms);
  line += datagram.direction == Direction::Received ? " <- " : " -> ";
  line += datagram.peer;
  if (!datagram.bytes.empty()) line += ' ' + EscapeBytes(datagram.bytes);
  return line;
}

ReplayPlan ParseRecording(std::string_view text, const std::string& name) {
  ReplayPlan plan;
  const auto refuse = [&](int number, const std::string& why) {
    plan = ReplayPlan{};
    plan.error = name + (number > 0 ? ":" + std::to_string(number) : std::string()) + ": " + why;
    return plan;
  };
  std::optional<std::int64_t> anchorMs;
  std::int64_t lastMs = 0;
  int number = 0;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    ++number;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);  // a file that went through an editor
    if (line.empty() || line[0] == '#') continue;
    std::string why;
    const std::optional<RecordedDatagram> datagram = ParseLine(line, why);
    if (!datagram) return refuse(number, why);
    if (datagram->ms < lastMs) return refuse(number, "the time goes back");
    lastMs = datagram->ms;
    if (!anchorMs) {
      if (datagram->direction == Direction::Sent) {
        ++plan.skipped;
        continue;
      }
      anchorMs = datagram->ms;
      plan.anchor = datagram->bytes;
    } else if (datagram->direction == Direction::Sent) {
      plan.sends.push_back({datagram->ms - *anchorMs, datagram->bytes});
    }
  }
  if (!anchorMs) return refuse(0, "holds no datagram received from a panel, so there is nothing to wait for");
  plan.lengthMs = lastMs - *anchorMs;
  return plan;
}

ReplayPlan LoadReplay(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  if (file) text << file.rdbuf();
  if (!file || file.bad()) {
    ReplayPlan refused;
    refused.error = path + ": cannot be read";
    return refused;
  }
  return ParseRecording(text.str(), path);
}
