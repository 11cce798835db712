// The unit link's hot path: one report parsed, and one whole tick that takes a datagram.
#include "link/ReportParser.h"
#include "support/Fakes.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace {
constexpr std::string_view TypicalReport = "KELDRON,U,1000000000000001,0100000000000000,512,0,1023,12,300,7,0,45";

// The fakes keep every acknowledgement they were handed; empty them now and then so memory stays flat.
constexpr std::int64_t ClearEvery = 4096;

// Takes the acknowledgement and drops it. Keeping a copy, as the test fake does, cost more than
// half again the parse itself; the real endpoint's cost is the system's send.
class DroppingEndpoint final : public UnitEndpoint {
 public:
  void SetRemote(std::string, std::uint16_t) override {}
  Result Open() override { return {true, {}}; }
  void Close() override {}
  [[nodiscard]] bool IsOpen() const override { return true; }
  [[nodiscard]] Result Send(std::string_view datagram) override {
    benchmark::DoNotOptimize(datagram.data());
    return {true, {}};
  }
  [[nodiscard]] std::optional<std::string> Receive() override { return std::nullopt; }
};

void ParseRepeatedly(benchmark::State& state, std::string_view report) {
  UnitConfiguration config{};
  SetDefaults(config);
  DroppingEndpoint endpoint;
  ReportedValues values;
  std::int32_t countdown = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(ParseReport(report, config, endpoint, values, countdown));
    benchmark::ClobberMemory();
  }
  if (values.AnalogueRaw[2] != 1023) state.SkipWithError("the report was not stored");
}

// The acknowledgement is built and handed over, as for every report of type U.
void BM_ParseReportTypical(benchmark::State& state) { ParseRepeatedly(state, TypicalReport); }
BENCHMARK(BM_ParseReportTypical)->Unit(benchmark::kNanosecond);

// The same fields in a report of type X, which asks for no acknowledgement: the parse alone.
void BM_ParseReportWithoutAcknowledgement(benchmark::State& state) {
  std::string report(TypicalReport);
  report[8] = 'X';
  ParseRepeatedly(state, report);
}
BENCHMARK(BM_ParseReportWithoutAcknowledgement)->Unit(benchmark::kNanosecond);

// A panel over the fakes, connected and up, one datagram per tick: parse, alarms, poll
// countdown, link time-out and the display refresh into a recording view (no painting).
void BM_TickWithDatagram(benchmark::State& state) {
  Rig rig;
  rig.core.ConnectButtonClick();
  rig.report(std::string(TypicalReport));
  std::int64_t ticks = 0;
  const std::string datagram(TypicalReport);
  for (auto _ : state) {
    rig.endpoint.incoming.push_back(datagram);
    rig.core.Timer1Timer();
    if (++ticks % ClearEvery == 0) rig.endpoint.sent.clear();
  }
  if (rig.core.LinkState != LinkState::LinkConnected) state.SkipWithError("the link did not come up");
}
BENCHMARK(BM_TickWithDatagram)->Unit(benchmark::kMicrosecond);
}  // namespace
