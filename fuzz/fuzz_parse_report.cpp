// ParseReport under any configuration and any datagram, against a reading of the report
// written here. The input's first bytes draw the configuration (see Draw); the rest is the
// datagram. What must hold: the acknowledgement goes out exactly for type U with a matching
// name; the 0/1 fields are stored up to the first other character; the analogue fields hold
// the value of their first four digits, and raw x scaling, then x the extended value nearest
// 1/1023, bit for bit; a missing field keeps its value; the time-out is renewed, to the update
// period in ticks held within 0..2^31-1, exactly when the input and output fields were complete.
#include "fuzz/X87Reference.h"
#include "link/ReportParser.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace {
using x87::FromNative;
using x87::Native;
void Check(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "ParseReport: %s\n", what);
  std::abort();
}

class RecordingEndpoint final : public UnitEndpoint {
 public:
  void SetRemote(std::string, std::uint16_t) override {}
  Result Open() override { return {true, {}}; }
  void Close() override {}
  bool IsOpen() const override { return true; }
  Result Send(std::string_view datagram) override {
    sent.emplace_back(datagram);
    return {!fail, fail ? "refused" : ""};
  }
  std::optional<std::string> Receive() override { return std::nullopt; }
  std::vector<std::string> sent;
  bool fail = false;
};

// Takes bytes from the front of the input; zeros once it is used up.
struct Input {
  std::span<const std::uint8_t> rest;
  std::uint8_t Byte() { return Take(1)[0]; }
  std::array<std::uint8_t, 10> Take(std::size_t n) {
    std::array<std::uint8_t, 10> bytes{};
    n = std::min(n, rest.size());
    std::memcpy(bytes.data(), rest.data(), n);
    rest = rest.subspan(n);
    return bytes;
  }
  std::int32_t Int32() {
    std::int32_t v;
    std::memcpy(&v, Take(4).data(), 4);
    return v;
  }
};

const long double Scalings[] = {1023.0L,
                                1.0L,
                                0.0L,
                                -0.0L,
                                1.0L / 7.0L,
                                -1023.0L,
                                0.1L,
                                1e4932L,
                                std::numeric_limits<long double>::max(),
                                std::numeric_limits<long double>::denorm_min(),
                                std::numeric_limits<long double>::min(),
                                std::numeric_limits<long double>::infinity(),
                                -std::numeric_limits<long double>::infinity(),
                                std::numeric_limits<long double>::quiet_NaN(),
                                3.0L,
                                1e-10L};

// The configuration, drawn from the input: a name mode byte (0 the default name, 1 empty,
// 2 with a comma, 3 with 8-bit letters, 4 thirty-two letters and no NUL, n > 4 the first
// (n - 5) % 33 bytes of the datagram), UpdatePeriod and TimeoutPeriod as four bytes each,
// and one byte per analogue scaling: below 16 a value of the table, else ten bytes of its own.
// Every byte the defaults leave alone (holes, bytes after a NUL) is set, as a file could.
UnitConfiguration Draw(Input& input, std::string_view& datagram) {
  UnitConfiguration config;
  std::memset(&config, 0x5A, sizeof config);
  SetDefaults(config);
  const std::uint8_t mode = input.Byte();
  config.UpdatePeriod = input.Int32();
  config.TimeoutPeriod = input.Int32();
  for (Extended& scaling : config.AnalogueScaling) {
    const std::uint8_t pick = input.Byte();
    if (pick < std::size(Scalings)) {
      scaling = FromNative(Scalings[pick]);
    } else {
      scaling.bytes = input.Take(10);
    }
  }
  datagram = {reinterpret_cast<const char*>(input.rest.data()), input.rest.size()};
  std::string name;
  switch (mode) {
    case 0: name = "KELDRON"; break;
    case 1: name = ""; break;
    case 2: name = "KEL,DRON"; break;
    case 3: name = "K\xC4LDR\xD6N"; break;
    case 4: name = std::string(32, 'K'); break;
    default: name = datagram.substr(0, (mode - 5) % 33); break;
  }
  std::memcpy(config.DeviceName, name.data(), name.size());
  if (name.size() < sizeof config.DeviceName) config.DeviceName[name.size()] = '\0';
  return config;
}

// Values ParseReport never writes, so that whatever it leaves alone shows.
ReportedValues Before() {
  ReportedValues v;
  v.ReportedInputs.fill(7);
  v.ReportedOutputs.fill(9);
  v.AnalogueRaw.fill(-12345);
  v.AnalogueValue.fill(FromNative(-0.5L));
  return v;
}

bool SameValue(const Extended& a, const Extended& b) {
  if (a.IsNaN() || b.IsNaN()) return a.IsNaN() && b.IsNaN();
  return a == b;
}

