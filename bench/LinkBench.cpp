// The unit link's hot path: one report parsed, and one whole tick that takes a datagram.
#include "link/ReportParser.h"
#include "support/Fakes.h"

#include <benchmark/benchmark.h>

namespace {
constexpr std::string_view TypicalReport = "KELDRON,U,1000000000000001,0100000000000000,512,0,1023,12,300,7,0,45";

// The fakes keep every acknowledgement they were handed; empty them now and then so memory stays flat.
constexpr std::int64_t ClearEvery = 4096;

void BM_ParseReportTypical(benchmark::State& state) {
  UnitConfiguration config{};
  SetDefaults(config);
  FakeEndpoint endpoint;
  ReportedValues values;
  std::int32_t countdown = 0;
  std::int64_t parsed = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(ParseReport(TypicalReport, config, endpoint, values, countdown));
    benchmark::ClobberMemory();
    if (++parsed % ClearEvery == 0) endpoint.sent.clear();
  }
  if (values.AnalogueRaw[2] != 1023) state.SkipWithError("the report was not stored");
}
BENCHMARK(BM_ParseReportTypical)->Unit(benchmark::kNanosecond);

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
