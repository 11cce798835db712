// ParseReport over arbitrary datagrams, with the default configuration. Aborts when an
// invariant of the parse breaks: bits other than 0/1, a raw reading outside 0..9999, a
// scaled value that differs from the raw one, an acknowledgement sent for the wrong text,
// anything stored from an ignored report, or a renewal without acceptance.
#include "link/Messages.h"
#include "link/ReportParser.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {
class RecordingEndpoint final : public UnitEndpoint {
 public:
  void SetRemote(std::string, std::uint16_t) override {}
  EndpointResult Open() override { return {true, {}}; }
  void Close() override {}
  bool IsOpen() const override { return true; }
  EndpointResult Send(std::string_view datagram) override {
    sent.emplace_back(datagram);
    if (fail) return {false, "refused"};
    return {true, {}};
  }
  std::optional<std::string> Receive() override { return std::nullopt; }
  std::vector<std::string> sent;
  bool fail = false;
};

void Check(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "ParseReport invariant broken: %s\n", what);
  std::abort();
}

constexpr std::int32_t Untouched = -12345;

ReportedValues Before() {
  ReportedValues v;
  v.ReportedInputs.fill(1);
  v.ReportedOutputs.fill(0);
  v.AnalogueRaw.fill(77);
  v.AnalogueValue.fill(77.0L);
  return v;
}

bool Same(const ReportedValues& a, const ReportedValues& b) {
  return a.ReportedInputs == b.ReportedInputs && a.ReportedOutputs == b.ReportedOutputs &&
         a.AnalogueRaw == b.AnalogueRaw && a.AnalogueValue == b.AnalogueValue;
}

// What the parser should see: the first 510 bytes, up to a NUL.
std::string_view Visible(std::string_view text) {
  text = text.substr(0, 510);
  return text.substr(0, text.find('\0'));
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const UnitConfiguration config = [] {
    UnitConfiguration c{};
    SetDefaults(c);
    return c;
  }();
  const std::string name = ReadText(config.DeviceName);
  const std::string_view received(reinterpret_cast<const char*>(data), size);
  const std::string_view visible = Visible(received);
  const bool forUs = visible.starts_with(name + ",");
  const bool typeU = forUs && visible.size() > name.size() + 1 && visible[name.size() + 1] == 'U';

  for (const bool failingSend : {false, true}) {
    RecordingEndpoint endpoint;
    endpoint.fail = failingSend;
    ReportedValues values = Before();
    std::int32_t countdown = Untouched;
    const ParseOutcome outcome = ParseReport(received, config, endpoint, values, countdown);

    Check((outcome == ParseOutcome::Ignored) == !forUs, "ignored exactly when the name part differs");
    Check(endpoint.sent.size() == (typeU ? 1u : 0u), "one acknowledgement exactly for type U");
    if (typeU) Check(endpoint.sent.front() == BuildAcknowledgement(name), "acknowledgement text");
    Check((outcome == ParseOutcome::AckFailed) == (typeU && failingSend), "a failed acknowledgement ends the parse");
    if (outcome == ParseOutcome::Ignored || outcome == ParseOutcome::AckFailed)
      Check(Same(values, Before()), "nothing stored from an ignored or unacknowledged report");
    Check((countdown != Untouched) == (outcome == ParseOutcome::Accepted), "renewed exactly when accepted");
    if (outcome == ParseOutcome::Accepted) Check(countdown == 200, "renewed to UpdatePeriod x 20");

    for (const std::uint8_t bit : values.ReportedInputs) Check(bit <= 1, "input bits are 0 or 1");
    for (const std::uint8_t bit : values.ReportedOutputs) Check(bit <= 1, "output bits are 0 or 1");
    for (int k = 0; k < AnalogueInputCount; ++k) {
      Check(values.AnalogueRaw[k] >= 0 && values.AnalogueRaw[k] <= 9999, "raw reading within 0..9999");
      Check(values.AnalogueValue[k] == static_cast<long double>(values.AnalogueRaw[k]),
            "the default scaling gives the raw reading exactly");
    }
  }
  return 0;
}