bool Same(const ReportedValues& a, const ReportedValues& b) {
  bool same =
      a.ReportedInputs == b.ReportedInputs && a.ReportedOutputs == b.ReportedOutputs && a.AnalogueRaw == b.AnalogueRaw;
  for (int k = 0; k < AnalogueInputCount; ++k) same = same && SameValue(a.AnalogueValue[k], b.AnalogueValue[k]);
  return same;
}

// 1/1023 to 64 significant bits: floor(2^73 / 1023), rounded by its remainder, times 2^-73.
long double NearestOneOver1023() {
  const unsigned __int128 numerator = static_cast<unsigned __int128>(1) << 73;
  auto significand = static_cast<std::uint64_t>(numerator / 1023);
  if (2 * static_cast<std::uint64_t>(numerator % 1023) > 1023) ++significand;
  return std::ldexp(static_cast<long double>(significand), -73);
}

// Sixteen "0"/"1" characters from `at`; false at the first other one, the ones before it stored.
bool Bits(std::string_view text, std::size_t at, std::array<std::uint8_t, 16>& bits) {
  for (std::size_t i = 0; i < 16; ++i) {
    const char c = at + i < text.size() ? text[at + i] : '\0';
    if (c != '0' && c != '1') return false;
    bits[i] = c == '1';
  }
  return true;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Input input{std::span(data, size)};
  std::string_view received;
  const UnitConfiguration config = Draw(input, received);

  // The report as the panel reads it: the first 510 bytes, up to a NUL.
  std::string_view text = received.substr(0, 510);
  text = text.substr(0, text.find('\0'));
  const std::string_view field(config.DeviceName, sizeof config.DeviceName);
  const std::string_view name = field.substr(0, field.find('\0'));
  const std::size_t n = name.size();
  const bool forUs =
      name.find(',') == std::string_view::npos && text.size() > n && text.starts_with(name) && text[n] == ',';
  const bool typeU = forUs && text.size() > n + 1 && text[n + 1] == 'U';

  ReportedValues expected = Before();
  bool complete = false;
  if (forUs) {
    complete = Bits(text, n + 3, expected.ReportedInputs) && Bits(text, n + 20, expected.ReportedOutputs);
    // Each field: its run of digits, of which the first four count, and the one character
    // that ends it. A field ended by the end of the text is the last one there is.
    static const long double c = NearestOneOver1023();
    std::string_view rest = complete && text.size() >= n + 37 ? text.substr(n + 37) : std::string_view();
    bool present = complete && text.size() >= n + 37;
    for (int k = 0; k < AnalogueInputCount && present; ++k) {
      std::size_t digits = 0;
      while (digits < rest.size() && rest[digits] >= '0' && rest[digits] <= '9') ++digits;
      std::int32_t raw = 0;
      for (std::size_t i = 0; i < std::min<std::size_t>(digits, 4); ++i) raw = raw * 10 + (rest[i] - '0');
      expected.AnalogueRaw[k] = raw;
      const long double scaling = Native(config.AnalogueScaling[k]);
      const long double value = (static_cast<long double>(raw) * scaling) * c;
      expected.AnalogueValue[k] = FromNative(value);
      if (scaling == 1023.0L) Check(value == raw, "the default scaling gives the raw reading");
      present = digits < rest.size();
      if (present) rest.remove_prefix(digits + 1);
    }
  }
  const std::int64_t ticks = std::int64_t{config.UpdatePeriod} * 20;
  const std::int32_t renewed = static_cast<std::int32_t>(std::clamp<std::int64_t>(ticks, 0, INT32_MAX));
  const std::string acknowledgement = std::string(name) + ",C,S,****************";

  constexpr std::int32_t Untouched = -777;
  for (const bool failingSend : {false, true}) {
    RecordingEndpoint endpoint;
    endpoint.fail = failingSend;
    ReportedValues values = Before();
    std::int32_t countdown = Untouched;
    const ParseOutcome outcome = ParseReport(received, config, endpoint, values, countdown);

    Check(endpoint.sent == (typeU ? std::vector<std::string>{acknowledgement} : std::vector<std::string>{}),
          "the acknowledgement, exactly for type U with a matching name");
    ParseOutcome should = ParseOutcome::Ignored;
    if (forUs)
      should = typeU && failingSend ? ParseOutcome::AckFailed
               : complete           ? ParseOutcome::Accepted
                                    : ParseOutcome::Stopped;
    Check(outcome == should, "the outcome");
    const bool stored = should == ParseOutcome::Accepted || should == ParseOutcome::Stopped;
    Check(Same(values, stored ? expected : Before()), "the values stored");
    Check(countdown == (should == ParseOutcome::Accepted ? renewed : Untouched), "the time-out renewed");
  }
  return 0;
}
